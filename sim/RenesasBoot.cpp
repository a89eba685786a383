// The Renesas boot device; see RenesasBoot.h.
#include "sim/RenesasBoot.h"

#include <cstdio>
#include <numeric>

namespace sim {
namespace {

constexpr uint64_t kAddressEnd = uint64_t{1} << 32; // the image's last byte sits at 0xFFFFFFFF
constexpr size_t kAddressBytes = 4;
constexpr size_t kMaxPending = 1u << 20;

uint8_t Complement(const uint8_t* p, size_t n) {
    return static_cast<uint8_t>(0x100 - (std::accumulate(p, p + n, 0u) & 0xFF));
}

bool SumsToZero(const Bytes& bytes) {
    return (std::accumulate(bytes.begin(), bytes.end(), 0u) & 0xFF) == 0;
}

uint64_t Address(const Bytes& frame) {
    return (uint64_t{frame[1]} << 24) | (uint64_t{frame[2]} << 16) | (uint64_t{frame[3]} << 8) | frame[4];
}

std::string HexAddress(uint64_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08llx", static_cast<unsigned long long>(address));
    return text;
}

// An answer with its length byte and closing checksum: head, length, body..., sum.
Bytes WithSum(uint8_t head, const Bytes& body) {
    Bytes answer{head, static_cast<uint8_t>(body.size())};
    answer.insert(answer.end(), body.begin(), body.end());
    answer.push_back(Complement(answer.data(), answer.size()));
    return answer;
}

} // namespace

RenesasBootDevice::RenesasBootDevice(PrinterState& state, FaultInjector& faults)
    : m_state(state), m_faults(faults),
      m_boot(state.GetProfile().upgrade ? state.GetProfile().upgrade->boot : BootSection{}) {}

BootIdentity RenesasBootDevice::Identity() const {
    BootIdentity id;
    id.vid = kVendorId;
    id.pid = static_cast<uint16_t>(m_boot.pid);
    id.serial = m_boot.serial;
    id.manufacturer = "Renesas Electronics";
    id.product = "USB Boot Direct";
    return id;
}

size_t RenesasBootDevice::CommandLength(const uint8_t* p, size_t have) const {
    switch (p[0]) {
    case 0x10: // device, clock mode and bit rate selection: command, count, data, checksum
    case 0x11:
    case 0x3F:
        return have < 2 ? 0 : size_t{p[1]} + 3;
    case 0x50:
        if (have < 1 + kAddressBytes)
            return 0;
        if (p[1] == 0xFF && p[2] == 0xFF && p[3] == 0xFF && p[4] == 0xFF)
            return 1 + kAddressBytes + 1; // terminate: no payload
        return 1 + kAddressBytes + m_boot.programmingSize + 1;
    default:
        return 1;
    }
}

std::string RenesasBootDevice::NameOf(const Bytes& command) {
    if (command.size() == 6 && command[0] == 0x50 && Address(command) == 0xFFFFFFFF)
        return "RTERM";
    char name[8];
    std::snprintf(name, sizeof name, "R%02X", command[0]);
    return name;
}

BootReply RenesasBootDevice::Receive(const uint8_t* data, size_t length) {
    BootReply reply;
    m_pending.insert(m_pending.end(), data, data + length);
    if (m_pending.size() > kMaxPending)
        m_pending.clear(); // nothing a host sends is this long: give up on it
    for (;;) {
        if (m_pending.empty())
            break;
        const size_t n = CommandLength(m_pending.data(), m_pending.size());
        if (n == 0 || n > m_pending.size())
            break;
        BootExchange exchange;
        exchange.received.assign(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(n));
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(n));
        exchange.name = NameOf(exchange.received);
        const FaultDecision fault = m_faults.Decide(exchange.name);
        exchange.notes = fault.applied;
        std::optional<Bytes> answer;
        if (exchange.name == "R50" && fault.answerByte && *fault.answerByte != kAck) {
            exchange.notes.push_back("frame rejected");
            answer = Bytes{kRejected, *fault.answerByte};
        } else {
            answer = Answer(exchange.received, exchange, reply);
            if (answer && !answer->empty() && fault.answerByte && exchange.name != "R50")
                (*answer)[0] = *fault.answerByte;
        }
        if (fault.withhold)
            answer.reset();
        if (exchange.received[0] == 0x33 && answer && answer->size() == 1 && (*answer)[0] == 0x15)
            m_newLoaderAnnounced = true;
        exchange.answer = std::move(answer);
        reply.exchanges.push_back(std::move(exchange));
    }
    return reply;
}

