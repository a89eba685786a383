// The history subcommand: the audit trail, all of it or since a time.
#include "ctl/Commands.h"

#include "audit/AuditJson.h"
#include "audit/AuditLog.h"
#include "ctl/Table.h"

#include <ctime>

namespace ctl {

std::optional<int64_t> ParseSince(const std::string& text, int64_t now) {
    if (std::optional<int64_t> time = audit::ParseUtc(text))
        return time;
    if (text.size() < 2 || text.size() > 8)
        return std::nullopt;
    const char unit = text.back();
    const std::string digits = text.substr(0, text.size() - 1);
    if (digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int64_t count = std::stoll(digits);
    switch (unit) {
    case 'm':
        return now - count * 60;
    case 'h':
        return now - count * 3600;
    case 'd':
        return now - count * 86400;
    default:
        return std::nullopt;
    }
}

namespace {

std::string ItemsText(const audit::Entry& entry) {
    if (entry.items.empty())
        return entry.package ? entry.package->identity : "-";
    std::string text;
    for (const WrittenItem& item : entry.items) {
        if (!text.empty())
            text += "; ";
        const std::string before = item.before ? *item.before : "?";
        text += std::to_string(item.id) + " " + (item.confidential ? audit::kMasked : before) + " -> " +
                (item.confidential ? audit::kMasked : item.after);
    }
    return text;
}

} // namespace

int RunHistory(const Output& output, const std::string& since) {
    std::optional<int64_t> from;
    if (!since.empty()) {
        from = ParseSince(since, static_cast<int64_t>(std::time(nullptr)));
        if (!from) {
            output.err << "--since takes YYYY-MM-DD, YYYY-MM-DDTHH:MM:SSZ or a count of m, h or d back\n";
            return kExitUsage;
        }
    }
    std::string error;
    const std::optional<audit::Trail> trail = audit::ReadTrail(from, error);
    if (!trail) {
        output.err << error << '\n';
        return kExitFile;
    }
    if (trail->unreadable != 0)
        output.err << trail->unreadable << " line(s) of " << audit::TrailPath() << " are not audit entries\n";
    if (output.json) {
        nlohmann::json entries = nlohmann::json::array();
        for (const audit::Entry& entry : trail->entries)
            entries.push_back(audit::ToJson(entry));
        PrintJson(output, {{"command", "history"},
                           {"schema_version", kSchemaVersion},
                           {"status", kExitOk},
                           {"file", audit::TrailPath()},
                           {"unreadable", trail->unreadable},
                           {"entries", entries}});
        return kExitOk;
    }
    Table table({"TIME", "USER", "FRONT END", "PRINTER", "GSI", "OPERATION", "RESULT", "CHANGES"});
    for (const audit::Entry& entry : trail->entries)
        table.AddRow({audit::FormatUtc(entry.time), entry.user, entry.frontEnd, entry.printer.port,
                      entry.printer.gsi ? audit::FormatGsi(*entry.printer.gsi) : "-", entry.operation,
                      entry.ok ? "ok" : "failed (" + entry.reason + ")", ItemsText(entry)});
    if (table.Empty())
        output.out << "No entries\n";
    else
        table.Print(output.out);
    return kExitOk;
}

} // namespace ctl
