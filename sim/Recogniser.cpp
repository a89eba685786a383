// Request recognition; see Recogniser.h.
#include "sim/Recogniser.h"

#include "sim/Transfers.h"

#include <algorithm>
#include <cstring>

namespace sim {

std::string Request::Name() const {
    switch (kind) {
    case RequestKind::Cancel:
        return "CAN";
    case RequestKind::EscPosSwitch:
        return "EPOS";
    case RequestKind::Identity:
        return "GSI";
    case RequestKind::IdentityExtended:
        return "GSIFF";
    case RequestKind::FirmwareRelease:
        return "FWREL";
    case RequestKind::Framed:
        return "C" + std::to_string(code);
    case RequestKind::SendBanks:
        return "BANKS";
    case RequestKind::Program:
        return "PROGRAM";
    case RequestKind::Module:
        return "MODULE";
    case RequestKind::BootSwitch:
        return "BOOT";
    case RequestKind::Stray:
        break;
    }
    return "STRAY";
}

Recogniser::Parse Recogniser::ReadField(const uint8_t* p, size_t have, size_t& pos, std::string& content) {
    if (pos >= have)
        return Parse::NeedMore;
    if (p[pos] != '<')
        return Parse::NotACommand;
    content.clear();
    for (size_t i = pos + 1; i < have; ++i) {
        const uint8_t b = p[i];
        if (b == '>') {
            pos = i + 1;
            return Parse::Complete;
        }
        // CAN cancels a half-sent command; a field never holds it.
        if (b == kCan || content.size() >= kMaxFieldLength)
            return Parse::NotACommand;
        content.push_back(static_cast<char>(b));
    }
    return Parse::NeedMore;
}

Recogniser::Parse Recogniser::TryFramed(const uint8_t* p, size_t have, Request& request, size_t& used) {
    if (have < 3)
        return Parse::NeedMore;
    request.kind = RequestKind::Framed;
    request.code = p[2];
    size_t pos = 3;
    size_t fieldCount = 0;
    if (request.code == 0x04)
        fieldCount = 1;
    else if (request.code == 0x05)
        fieldCount = 3;
    else if (request.code == 0x51)
        fieldCount = 2;
    for (size_t i = 0; i < fieldCount; ++i) {
        request.fields.emplace_back();
        if (Parse r = ReadField(p, have, pos, request.fields.back()); r != Parse::Complete)
            return r;
    }
    if (request.code == 0x51 && (request.fields[1] == "8" || request.fields[1] == "32")) {
        request.fields.emplace_back();
        if (Parse r = ReadField(p, have, pos, request.fields.back()); r != Parse::Complete)
            return r;
        if (request.fields[1] == "32") {
            char* end = nullptr;
            const unsigned long long length = std::strtoull(request.fields[2].c_str(), &end, 10);
            if (request.fields[2].empty() || *end != '\0' || length > kMaxPayload)
                return Parse::NotACommand;
            if (have - pos < length)
                return Parse::NeedMore;
            request.payload.assign(p + pos, p + pos + length);
            pos += length;
        }
    }
    used = pos;
    return Parse::Complete;
}

namespace {

// The commands that restart the printer into a boot loader, and the loader each one starts.
struct BootSwitchCommand {
    Bytes bytes;
    const char* loader;
};
const std::vector<BootSwitchCommand>& BootSwitchCommands() {
    static const std::vector<BootSwitchCommand> commands = {
        {{0x1C, 0x4C, 0x49}, "renesas"}, // USB Boot Direct
        {{0x1C, 0xEE}, "silabs"},        // USB Boot Direct of the HID boot loader
    };
    return commands;
}

bool StartsCommand(uint8_t b) {
    return b == kCan || b == 0x1C || b == 0x1D || b == 0x1F;
}

} // namespace

// Complete or NeedMore when the bytes are (the start of) a boot switch; NotACommand otherwise.
Recogniser::Parse Recogniser::TryBootSwitch(const uint8_t* p, size_t have, Request& request, size_t& used) {
    for (const BootSwitchCommand& command : BootSwitchCommands()) {
        const size_t n = std::min(have, command.bytes.size());
        if (std::memcmp(p, command.bytes.data(), n) != 0)
            continue;
        if (n < command.bytes.size())
            return Parse::NeedMore;
        request.kind = RequestKind::BootSwitch;
        request.fields = {command.loader};
        used = n;
        return Parse::Complete;
    }
    return Parse::NotACommand;
}

// A module image starts with its text header: the byte-order mark B or L at offset 10 and, within the
// header area, one FILE_SIZE: line giving the image's length less its 12 framing bytes. Waiting for
// more stops as soon as a command byte shows that these bytes are something else.
Recogniser::Parse Recogniser::TryModule(const uint8_t* p, size_t have, Request& request, size_t& used) {
    constexpr size_t kMarkAt = 10;
    for (size_t i = 1; i < std::min(have, kMarkAt + 1); ++i)
        if (StartsCommand(p[i]))
            return Parse::NotACommand;
    if (have <= kMarkAt)
        return Parse::NeedMore;
    if (p[kMarkAt] != 'B' && p[kMarkAt] != 'L')
        return Parse::NotACommand;
    const size_t window = std::min(have, kModuleHeaderBytes);
    const bool wholeHeader = have >= kModuleHeaderBytes;
    const std::string_view key(kModuleSizeKey);
    const uint8_t* found = std::search(p, p + window, key.begin(), key.end());
    const uint8_t* lineEnd = found == p + window ? found : std::find(found + key.size(), p + window, '\n');
    if (lineEnd == p + window)
        return wholeHeader ? Parse::NotACommand : Parse::NeedMore;
    const std::string digits(found + key.size(), lineEnd);
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
        return Parse::NotACommand;
    const size_t total = std::stoul(digits) + kModuleFrameBytes;
    if (total < kModuleHeaderBytes + 4 || total > kMaxImage)
        return Parse::NotACommand;
    if (have < total)
        return Parse::NeedMore;
    request.kind = RequestKind::Module;
    request.payload.assign(p, p + total);
    used = total;
    return Parse::Complete;
}

Recogniser::Parse Recogniser::TryParse(const uint8_t* p, size_t have, Request& request, size_t& used) {
    static const uint8_t epos[] = {0x1C, '<', 'E', 'P', 'O', 'S', '>'};
    const uint8_t first = p[0];
    if (first == kCan) {
        request.kind = RequestKind::Cancel;
        used = 1;
        return Parse::Complete;
    }
    if (first == 0x1C && have >= 2 && p[1] == 0xFD) {
        if (have < 4)
            return Parse::NeedMore;
        if (p[3] < p[2])
            return Parse::NotACommand;
        request.kind = RequestKind::SendBanks;
        request.fields = {std::to_string(p[2]), std::to_string(p[3])};
        used = 4;
        return Parse::Complete;
    }
    if (first == 0x1C) {
        if (const Parse boot = TryBootSwitch(p, have, request, used); boot != Parse::NotACommand)
            return boot;
        const size_t n = std::min(have, sizeof epos);
        if (std::memcmp(p, epos, n) != 0)
            return Parse::NotACommand;
        if (n < sizeof epos)
            return Parse::NeedMore;
        request.kind = RequestKind::EscPosSwitch;
        used = sizeof epos;
        return Parse::Complete;
    }
    if (first == 0x1D) {
        if (have < 3)
            return have == 2 && p[1] != 0x49 ? Parse::NotACommand : Parse::NeedMore;
        if (p[1] != 0x49)
            return Parse::NotACommand;
        if (p[2] == 0x01)
            request.kind = RequestKind::Identity;
        else if (p[2] == 0xFF)
            request.kind = RequestKind::IdentityExtended;
        else if (p[2] == 0x03)
            request.kind = RequestKind::FirmwareRelease;
        else
            return Parse::NotACommand;
        used = 3;
        return Parse::Complete;
    }
    if (first == 0x1F) {
        if (have < 2)
            return Parse::NeedMore;
        if (p[1] != 0xFF)
            return Parse::NotACommand;
        return TryFramed(p, have, request, used);
    }
    return TryModule(p, have, request, used);
}

void Recogniser::Clear() {
    m_pending.clear();
    m_inTransfer = false;
    m_banks.clear();
}

// The program command closes the transfer: it ends the bytes received, names the announced range, and
// leaves a whole number of banks before it. (The host sends nothing more until the printer answers.)
bool Recogniser::TakeBankBytes(std::vector<Request>& out) {
    m_banks.insert(m_banks.end(), m_pending.begin(), m_pending.end());
    m_pending.clear();
    constexpr size_t kProgramLength = 8;
    const size_t n = m_banks.size();
    const size_t banks = static_cast<size_t>(m_lastBank - m_firstBank) + 1;
    if (n > kMaxImage + kProgramLength) {
        Request dropped; // too long to be an image: the printer gives up on it
        dropped.payload = std::move(m_banks);
        out.push_back(std::move(dropped));
        Clear();
        return false;
    }
    if (n <= kProgramLength)
        return false;
    const uint8_t* tail = m_banks.data() + n - kProgramLength;
    const size_t data = n - kProgramLength;
    const bool wholeBanks =
        m_firstBank > 0 && m_imageBankSize > 0 ? data == banks * m_imageBankSize : data % banks == 0;
    if (tail[0] != 0x1C || tail[1] != 0xFF || tail[2] != m_firstBank || tail[3] != m_lastBank || !wholeBanks)
        return false;
    if (m_firstBank == 0)
        m_imageBankSize = data / banks;
    Request program;
    program.kind = RequestKind::Program;
    program.raw.assign(tail, tail + kProgramLength);
    program.fields = {std::to_string(tail[2]), std::to_string(tail[3]),
                      std::to_string((tail[4] << 8) | tail[5]), std::to_string((tail[6] << 8) | tail[7])};
    m_banks.resize(data);
    program.payload = std::move(m_banks);
    out.push_back(std::move(program));
    m_banks.clear();
    m_inTransfer = false;
    return true;
}

void Recogniser::Feed(const uint8_t* data, size_t length, std::vector<Request>& out) {
    m_pending.insert(m_pending.end(), data, data + length);
    size_t start = 0;
    Request stray;
    auto flushStray = [&] {
        if (!stray.raw.empty()) {
            out.push_back(std::move(stray));
            stray = Request{};
        }
    };
    while (start < m_pending.size()) {
        if (m_inTransfer) {
            flushStray();
            m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(start));
            start = 0;
            if (!TakeBankBytes(out))
                break;
            continue;
        }
        Request request;
        size_t used = 0;
        const Parse result = TryParse(m_pending.data() + start, m_pending.size() - start, request, used);
        if (result == Parse::NeedMore)
            break;
        if (result == Parse::NotACommand) {
            stray.raw.push_back(m_pending[start]);
            ++start;
            continue;
        }
        flushStray();
        if (request.kind != RequestKind::Module) // the image is the payload
            request.raw.assign(m_pending.begin() + static_cast<long>(start),
                               m_pending.begin() + static_cast<long>(start + used));
        if (request.kind == RequestKind::SendBanks) {
            m_inTransfer = true;
            m_firstBank = m_pending[start + 2];
            m_lastBank = m_pending[start + 3];
        }
        out.push_back(std::move(request));
        start += used;
    }
    flushStray();
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(start));
}

} // namespace sim
