// Request recognition; see Recogniser.h.
#include "sim/Recogniser.h"

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

Recogniser::Parse Recogniser::TryParse(const uint8_t* p, size_t have, Request& request, size_t& used) {
    static const uint8_t epos[] = {0x1C, '<', 'E', 'P', 'O', 'S', '>'};
    const uint8_t first = p[0];
    if (first == kCan) {
        request.kind = RequestKind::Cancel;
        used = 1;
        return Parse::Complete;
    }
    if (first == 0x1C) {
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
    return Parse::NotACommand;
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
        request.raw.assign(m_pending.begin() + static_cast<long>(start),
                           m_pending.begin() + static_cast<long>(start + used));
        out.push_back(std::move(request));
        start += used;
    }
    flushStray();
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(start));
}

} // namespace sim
