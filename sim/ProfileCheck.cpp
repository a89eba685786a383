// The rules a profile must obey so that every answer built from it is one a real printer could send:
// values inside their limits, texts that the field cutter reads back as texts, links that point at
// existing items, status bytes of the announced sizes.
#include "sim/Profile.h"

#include <cmath>
#include <ctime>
#include <regex>
#include <set>

namespace sim {
namespace {

constexpr size_t kMaxText = 511;
constexpr int kMaxCheckboxElements = 512;

[[noreturn]] void Fail(const std::string& where, const std::string& why) {
    throw ProfileError(where + ": " + why);
}

// A bare text ends at NUL and must not look like a field or a control byte to the host's field cutter.
void CheckText(const std::string& text, const std::string& where) {
    if (text.size() > kMaxText)
        Fail(where, "text longer than 511 characters");
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7E)
            Fail(where, "text holds a non-printable byte");
    if (!text.empty() && text[0] == '<')
        Fail(where, "text must not start with '<' (it would read as a field)");
}

// A bracketed value must not contain the field delimiters.
void CheckFieldText(const std::string& text, const std::string& where) {
    CheckText(text, where);
    if (text.find_first_of("<>") != std::string::npos)
        Fail(where, "value must not contain '<' or '>'");
}

std::string ItemWhere(size_t index, const SetupItem& item) {
    return "items[" + std::to_string(index) + "] (id " + std::to_string(item.id) + ")";
}

void CheckList(const SetupItem& item, const std::string& w) {
    if (item.elements.empty())
        Fail(w, "a list needs at least one element");
    const int64_t last = static_cast<int64_t>(item.first) + static_cast<int64_t>(item.elements.size()) - 1;
    auto inRange = [&](int32_t v) { return v >= item.first && v <= last; };
    if (!inRange(item.listDefault))
        Fail(w, "default " + std::to_string(item.listDefault) + " is no element's value");
    if (!inRange(item.listCurrent))
        Fail(w, "current " + std::to_string(item.listCurrent) + " is no element's value");
    for (size_t i = 0; i < item.elements.size(); ++i)
        CheckText(item.elements[i], w + ".elements[" + std::to_string(i) + "]");
}

void CheckNumeric(const SetupItem& item, const std::string& w) {
    if (!(item.min < item.max))
        Fail(w, "min must be below max");
    if (!(item.step > 0))
        Fail(w, "step must be positive");
    if (item.numDefault < item.min || item.numDefault > item.max)
        Fail(w, "default outside min..max");
    if (item.numCurrent < item.min || item.numCurrent > item.max)
        Fail(w, "current outside min..max");
}

void CheckString(const SetupItem& item, const std::string& w) {
    if (item.dataMask == 0)
        Fail(w, "mask can't be 0");
    if (item.minLen < 0 || item.minLen > item.maxLen || item.maxLen > static_cast<int32_t>(kMaxText))
        Fail(w, "needs 0 <= min_len <= max_len <= 511");
    for (const auto* value : {&item.strDefault, &item.strCurrent}) {
        const char* which = value == &item.strDefault ? ".default" : ".current";
        CheckText(*value, w + which);
        const auto len = static_cast<int32_t>(value->size());
        if (len < item.minLen || len > item.maxLen)
            Fail(w + which, "length outside min_len..max_len");
        if ((item.dataMask & 0x200) != 0 && !IsIpv4Text(*value))
            Fail(w + which, "mask 0x200 needs an IPv4 address");
    }
}

void CheckCheckboxes(const SetupItem& item, const std::string& w) {
    if (item.bits < 1 || item.bits > kMaxCheckboxElements)
        Fail(w, "bits must be 1..512");
    const size_t bytes = static_cast<size_t>((item.bits + 7) / 8);
    if (item.boxDefault.size() != bytes || item.boxCurrent.size() != bytes)
        Fail(w, "default and current need " + std::to_string(bytes) + " bytes for " +
                    std::to_string(item.bits) + " bits");
    if (item.boxes.size() != static_cast<size_t>(item.bits))
        Fail(w, "one element per bit is needed (" + std::to_string(item.bits) + ")");
    std::set<int> seen;
    for (size_t i = 0; i < item.boxes.size(); ++i) {
        const std::string ew = w + ".elements[" + std::to_string(i) + "]";
        CheckText(item.boxes[i].text, ew);
        if (item.boxes[i].bit < 0 || item.boxes[i].bit >= item.bits)
            Fail(ew, "bit outside 0..bits-1");
        if (!seen.insert(item.boxes[i].bit).second)
            Fail(ew, "bit used twice");
    }
}

void CheckLinks(const Profile& profile, const std::set<uint32_t>& ids) {
    static const std::regex op("^[A-Za-z]+(,[A-Za-z]+)?$");
    for (size_t i = 0; i < profile.items.size(); ++i) {
        const SetupItem& item = profile.items[i];
        for (size_t k = 0; k < item.links.size(); ++k) {
            const std::string lw = ItemWhere(i, item) + ".links[" + std::to_string(k) + "]";
            if (!std::regex_match(item.links[k].viewOperation, op))
                Fail(lw, "view operation must be letters, or two parts separated by one comma");
            if (ids.count(item.links[k].sourceId) == 0)
                Fail(lw, "source id " + std::to_string(item.links[k].sourceId) + " is no item");
        }
    }
}

void CheckItems(const Profile& profile) {
    std::set<uint32_t> ids;
    for (size_t i = 0; i < profile.items.size(); ++i) {
        const SetupItem& item = profile.items[i];
        const std::string w = ItemWhere(i, item);
        if (!ids.insert(item.id).second)
            Fail(w, "id used twice");
        CheckText(item.text, w + ".text");
        CheckText(item.addText, w + ".add");
        switch (item.kind) {
        case ItemKind::List:
            CheckList(item, w);
            break;
        case ItemKind::Numeric:
            CheckNumeric(item, w);
            break;
        case ItemKind::DateTime:
            if (!IsDateTimeText(item.dateTime))
                Fail(w + ".current", "expected \"YYYY/MM/DD HH:MM:SS\"");
            break;
        case ItemKind::String:
            CheckString(item, w);
            break;
        case ItemKind::Checkboxes:
            CheckCheckboxes(item, w);
            break;
        }
    }
    CheckLinks(profile, ids);
}

void CheckBits(const std::vector<StatusBitText>& bits, uint32_t bytes, const std::string& w) {
    for (size_t i = 0; i < bits.size(); ++i) {
        const std::string bw = w + "[" + std::to_string(i) + "]";
        if (bits[i].byte < 1 || static_cast<uint32_t>(bits[i].byte) > bytes)
            Fail(bw, "byte outside 1.." + std::to_string(bytes));
        if (bits[i].bit < 0 || bits[i].bit > 7)
            Fail(bw, "bit outside 0..7");
        if (bits[i].id < 0 || bits[i].family < 0)
            Fail(bw, "id and family are unsigned");
        CheckText(bits[i].text, bw + ".text");
        CheckText(bits[i].addText, bw + ".add");
    }
}

void CheckSchedule(const std::vector<StatusStep>& steps, size_t bytes, const std::string& w) {
    for (size_t i = 0; i < steps.size(); ++i) {
        if (steps[i].bytes.size() != bytes)
            Fail(w + "[" + std::to_string(i) + "]", "needs " + std::to_string(bytes) + " status bytes");
        if (steps[i].answers == 0)
            Fail(w + "[" + std::to_string(i) + "]", "answers must be at least 1");
    }
}

void CheckStatus(const StatusSection& s) {
    if (s.extendedBytes > 64)
        Fail("status.extended_bytes", "at most 64");
    CheckBits(s.generalBits, 4, "status.general_bits");
    CheckBits(s.extendedBits, s.extendedBytes, "status.extended_bits");
    CheckSchedule(s.generalSchedule, 4, "status.general_schedule");
    CheckSchedule(s.extendedSchedule, s.extendedBytes, "status.extended_schedule");
}

void CheckUpgrade(const UpgradeSection& u) {
    static const std::regex mode("^[Uu][1-6]$");
    static const std::regex ids("^[0-9]+;[0-9]+;[0-9]+$");
    if (!std::regex_match(u.mode, mode))
        Fail("upgrade.mode", "expected U1..U6");
    CheckFieldText(u.settings, "upgrade.settings");
    if (!std::regex_match(u.deviceIds, ids))
        Fail("upgrade.device_ids", "expected family;model;customization");
    if (u.firmwareAfter) {
        CheckText(*u.firmwareAfter, "upgrade.firmware_after");
        if (u.firmwareAfter->empty())
            Fail("upgrade.firmware_after", "the release text cannot be empty");
    }
    if (u.banks && (*u.banks == 0 || *u.banks > 256))
        Fail("upgrade.banks", "a bank number is one byte: 1..256 banks");
    if (u.moduleIds && (u.moduleIds->empty() || !std::regex_match(*u.moduleIds, std::regex("^[!-~]+$"))))
        Fail("upgrade.module_ids", "expected the accepted MOD_ID characters, e.g. \"FLD\"");
    const BootSection& b = u.boot;
    if (b.release.size() != 4)
        Fail("upgrade.boot.release", "the boot loader answers with exactly 4 characters, e.g. \"1.00\"");
    CheckText(b.release, "upgrade.boot.release");
    // A frame (command, address, payload, checksum) travels in one write of at most 57344 bytes.
    if (b.programmingSize == 0 || b.programmingSize > 57344 - 6)
        Fail("upgrade.boot.programming_size", "expected 1..57338 bytes");
    if (b.pid > 0xFFFF)
        Fail("upgrade.boot.pid", "expected a 16-bit product id");
    if (b.serial.empty() || b.serial.size() > 126)
        Fail("upgrade.boot.serial", "expected 1..126 characters");
    CheckText(b.serial, "upgrade.boot.serial");
}

void CheckTextList(const std::optional<std::vector<std::string>>& lines, const std::string& w) {
    if (!lines)
        return;
    for (size_t i = 0; i < lines->size(); ++i)
        CheckText((*lines)[i], w + "[" + std::to_string(i) + "]");
}

void CheckUsb(const UsbSection& usb) {
    if (usb.vid > 0xFFFF)
        Fail("usb.vid", "a USB vendor id is 0..0xFFFF");
    if (usb.pid > 0xFFFF)
        Fail("usb.pid", "a USB product id is 0..0xFFFF");
    if (usb.deviceClass > 0xFF)
        Fail("usb.class", "a USB class is 0..0xFF");
    if (!usb.serial)
        return;
    // A string descriptor holds at most 126 UTF-16 characters.
    if (usb.serial->empty() || usb.serial->size() > 126)
        Fail("usb.serial", "needs 1..126 characters (null for a printer without serial number)");
    for (unsigned char c : *usb.serial)
        if (c < 0x20 || c > 0x7E || c == '|')
            Fail("usb.serial", "printable ASCII only, and no '|' (it separates the host's device name)");
}

} // namespace

