// Reading a profile's JSON into the Profile record; every wrongly typed member is reported with its
// JSON path so that a profile author sees at once which line to fix.
#include "sim/Profile.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace sim {
namespace {

using nlohmann::json;

[[noreturn]] void Fail(const std::string& path, const std::string& why) {
    throw ProfileError(path + ": " + why);
}

const json* Member(const json& obj, const char* key) {
    auto it = obj.find(key);
    return it == obj.end() ? nullptr : &*it;
}

// Numbers may be written as JSON numbers or as "0x..." texts (masks and identity codes read better so).
int64_t ToInteger(const json& value, const std::string& path) {
    if (value.is_number_integer())
        return value.get<int64_t>();
    if (value.is_string()) {
        const std::string text = value.get<std::string>();
        size_t used = 0;
        try {
            int64_t parsed = std::stoll(text, &used, 0);
            if (used == text.size())
                return parsed;
        } catch (const std::exception&) {
        }
    }
    Fail(path, "expected an integer (a number or a \"0x...\" text)");
}

uint32_t ToUnsigned(const json& value, const std::string& path) {
    int64_t v = ToInteger(value, path);
    if (v < 0 || v > 0xFFFFFFFFll)
        Fail(path, "expected an unsigned 32-bit value, got " + std::to_string(v));
    return static_cast<uint32_t>(v);
}

int32_t ToSigned(const json& value, const std::string& path) {
    int64_t v = ToInteger(value, path);
    if (v < INT32_MIN || v > INT32_MAX)
        Fail(path, "expected a signed 32-bit value, got " + std::to_string(v));
    return static_cast<int32_t>(v);
}

double ToDouble(const json& value, const std::string& path) {
    if (!value.is_number())
        Fail(path, "expected a number");
    return value.get<double>();
}

std::string ToText(const json& value, const std::string& path) {
    if (!value.is_string())
        Fail(path, "expected a text");
    return value.get<std::string>();
}

std::vector<std::string> ToTexts(const json& value, const std::string& path) {
    if (!value.is_array())
        Fail(path, "expected a list of texts");
    std::vector<std::string> out;
    for (size_t i = 0; i < value.size(); ++i)
        out.push_back(ToText(value[i], path + "[" + std::to_string(i) + "]"));
    return out;
}

std::vector<uint8_t> ToBytes(const json& value, const std::string& path) {
    if (!value.is_array())
        Fail(path, "expected a list of byte values");
    std::vector<uint8_t> out;
    for (size_t i = 0; i < value.size(); ++i) {
        uint32_t b = ToUnsigned(value[i], path + "[" + std::to_string(i) + "]");
        if (b > 255)
            Fail(path + "[" + std::to_string(i) + "]", "a byte is at most 255");
        out.push_back(static_cast<uint8_t>(b));
    }
    return out;
}

const json& Required(const json& obj, const char* key, const std::string& path) {
    const json* v = Member(obj, key);
    if (v == nullptr)
        Fail(path, std::string("missing \"") + key + "\"");
    return *v;
}

ItemKind ToKind(const json& value, const std::string& path) {
    const std::string k = ToText(value, path);
    if (k == "list")
        return ItemKind::List;
    if (k == "numeric")
        return ItemKind::Numeric;
    if (k == "datetime")
        return ItemKind::DateTime;
    if (k == "string")
        return ItemKind::String;
    if (k == "checkboxes")
        return ItemKind::Checkboxes;
    Fail(path, "unknown kind \"" + k + "\" (list, numeric, datetime, string, checkboxes)");
}

void ReadKindMembers(const json& j, const std::string& p, SetupItem& item) {
    switch (item.kind) {
    case ItemKind::List:
        item.first = ToSigned(Required(j, "first", p), p + ".first");
        item.elements = ToTexts(Required(j, "elements", p), p + ".elements");
        item.listDefault = ToSigned(Required(j, "default", p), p + ".default");
        item.listCurrent = ToSigned(Required(j, "current", p), p + ".current");
        break;
    case ItemKind::Numeric:
        item.min = ToDouble(Required(j, "min", p), p + ".min");
        item.max = ToDouble(Required(j, "max", p), p + ".max");
        item.step = ToDouble(Required(j, "step", p), p + ".step");
        item.numDefault = ToDouble(Required(j, "default", p), p + ".default");
        item.numCurrent = ToDouble(Required(j, "current", p), p + ".current");
        break;
    case ItemKind::DateTime:
        item.dateTime = ToText(Required(j, "current", p), p + ".current");
        break;
    case ItemKind::String:
        item.minLen = ToSigned(Required(j, "min_len", p), p + ".min_len");
        item.maxLen = ToSigned(Required(j, "max_len", p), p + ".max_len");
        item.dataMask = ToUnsigned(Required(j, "mask", p), p + ".mask");
        item.strDefault = ToText(Required(j, "default", p), p + ".default");
        item.strCurrent = ToText(Required(j, "current", p), p + ".current");
        break;
    case ItemKind::Checkboxes: {
        item.bits = ToSigned(Required(j, "bits", p), p + ".bits");
        item.boxDefault = ToBytes(Required(j, "default", p), p + ".default");
        item.boxCurrent = ToBytes(Required(j, "current", p), p + ".current");
        const json& boxes = Required(j, "elements", p);
        if (!boxes.is_array())
            Fail(p + ".elements", "expected a list of {\"text\", \"bit\"}");
        for (size_t i = 0; i < boxes.size(); ++i) {
            const std::string bp = p + ".elements[" + std::to_string(i) + "]";
            item.boxes.push_back({ToText(Required(boxes[i], "text", bp), bp + ".text"),
                                  ToSigned(Required(boxes[i], "bit", bp), bp + ".bit")});
        }
        break;
    }
    }
}

SetupItem ReadItem(const json& j, const std::string& p) {
    if (!j.is_object())
        Fail(p, "expected an object");
    SetupItem item;
    item.id = ToUnsigned(Required(j, "id", p), p + ".id");
    item.kind = ToKind(Required(j, "kind", p), p + ".kind");
    item.text = ToText(Required(j, "text", p), p + ".text");
    if (const json* add = Member(j, "add"))
        item.addText = ToText(*add, p + ".add");
    if (const json* links = Member(j, "links")) {
        if (!links->is_array())
            Fail(p + ".links", "expected a list");
        for (size_t i = 0; i < links->size(); ++i) {
            const std::string lp = p + ".links[" + std::to_string(i) + "]";
            const json& l = (*links)[i];
            item.links.push_back({ToText(Required(l, "op", lp), lp + ".op"),
                                  ToUnsigned(Required(l, "source", lp), lp + ".source"),
                                  ToSigned(Required(l, "value", lp), lp + ".value")});
        }
    }
    ReadKindMembers(j, p, item);
    return item;
}

std::vector<StatusBitText> ReadBits(const json& j, const std::string& p) {
    if (!j.is_array())
        Fail(p, "expected a list");
    std::vector<StatusBitText> out;
    for (size_t i = 0; i < j.size(); ++i) {
        const std::string bp = p + "[" + std::to_string(i) + "]";
        StatusBitText b;
        b.byte = ToSigned(Required(j[i], "byte", bp), bp + ".byte");
        b.bit = ToSigned(Required(j[i], "bit", bp), bp + ".bit");
        b.id = ToSigned(Required(j[i], "id", bp), bp + ".id");
        b.text = ToText(Required(j[i], "text", bp), bp + ".text");
        if (const json* add = Member(j[i], "add"))
            b.addText = ToText(*add, bp + ".add");
        b.family = ToSigned(Required(j[i], "family", bp), bp + ".family");
        out.push_back(b);
    }
    return out;
}

std::vector<StatusStep> ReadSchedule(const json& j, const std::string& p) {
    if (!j.is_array())
        Fail(p, "expected a list of {\"bytes\", \"answers\"}");
    std::vector<StatusStep> out;
    for (size_t i = 0; i < j.size(); ++i) {
        const std::string sp = p + "[" + std::to_string(i) + "]";
        StatusStep s;
        s.bytes = ToBytes(Required(j[i], "bytes", sp), sp + ".bytes");
        if (const json* n = Member(j[i], "answers"))
            s.answers = ToUnsigned(*n, sp + ".answers");
        out.push_back(s);
    }
    return out;
}

StatusSection ReadStatus(const json& j, const std::string& p) {
    StatusSection s;
    if (const json* v = Member(j, "ports"))
        s.ports = ToUnsigned(*v, p + ".ports");
    s.generalMask = ToUnsigned(Required(j, "general_mask", p), p + ".general_mask");
    if (const json* v = Member(j, "general_bits"))
        s.generalBits = ReadBits(*v, p + ".general_bits");
    if (const json* v = Member(j, "extended_bytes"))
        s.extendedBytes = ToUnsigned(*v, p + ".extended_bytes");
    if (const json* v = Member(j, "extended_bits"))
        s.extendedBits = ReadBits(*v, p + ".extended_bits");
    if (const json* v = Member(j, "general_schedule"))
        s.generalSchedule = ReadSchedule(*v, p + ".general_schedule");
    if (const json* v = Member(j, "extended_schedule"))
        s.extendedSchedule = ReadSchedule(*v, p + ".extended_schedule");
    return s;
}

ToolsSection ReadTools(const json& j, const std::string& p) {
    ToolsSection t;
    t.group1 = ToUnsigned(Required(j, "group1", p), p + ".group1");
    if (const json* v = Member(j, "group2"))
        t.group2 = ToUnsigned(*v, p + ".group2");
    if (const json* answers = Member(j, "answers")) {
        if (!answers->is_object())
            Fail(p + ".answers", "expected an object of tool bit -> lines");
        for (const auto& [key, lines] : answers->items()) {
            uint32_t bit = ToUnsigned(json(key), p + ".answers." + key);
            t.answerLines[bit] = ToTexts(lines, p + ".answers." + key);
        }
    }
    return t;
}

UsbSection ReadUsb(const json& j, const std::string& p) {
    if (!j.is_object())
        Fail(p, "expected an object with \"vid\", \"pid\", \"serial\", \"class\"");
    UsbSection usb;
    if (const json* v = Member(j, "vid"))
        usb.vid = ToUnsigned(*v, p + ".vid");
    if (const json* v = Member(j, "pid"))
        usb.pid = ToUnsigned(*v, p + ".pid");
    if (const json* v = Member(j, "serial"))
        usb.serial = v->is_null() ? std::nullopt : std::optional<std::string>(ToText(*v, p + ".serial"));
    if (const json* v = Member(j, "class"))
        usb.deviceClass = ToUnsigned(*v, p + ".class");
    return usb;
}

BootSection ReadBoot(const json& j, const std::string& p) {
    if (!j.is_object())
        Fail(p, "expected an object");
    BootSection b;
    if (const json* v = Member(j, "release"))
        b.release = ToText(*v, p + ".release");
    if (const json* v = Member(j, "programming_size"))
        b.programmingSize = ToUnsigned(*v, p + ".programming_size");
    if (const json* v = Member(j, "new_loader")) {
        if (!v->is_boolean())
            Fail(p + ".new_loader", "expected true or false");
        b.newLoader = v->get<bool>();
    }
    if (const json* v = Member(j, "pid"))
        b.pid = ToUnsigned(*v, p + ".pid");
    if (const json* v = Member(j, "serial"))
        b.serial = ToText(*v, p + ".serial");
    if (const json* v = Member(j, "appear_ms"))
        b.appearMs = ToUnsigned(*v, p + ".appear_ms");
    if (const json* v = Member(j, "power_cycle_ms"))
        b.powerCycleMs = ToUnsigned(*v, p + ".power_cycle_ms");
    return b;
}

UpgradeSection ReadUpgrade(const json& j, const std::string& p) {
    UpgradeSection u;
    u.mode = ToText(Required(j, "mode", p), p + ".mode");
    if (const json* v = Member(j, "settings"))
        u.settings = ToText(*v, p + ".settings");
    u.deviceIds = ToText(Required(j, "device_ids", p), p + ".device_ids");
    if (const json* v = Member(j, "firmware_after"))
        u.firmwareAfter = ToText(*v, p + ".firmware_after");
    if (const json* v = Member(j, "restart_ms"))
        u.restartMs = ToUnsigned(*v, p + ".restart_ms");
    if (const json* v = Member(j, "banks"))
        u.banks = ToUnsigned(*v, p + ".banks");
    if (const json* v = Member(j, "module_ids"))
        u.moduleIds = ToText(*v, p + ".module_ids");
    if (const json* v = Member(j, "boot"))
        u.boot = ReadBoot(*v, p + ".boot");
    return u;
}

void ReadIdentity(const json& root, Profile& profile) {
    if (const json* v = Member(root, "name"))
        profile.name = ToText(*v, "name");
    profile.gsi = ToUnsigned(Required(root, "gsi", "profile"), "gsi");
    profile.firmware = ToText(Required(root, "firmware", "profile"), "firmware");
    if (const json* v = Member(root, "protocol_version"))
        profile.protocolVersion = ToText(*v, "protocol_version");
    if (const json* v = Member(root, "baud"))
        profile.baud = ToUnsigned(*v, "baud");
    if (const json* v = Member(root, "capabilities"); v != nullptr && !v->is_null())
        profile.capabilities = ToUnsigned(*v, "capabilities");
    if (const json* v = Member(root, "reset_ms"))
        profile.resetMs = ToUnsigned(*v, "reset_ms");
}

void ReadTextGroups(const json& root, Profile& profile) {
    if (const json* v = Member(root, "header"))
        profile.header = ToTexts(*v, "header");
    if (const json* info = Member(root, "info")) {
        if (const json* v = Member(*info, "life"))
            profile.lifeInfo = ToTexts(*v, "info.life");
        if (const json* v = Member(*info, "device"))
            profile.deviceInfo = ToTexts(*v, "info.device");
        if (const json* v = Member(*info, "head"))
            profile.headInfo = ToTexts(*v, "info.head");
    }
    if (const json* v = Member(root, "modules"))
        profile.modules = ToTexts(*v, "modules");
}

// "a.b=VALUE": the member a.b (created when missing) becomes VALUE read as JSON, or as a text when it
// is not JSON (so upgrade.mode=U1 needs no quotes).
void ApplyOverride(json& root, const std::string& text) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0)
        throw ProfileError("--set " + text + ": expected PATH=VALUE, e.g. upgrade.mode=U1");
    json* node = &root;
    std::string path = text.substr(0, eq);
    for (size_t dot; (dot = path.find('.')) != std::string::npos; path.erase(0, dot + 1)) {
        node = &(*node)[path.substr(0, dot)];
        if (!node->is_object() && !node->is_null())
            throw ProfileError("--set " + text + ": " + path.substr(0, dot) + " is not an object");
    }
    const std::string value = text.substr(eq + 1);
    json parsed = json::parse(value, nullptr, false);
    (*node)[path] = parsed.is_discarded() ? json(value) : parsed;
}

} // namespace

