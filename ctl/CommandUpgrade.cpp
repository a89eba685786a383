// The upgrade subcommand: every printer is checked against the file first (it offers the upgrade, the
// package fits it); when one is unfit nothing starts, unless the unfit ones are to be skipped. Then
// the upgrades, at most N at once over Ethernet and the others one after another, each recorded in
// the audit trail.
#include "ctl/Commands.h"

#include "audit/AuditJson.h"
#include "audit/AuditRecords.h"
#include "ctl/Table.h"
#include "fleet/PrinterUpgrade.h"

#include <ctime>

namespace ctl {

namespace {

bool OneAtATime(const fleet::PrinterTarget& target) {
    // A USB printer leaves the bus for its boot loader, whose device another printer's could be taken
    // for; a serial line's loader is slow and shares nothing, but is kept in turn all the same.
    return target.settings.type != COMM_ETHERNET;
}

nlohmann::json Identity(const fleet::UpgradeOutcome& outcome) {
    return {{"gsi", outcome.gsi ? nlohmann::json(audit::FormatGsi(*outcome.gsi)) : nlohmann::json(nullptr)},
            {"release", outcome.release}};
}

fleet::PrinterResult Preflight(const fleet::UpgradeFile& file, const fleet::PrinterTarget& target) {
    const fleet::UpgradeOutcome outcome = fleet::PreflightUpgrade(file, target.settings);
    nlohmann::json detail = Identity(outcome);
    detail["preflight"] = outcome.failure ? outcome.failure->reason : "ok";
    if (outcome.failure)
        return {fleet::State::Failed, outcome.failure->code, "pre-flight: " + outcome.failure->reason,
                detail};
    return {fleet::State::Ok, 0, "", detail};
}

fleet::PrinterResult Upgrade(const fleet::UpgradeFile& file, const fleet::PrinterTarget& target,
                             const nlohmann::json& preflight) {
    const fleet::UpgradeOutcome outcome = fleet::RunUpgrade(file, target.settings);
    audit::Entry entry;
    entry.time = static_cast<int64_t>(std::time(nullptr));
    entry.user = audit::CurrentUser();
    entry.frontEnd = audit::kFrontEndFleet;
    entry.operation = file.module ? audit::kOperationModule : audit::kOperationUpgrade;
    entry.printer = {outcome.gsi, outcome.release, target.address};
    entry.package = file.identity;
    entry.ok = !outcome.failure;
    entry.status = outcome.failure ? outcome.failure->code : 0;
    entry.reason = outcome.failure ? outcome.failure->reason : "";
    (void)audit::Record(entry);
    nlohmann::json detail = Identity(outcome);
    detail["preflight"] = preflight["preflight"];
    if (outcome.failure)
        return {fleet::State::Failed, outcome.failure->code, outcome.failure->reason, detail};
    return {fleet::State::Ok, 0, "", detail};
}

nlohmann::json PackageJson(const audit::PackageIdentity& identity) {
    return {{"file", identity.file}, {"identity", identity.identity}, {"sha256", identity.sha256}};
}

int Report(const Output& output, const std::vector<fleet::PrinterTarget>& targets,
           const std::vector<fleet::PrinterResult>& results, const fleet::UpgradeFile& file, int status) {
    if (output.json) {
        nlohmann::json document = FleetDocument("upgrade", targets, results, status);
        document["package"] = PackageJson(file.identity);
        PrintJson(output, document);
        return status;
    }
    output.out << "File: " << file.path << " (" << file.identity.identity << ")\n";
    Table table({"PRINTER", "GSI", "RELEASE", "PRE-FLIGHT", "RESULT"});
    for (size_t i = 0; i < results.size(); ++i) {
        const nlohmann::json& detail = results[i].detail;
        table.AddRow(
            {targets[i].Label(),
             detail.value("gsi", nlohmann::json()).is_null() ? "-" : detail["gsi"].get<std::string>(),
             detail.value("release", std::string("-")), detail.value("preflight", std::string("-")),
             results[i].state == fleet::State::Ok ? "ok" : results[i].reason});
    }
    table.Print(output.out);
    PrintSummary(output.out, targets, results);
    return status;
}

} // namespace

int RunUpgradeCommand(const Output& output, const std::vector<fleet::PrinterTarget>& targets,
                      const UpgradeChoice& choice) {
    std::string error;
    const std::optional<fleet::UpgradeFile> file =
        fleet::OpenUpgradeFile(choice.file, choice.components, error);
    if (!file) {
        output.err << error << '\n';
        return kExitFile;
    }
    fleet::FleetOptions options;
    options.parallel = choice.parallel;
    options.oneAtATime = OneAtATime;
    std::vector<fleet::PrinterResult> checks = fleet::RunFleet(
        targets, [&](const fleet::PrinterTarget& target) { return Preflight(*file, target); },
        WithProgress(options, output, targets.size()));
    bool anyUnfit = false;
    for (const fleet::PrinterResult& check : checks)
        anyUnfit |= check.state != fleet::State::Ok;
    if (StatusOf(checks) == kExitStopped)
        return Report(output, targets, checks, *file, kExitStopped);
    if (anyUnfit && !choice.skipUnfit) {
        for (fleet::PrinterResult& check : checks)
            if (check.state == fleet::State::Ok)
                check = {fleet::State::Skipped, 0, "not started: another printer failed the pre-flight check",
                         check.detail};
        return Report(output, targets, checks, *file, kExitPreflight);
    }
    std::vector<fleet::PrinterResult> results = fleet::RunFleet(
        targets,
        [&](const fleet::PrinterTarget& target) {
            const size_t index = static_cast<size_t>(&target - targets.data());
            const fleet::PrinterResult& check = checks[index];
            if (check.state != fleet::State::Ok)
                return fleet::PrinterResult{fleet::State::Skipped, check.code,
                                            "unfit, skipped: " + check.reason, check.detail};
            return Upgrade(*file, target, check.detail);
        },
        WithProgress(options, output, targets.size()));
    int status = StatusOf(results);
    // A printer skipped as unfit is not upgraded: the fleet is not where it was asked to be.
    if (status == kExitOk && anyUnfit)
        status = kExitPrinterFailed;
    return Report(output, targets, results, *file, status);
}

} // namespace ctl