bool IsIpv4Text(const std::string& text) {
    static const std::regex ipv4("^(([0-9]|[1-9][0-9]|1[0-9]{2}|2[0-4][0-9]|25[0-5])\\.){3}"
                                 "([0-9]|[1-9][0-9]|1[0-9]{2}|2[0-4][0-9]|25[0-5])$");
    return std::regex_match(text, ipv4);
}

bool IsDateTimeText(const std::string& text) {
    static const std::regex shape("^[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$");
    if (!std::regex_match(text, shape))
        return false;
    std::tm tm{};
    tm.tm_year = std::stoi(text.substr(0, 4)) - 1900;
    tm.tm_mon = std::stoi(text.substr(5, 2)) - 1;
    tm.tm_mday = std::stoi(text.substr(8, 2));
    tm.tm_hour = std::stoi(text.substr(11, 2));
    tm.tm_min = std::stoi(text.substr(14, 2));
    tm.tm_sec = std::stoi(text.substr(17, 2));
    std::tm probe = tm;
    if (timegm(&probe) == -1)
        return false;
    // timegm normalises out-of-range members; a real date survives unchanged.
    return probe.tm_year == tm.tm_year && probe.tm_mon == tm.tm_mon && probe.tm_mday == tm.tm_mday &&
           probe.tm_hour == tm.tm_hour && probe.tm_min == tm.tm_min && probe.tm_sec == tm.tm_sec;
}