Profile LoadProfileText(const std::string& text, const std::string& origin,
                        const std::vector<std::string>& overrides) {
    json root;
    try {
        root = json::parse(text);
    } catch (const json::parse_error& e) {
        throw ProfileError(origin + ": not valid JSON: " + e.what());
    }
    try {
        for (const std::string& o : overrides)
            ApplyOverride(root, o);
        if (!root.is_object())
            Fail("profile", "expected a JSON object");
        Profile profile;
        ReadIdentity(root, profile);
        ReadTextGroups(root, profile);
        if (const json* v = Member(root, "tools"))
            profile.tools = ReadTools(*v, "tools");
        if (const json* v = Member(root, "status"))
            profile.status = ReadStatus(*v, "status");
        if (const json* v = Member(root, "usb"))
            profile.usb = ReadUsb(*v, "usb");
        if (const json* v = Member(root, "upgrade"))
            profile.upgrade = ReadUpgrade(*v, "upgrade");
        const json& items = Required(root, "items", "profile");
        if (!items.is_array())
            Fail("items", "expected a list");
        for (size_t i = 0; i < items.size(); ++i)
            profile.items.push_back(ReadItem(items[i], "items[" + std::to_string(i) + "]"));
        if (const json* v = Member(root, "faults"))
            profile.faults = ToTexts(*v, "faults");
        ValidateProfile(profile);
        return profile;
    } catch (const ProfileError& e) {
        throw ProfileError(origin + ": " + e.what());
    }
}

Profile LoadProfileFile(const std::string& path, const std::vector<std::string>& overrides) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw ProfileError(path + ": cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    return LoadProfileText(text.str(), path, overrides);
}

} // namespace sim
