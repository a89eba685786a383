// The subcommands that write, or show what a write would do: diff and apply. Every apply, whatever
// its result, leaves one line in the audit trail.
#include "ctl/Commands.h"

#include "audit/AuditJson.h"
#include "audit/AuditRecords.h"
#include "ctl/Table.h"
#include "fleet/PrinterOps.h"

#include <ctime>

namespace ctl {

namespace {

nlohmann::json ChangesJson(const WriteReport& report) {
    nlohmann::json changes = nlohmann::json::array();
    for (const WrittenItem& item : report.items)
        changes.push_back({{"id", item.id},
                           {"description", item.description},
                           {"from", item.before ? nlohmann::json(Shown(*item.before, item.confidential))
                                                : nlohmann::json(nullptr)},
                           {"to", Shown(item.after, item.confidential)},
                           {"confidential", item.confidential}});
    return changes;
}

nlohmann::json NotHeldJson(const std::vector<fleet::NotHeld>& items) {
    nlohmann::json rows = nlohmann::json::array();
    for (const fleet::NotHeld& item : items)
        rows.push_back({{"id", item.id},
                        {"description", item.description},
                        {"written", Shown(item.written, item.confidential)},
                        {"held", Shown(item.held, item.confidential)}});
    return rows;
}

nlohmann::json WriteDetail(const fleet::WriteOutcome& outcome) {
    return {{"gsi", outcome.gsi ? nlohmann::json(audit::FormatGsi(*outcome.gsi)) : nlohmann::json(nullptr)},
            {"release", outcome.release},
            {"compatible", outcome.compatible},
            {"changes", ChangesJson(outcome.report)}};
}

fleet::PrinterResult ResultOf(const fleet::WriteOutcome& outcome, nlohmann::json detail) {
    if (outcome.failure)
        return {fleet::State::Failed, outcome.failure->code, outcome.failure->reason, std::move(detail)};
    return {fleet::State::Ok, 0, "", std::move(detail)};
}

void RecordApply(const fleet::PrinterTarget& target, const fleet::WriteOutcome& outcome) {
    audit::Entry entry;
    entry.time = static_cast<int64_t>(std::time(nullptr));
    entry.user = audit::CurrentUser();
    entry.frontEnd = audit::kFrontEndFleet;
    entry.operation = audit::kOperationWrite;
    entry.printer = {outcome.gsi, outcome.release, target.address};
    entry.items = outcome.report.items;
    entry.ok = !outcome.failure.has_value();
    entry.status = outcome.failure ? outcome.failure->code : 0;
    entry.reason = outcome.failure ? outcome.failure->reason : "";
    (void)audit::Record(entry);
}

std::string Text(const nlohmann::json& value) {
    return value.is_null() ? "-" : value.get<std::string>();
}

void PrintChanges(std::ostream& out, const fleet::PrinterTarget& target, const fleet::PrinterResult& result,
                  const char* verb) {
    const nlohmann::json& detail = result.detail;
    out << target.Label() << ": ";
    if (!detail["compatible"].get<bool>()) {
        out << "NOT COMPATIBLE: " << result.reason << '\n';
        return;
    }
    if (result.state != fleet::State::Ok && detail["changes"].empty()) {
        out << result.reason << '\n';
        return;
    }
    out << detail["changes"].size() << " item(s) " << verb << '\n';
    Table table({"ID", "DESCRIPTION", "PRINTER", "ARCHIVE"});
    for (const nlohmann::json& change : detail["changes"])
        table.AddRow({std::to_string(change["id"].get<uint64_t>()), Text(change["description"]),
                      Text(change["from"]), Text(change["to"])});
    if (!table.Empty())
        table.Print(out);
    if (detail.contains("not_held") && !detail["not_held"].empty()) {
        out << "NOT HELD after writing (acknowledged, read back different):\n";
        Table notHeld({"ID", "DESCRIPTION", "WRITTEN", "HELD"});
        for (const nlohmann::json& row : detail["not_held"])
            notHeld.AddRow({std::to_string(row["id"].get<uint64_t>()), Text(row["description"]),
                            Text(row["written"]), Text(row["held"])});
        notHeld.Print(out);
    }
}

// The archive is read once before any printer is touched: a bad file fails the whole run.
bool ArchiveReadable(const Output& output, const std::string& path) {
    PrinterData archive;
    if (LoadArchiveFile(path, archive))
        return true;
    output.err << path << ": not a readable configuration archive\n";
    return false;
}

int Finish(const Output& output, const char* command, const char* verb,
           const std::vector<fleet::PrinterTarget>& targets,
           const std::vector<fleet::PrinterResult>& results) {
    const int status = StatusOf(results);
    if (output.json) {
        PrintJson(output, FleetDocument(command, targets, results, status));
        return status;
    }
    for (size_t i = 0; i < results.size(); ++i)
        if (results[i].state != fleet::State::Skipped)
            PrintChanges(output.out, targets[i], results[i], verb);
    PrintSummary(output.out, targets, results);
    return status;
}

// The archive checked once, then the work on every printer, then the report.
int RunOnFleet(const Output& output, const std::vector<fleet::PrinterTarget>& targets,
               const WriteChoice& choice, const char* command, const char* verb,
               const fleet::PrinterWork& work) {
    if (!ArchiveReadable(output, choice.archive))
        return kExitFile;
    fleet::FleetOptions options;
    options.parallel = choice.parallel;
    const std::vector<fleet::PrinterResult> results =
        fleet::RunFleet(targets, work, WithProgress(options, output, targets.size()));
    return Finish(output, command, verb, targets, results);
}

} // namespace

int RunDiff(const Output& output, const std::vector<fleet::PrinterTarget>& targets,
            const WriteChoice& choice) {
    return RunOnFleet(output, targets, choice, "diff", "would change",
                      [&](const fleet::PrinterTarget& target) {
                          const fleet::WriteOutcome outcome =
                              fleet::PreviewWrite(choice.archive, target.settings, !choice.allItems);
                          return ResultOf(outcome, WriteDetail(outcome));
                      });
}

int RunApply(const Output& output, const std::vector<fleet::PrinterTarget>& targets,
             const WriteChoice& choice) {
    return RunOnFleet(output, targets, choice, "apply", "written", [&](const fleet::PrinterTarget& target) {
        const fleet::WriteOutcome outcome =
            fleet::ApplyWrite(choice.archive, target.settings, !choice.allItems, choice.verify);
        RecordApply(target, outcome);
        nlohmann::json detail = WriteDetail(outcome);
        detail["verified"] = outcome.verified;
        detail["not_held"] = NotHeldJson(outcome.notHeld);
        return ResultOf(outcome, std::move(detail));
    });
}

} // namespace ctl
