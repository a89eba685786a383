// The Silicon Laboratories HID boot device; see SilabsBoot.h.
#include "sim/SilabsBoot.h"

#include <algorithm>
#include <cstdio>

namespace sim {
namespace {

constexpr uint8_t kFirstCommand = 0x30;
constexpr size_t kMaxPending = 1u << 16; // far more than one record (at most 257 bytes)

} // namespace

SilabsBootDevice::SilabsBootDevice(PrinterState& state, FaultInjector& faults)
    : m_state(state), m_faults(faults),
      m_boot(state.GetProfile().upgrade ? state.GetProfile().upgrade->boot : BootSection{}) {}

BootIdentity SilabsBootDevice::Identity() const {
    BootIdentity id;
    id.vid = kVendorId;
    id.pid = kProductId;
    id.serial = m_boot.serial;
    id.manufacturer = "Silicon Laboratories";
    id.product = "USB HID Boot Loader";
    id.deviceClass = 0;
    id.interfaceClass = 3;
    id.hid = true;
    id.streamInput = false; // one input report per answer
    return id;
}

std::string SilabsBootDevice::NameOf(const Bytes& record) {
    if (record.size() < 3)
        return "S--";
    char name[8];
    std::snprintf(name, sizeof name, "S%02X", record[2]);
    return name;
}

void SilabsBootDevice::SkipToMarker(BootReply& reply) {
    const auto marker = std::find(m_pending.begin(), m_pending.end(), kMarker);
    if (marker == m_pending.begin())
        return;
    BootExchange stray;
    stray.name = "STRAY";
    stray.received.assign(m_pending.begin(), marker);
    stray.notes.push_back("bytes outside a record");
    m_pending.erase(m_pending.begin(), marker);
    reply.exchanges.push_back(std::move(stray));
}

BootReply SilabsBootDevice::Receive(const uint8_t* data, size_t length) {
    BootReply reply;
    m_pending.insert(m_pending.end(), data, data + length);
    if (m_pending.size() > kMaxPending)
        m_pending.clear();
    for (;;) {
        SkipToMarker(reply);
        if (m_pending.size() < 2 || m_pending.size() < size_t{2} + m_pending[1])
            break; // the rest of the record comes in the next reports
        const auto end = m_pending.begin() + 2 + m_pending[1];
        BootExchange exchange;
        exchange.received.assign(m_pending.begin(), end);
        m_pending.erase(m_pending.begin(), end);
        exchange.name = NameOf(exchange.received);
        const FaultDecision fault = m_faults.Decide(exchange.name);
        exchange.notes = fault.applied;
        Bytes answer = Answer(exchange.received, exchange, reply);
        if (fault.answerByte)
            answer[0] = *fault.answerByte;
        if (fault.dropAfter)
            answer.resize(std::min<size_t>(*fault.dropAfter, answer.size()));
        if (!fault.withhold)
            exchange.answer = std::move(answer);
        reply.exchanges.push_back(std::move(exchange));
    }
    return reply;
}

Bytes SilabsBootDevice::Answer(const Bytes& record, BootExchange& exchange, BootReply& reply) {
    if (record.size() < 3 || record[2] < kFirstCommand || record[2] > kRunCommand) {
        exchange.notes.push_back("not a boot-loader command");
        return Bytes{kUnknownCommand, 0x00, 0x00, 0x00};
    }
    m_image.insert(m_image.end(), record.begin(), record.end());
    ++m_records;
    if (record[2] == kRunCommand) {
        Install(exchange);
        reply.leave = true; // once the host has read this answer
    }
    return Bytes{kAck, 0x00, 0x00, 0x00};
}

void SilabsBootDevice::Install(BootExchange& exchange) {
    // One record per bank.
    TransferRecord t = InstallBootImage(m_state, "silabs", m_image, m_records - 1, 0, true, kAck);
    exchange.notes.push_back("image of " + std::to_string(m_image.size()) + " bytes in " +
                             std::to_string(m_records) + " records");
    exchange.transfer = std::move(t);
    m_image.clear();
    m_records = 0;
}

} // namespace sim