Bytes RenesasBootDevice::StatusAnswer() const {
    // The new loader reports its finished data-area check in the status.
    const uint8_t state = m_newLoaderAnnounced && m_dataAreaChecked ? kNewLoaderMark : 0x00;
    return WithSum(0x5F, {0x3F, state});
}

std::optional<Bytes> RenesasBootDevice::Answer(const Bytes& command, BootExchange& exchange,
                                               BootReply& reply) {
    const BootSection& b = m_boot;
    switch (command[0]) {
    case 0x55:
        return Bytes{0xE6};
    case 0x32:
        return Bytes(b.release.begin(), b.release.end());
    case 0x33:
        return Bytes{b.newLoader ? uint8_t{0x15} : kAck};
    case 0x27:
        return WithSum(0x37, {static_cast<uint8_t>(b.programmingSize >> 8),
                              static_cast<uint8_t>(b.programmingSize & 0xFF)});
    case 0x10:
    case 0x11:
    case 0x3F:
        if (!SumsToZero(command)) {
            exchange.notes.push_back("checksum error");
            return Bytes{0x15};
        }
        return Bytes{kAck};
    case 0x25: // one user area from 0xFFF00000 to 0xFFFFFFFF (1 MiB)
        return WithSum(0x35, {0x01, 0xFF, 0xF0, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF});
    case 0x4F:
        return StatusAnswer();
    case 0x62:
        m_dataAreaChecked = true;
        return m_newLoaderAnnounced ? Bytes{kAck, kNewLoaderMark} : Bytes{kAck};
    case 0x43:
        m_programming = true;
        return Bytes{kAck};
    case 0x50:
        return command.size() == 6 && Address(command) == 0xFFFFFFFF ? Terminate(exchange)
                                                                     : Frame(command, exchange);
    case 0x7A:
        if (b.powerCycleMs) {
            reply.leave = true;
            reply.leaveAfterMs = *b.powerCycleMs;
            exchange.notes.push_back("the user restarts the printer");
        }
        return Bytes{kAck};
    case 0x31:
        reply.leave = true;
        return Bytes{kResetAnswer};
    case 0x34:
    case 0x06:
    case 0x40:
    case 0x4D:
        return Bytes{kAck};
    default:
        exchange.notes.push_back("not a boot command");
        return std::nullopt;
    }
}

std::optional<Bytes> RenesasBootDevice::Frame(const Bytes& frame, BootExchange& exchange) {
    const uint64_t address = Address(frame);
    const uint64_t size = m_boot.programmingSize;
    exchange.notes.push_back("address " + HexAddress(address));
    if (!m_programming) {
        exchange.notes.push_back("frame before the area programming selection");
        return Bytes{kRejected, kProgrammingError};
    }
    if (!SumsToZero(frame)) {
        m_allFramesSound = false;
        exchange.notes.push_back("checksum error");
        return Bytes{kRejected, kChecksumError};
    }
    // Frames follow each other without a gap, and the image ends exactly at 0xFFFFFFFF.
    const bool follows = m_nextAddress ? address == *m_nextAddress : (kAddressEnd - address) % size == 0;
    if (!follows || address + size > kAddressEnd) {
        m_allFramesSound = false;
        exchange.notes.push_back("address error");
        return Bytes{kRejected, kAddressError};
    }
    m_frames[address] = Bytes(frame.begin() + 1 + kAddressBytes, frame.end() - 1);
    m_nextAddress = address + size;
    return Bytes{kAck};
}

std::optional<Bytes> RenesasBootDevice::Terminate(BootExchange& exchange) {
    if (m_frames.empty() || m_nextAddress != kAddressEnd) {
        exchange.notes.push_back("the image does not end at 0xFFFFFFFF");
        return Bytes{kRejected, kAddressError};
    }
    Bytes image;
    for (const auto& [address, payload] : m_frames)
        image.insert(image.end(), payload.begin(), payload.end());
    TransferRecord t = InstallBootImage(m_state, "renesas", image, static_cast<unsigned>(m_frames.size() - 1),
                                        m_boot.programmingSize, m_allFramesSound, kAck);
    exchange.notes.push_back("image of " + std::to_string(image.size()) + " bytes from " +
                             HexAddress(m_frames.begin()->first));
    exchange.transfer = std::move(t);
    m_frames.clear();
    m_nextAddress.reset();
    return Bytes{kAck};
}

} // namespace sim
