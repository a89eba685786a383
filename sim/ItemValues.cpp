// Value texts of the setup item kinds; see ItemValues.h.
#include "sim/ItemValues.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace sim {
namespace {

bool ParseWholeLong(const std::string& text, long long& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0';
}

// A printer's numbers have a decimal point whatever the locale of the process hosting the simulator
// (tests run it inside theirs, under a comma locale too).
bool ParseWholeDouble(const std::string& text, double& value) {
    const char* begin = text.data() + (text.starts_with('+') ? 1 : 0);
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(begin, end, value);
    return begin != end && error == std::errc() && stop == end && std::isfinite(value);
}

double LeadingDouble(const std::string& text) {
    double value = 0;
    const char* begin = text.data() + (text.starts_with('+') ? 1 : 0);
    (void)std::from_chars(begin, text.data() + text.size(), value);
    return value;
}

// "5,1," or "5,1": the host ends the list with a comma, a hand-written one may not.
bool ParseByteList(const std::string& text, std::vector<uint8_t>& out) {
    out.clear();
    size_t pos = 0;
    while (pos < text.size()) {
        size_t comma = text.find(',', pos);
        const std::string part =
            text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        long long v = 0;
        if (!ParseWholeLong(part, v) || v < 0 || v > 255 || part[0] == '-' || part[0] == '+')
            return false;
        out.push_back(static_cast<uint8_t>(v));
        if (comma == std::string::npos)
            break;
        pos = comma + 1;
    }
    return !out.empty();
}

} // namespace

int StepDecimals(double step) {
    long long n = std::llround(step * 100000.0);
    int decimals = 5;
    while (decimals > 0 && n != 0 && n % 10 == 0) {
        n /= 10;
        --decimals;
    }
    return n == 0 ? 0 : decimals;
}

std::string FormatNumber(double value, double step) {
    char text[400]; // room for any double in fixed notation
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, StepDecimals(step));
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string("0");
}

std::string JoinBytes(const std::vector<uint8_t>& bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0)
            out.push_back(',');
        out += std::to_string(bytes[i]);
    }
    return out;
}

std::string CurrentValueText(const SetupItem& item) {
    switch (item.kind) {
    case ItemKind::List:
        return std::to_string(item.listCurrent);
    case ItemKind::Numeric:
        return FormatNumber(item.numCurrent, item.step);
    case ItemKind::DateTime:
        return item.dateTime;
    case ItemKind::String:
        return item.strCurrent;
    case ItemKind::Checkboxes:
        return JoinBytes(item.boxCurrent) + ",";
    }
    return {};
}

bool AcceptsValueText(const SetupItem& item, const std::string& text, std::string& why) {
    switch (item.kind) {
    case ItemKind::List: {
        long long v = 0;
        const long long last =
            static_cast<long long>(item.first) + static_cast<long long>(item.elements.size()) - 1;
        if (!ParseWholeLong(text, v) || v < item.first || v > last) {
            why = "no element has the value \"" + text + "\"";
            return false;
        }
        return true;
    }
    case ItemKind::Numeric: {
        double v = 0;
        // A tenth of a step of slack: the host prints the value with the step's decimals.
        const double slack = item.step / 10.0;
        if (!ParseWholeDouble(text, v) || v < item.min - slack || v > item.max + slack) {
            why = "\"" + text + "\" is outside " + FormatNumber(item.min, item.step) + ".." +
                  FormatNumber(item.max, item.step);
            return false;
        }
        return true;
    }
    case ItemKind::DateTime:
        if (!IsDateTimeText(text)) {
            why = "\"" + text + "\" is not a date and time YYYY/MM/DD HH:MM:SS";
            return false;
        }
        return true;
    case ItemKind::String: {
        const auto len = static_cast<int32_t>(text.size());
        if (len < item.minLen || len > item.maxLen) {
            why = "length " + std::to_string(len) + " outside " + std::to_string(item.minLen) + ".." +
                  std::to_string(item.maxLen);
            return false;
        }
        if ((item.dataMask & 0x200) != 0 && !IsIpv4Text(text)) {
            why = "\"" + text + "\" is not an IPv4 address";
            return false;
        }
        return true;
    }
    case ItemKind::Checkboxes: {
        std::vector<uint8_t> bytes;
        if (!ParseByteList(text, bytes) || bytes.size() != item.boxCurrent.size()) {
            why = "\"" + text + "\" is not " + std::to_string(item.boxCurrent.size()) + " bytes";
            return false;
        }
        return true;
    }
    }
    return false;
}

void ApplyValueText(SetupItem& item, const std::string& text) {
    switch (item.kind) {
    case ItemKind::List:
        item.listCurrent = static_cast<int32_t>(std::strtoll(text.c_str(), nullptr, 10));
        break;
    case ItemKind::Numeric:
        item.numCurrent = LeadingDouble(text);
        break;
    case ItemKind::DateTime:
        item.dateTime = text;
        break;
    case ItemKind::String:
        item.strCurrent = text;
        break;
    case ItemKind::Checkboxes: {
        std::vector<uint8_t> bytes;
        if (ParseByteList(text, bytes))
            item.boxCurrent = bytes;
        break;
    }
    }
}

void ApplyDefault(SetupItem& item) {
    item.listCurrent = item.listDefault;
    item.numCurrent = item.numDefault;
    item.strCurrent = item.strDefault;
    item.boxCurrent = item.boxDefault;
}

} // namespace sim