void ValidateProfile(const Profile& profile) {
    if (profile.gsi < 0x100 || profile.gsi > 0xFFFF)
        Fail("gsi", "identity code must be 0x100..0xFFFF");
    CheckText(profile.firmware, "firmware");
    if (profile.firmware.empty())
        Fail("firmware", "the release text cannot be empty");
    static const std::regex version("^[0-9]\\.[0-9]{2}$");
    if (!std::regex_match(profile.protocolVersion, version))
        Fail("protocol_version", "expected d.dd");
    if (profile.name.empty() || profile.name.size() > 1000)
        Fail("name", "needs 1..1000 characters");
    for (size_t i = 0; i < profile.header.size(); ++i)
        CheckText(profile.header[i], "header[" + std::to_string(i) + "]");
    CheckTextList(profile.lifeInfo, "info.life");
    CheckTextList(profile.deviceInfo, "info.device");
    CheckTextList(profile.headInfo, "info.head");
    CheckTextList(profile.modules, "modules");
    if (profile.tools)
        for (const auto& [bit, lines] : profile.tools->answerLines)
            CheckTextList(lines, "tools.answers." + std::to_string(bit));
    if (profile.status)
        CheckStatus(*profile.status);
    if (profile.upgrade)
        CheckUpgrade(*profile.upgrade);
    CheckUsb(profile.usb);
    CheckItems(profile);
}

} // namespace sim
