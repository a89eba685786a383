#include "audit/AuditJson.h"

#include <cstdio>
#include <ctime>

namespace audit {

namespace {

using nlohmann::json;

json ItemJson(const WrittenItem& item) {
    json out = {{"id", item.id}, {"description", item.description}};
    if (item.confidential) {
        out["old"] = item.before ? json(kMasked) : json(nullptr);
        out["new"] = kMasked;
        out["confidential"] = true;
    } else {
        out["old"] = item.before ? json(*item.before) : json(nullptr);
        out["new"] = item.after;
    }
    return out;
}

WrittenItem ItemFrom(const json& item) {
    WrittenItem out;
    out.id = item.at("id").get<uint64_t>();
    out.description = item.at("description").get<std::string>();
    if (!item.at("old").is_null())
        out.before = item.at("old").get<std::string>();
    out.after = item.at("new").get<std::string>();
    out.confidential = item.value("confidential", false);
    return out;
}

std::optional<uint64_t> ParseGsi(const json& value) {
    if (value.is_null())
        return std::nullopt;
    return std::stoull(value.get<std::string>(), nullptr, 16);
}

} // namespace

std::string FormatGsi(uint64_t gsi) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%04llx", static_cast<unsigned long long>(gsi));
    return text;
}

std::string FormatUtc(int64_t time) {
    const time_t seconds = static_cast<time_t>(time);
    std::tm utc{};
    char text[32] = "";
    if (gmtime_r(&seconds, &utc) != nullptr)
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::optional<int64_t> ParseUtc(const std::string& text) {
    std::tm utc{};
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ%n", &utc.tm_year, &utc.tm_mon, &utc.tm_mday,
                    &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &consumed) == 6 &&
        static_cast<size_t>(consumed) == text.size()) {
    } else if (utc = std::tm{}, consumed = 0; std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &utc.tm_year,
                                                          &utc.tm_mon, &utc.tm_mday, &consumed) == 3 &&
                                              static_cast<size_t>(consumed) == text.size()) {
    } else {
        return std::nullopt;
    }
    if (utc.tm_mon < 1 || utc.tm_mon > 12 || utc.tm_mday < 1 || utc.tm_mday > 31 || utc.tm_hour > 23 ||
        utc.tm_min > 59 || utc.tm_sec > 60)
        return std::nullopt;
    utc.tm_year -= 1900;
    utc.tm_mon -= 1;
    return static_cast<int64_t>(timegm(&utc));
}

json ToJson(const Entry& entry) {
    json printer = {{"gsi", entry.printer.gsi ? json(FormatGsi(*entry.printer.gsi)) : json(nullptr)},
                    {"release", entry.printer.release},
                    {"port", entry.printer.port}};
    json items = json::array();
    for (const WrittenItem& item : entry.items)
        items.push_back(ItemJson(item));
    json out = {{"time", FormatUtc(entry.time)},
                {"user", entry.user},
                {"front_end", entry.frontEnd},
                {"printer", printer},
                {"operation", entry.operation},
                {"items", items},
                {"package", nullptr},
                {"result", {{"ok", entry.ok}, {"status", entry.status}, {"reason", entry.reason}}}};
    if (entry.package)
        out["package"] = {{"file", entry.package->file},
                          {"identity", entry.package->identity},
                          {"sha256", entry.package->sha256}};
    return out;
}

std::optional<Entry> FromJson(const json& line) {
    try {
        Entry entry;
        const std::optional<int64_t> time = ParseUtc(line.at("time").get<std::string>());
        if (!time)
            return std::nullopt;
        entry.time = *time;
        entry.user = line.at("user").get<std::string>();
        entry.frontEnd = line.at("front_end").get<std::string>();
        const json& printer = line.at("printer");
        entry.printer = {ParseGsi(printer.at("gsi")), printer.at("release").get<std::string>(),
                         printer.at("port").get<std::string>()};
        entry.operation = line.at("operation").get<std::string>();
        for (const json& item : line.at("items"))
            entry.items.push_back(ItemFrom(item));
        if (const json& package = line.at("package"); !package.is_null())
            entry.package = PackageIdentity{package.at("file").get<std::string>(),
                                            package.at("identity").get<std::string>(),
                                            package.at("sha256").get<std::string>()};
        const json& result = line.at("result");
        entry.ok = result.at("ok").get<bool>();
        entry.status = result.at("status").get<int>();
        entry.reason = result.at("reason").get<std::string>();
        return entry;
    } catch (const std::exception&) {
        // json's type and key errors, a GSI that is not hex: a line written by something else.
        return std::nullopt;
    }
}

} // namespace audit
