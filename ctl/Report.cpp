#include "ctl/Report.h"

#include "audit/AuditEntry.h"
#include "fleet/PrinterOps.h"

#include <unistd.h>

namespace ctl {

int StatusOf(const std::vector<fleet::PrinterResult>& results) {
    bool stopped = false, notHeld = false, failed = false;
    for (const fleet::PrinterResult& result : results) {
        stopped |= result.state == fleet::State::Skipped && result.code == fleet::kFailureStopped;
        notHeld |= result.code == fleet::kFailureNotHeld;
        failed |= result.state == fleet::State::Failed;
    }
    return stopped ? kExitStopped : notHeld ? kExitNotHeld : failed ? kExitPrinterFailed : kExitOk;
}

fleet::FleetOptions WithProgress(fleet::FleetOptions options, const Output& output, size_t total) {
    if (output.quiet)
        return options;
    const bool terminal = isatty(STDERR_FILENO) != 0;
    std::ostream& err = output.err;
    options.progress = [&err, total, terminal](size_t index, const fleet::PrinterTarget& target,
                                               const fleet::PrinterResult* result) {
        const std::string position = "[" + std::to_string(index + 1) + "/" + std::to_string(total) + "] ";
        if (result == nullptr) {
            if (terminal)
                err << position << target.Label() << " ..." << std::endl;
            return;
        }
        err << position << target.Label() << " " << fleet::StateName(result->state);
        if (!result->reason.empty())
            err << ": " << result->reason;
        err << std::endl;
    };
    return options;
}

nlohmann::json FleetDocument(const std::string& command, const std::vector<fleet::PrinterTarget>& targets,
                             const std::vector<fleet::PrinterResult>& results, int status) {
    nlohmann::json printers = nlohmann::json::array();
    int counts[3] = {0, 0, 0};
    for (size_t i = 0; i < results.size(); ++i) {
        const fleet::PrinterResult& result = results[i];
        nlohmann::json entry = result.detail;
        entry["printer"] = targets[i].address;
        entry["name"] = targets[i].name;
        entry["state"] = fleet::StateName(result.state);
        entry["code"] = result.code;
        entry["reason"] = result.reason;
        printers.push_back(std::move(entry));
        ++counts[static_cast<int>(result.state)];
    }
    return {{"command", command},
            {"schema_version", kSchemaVersion},
            {"status", status},
            {"printers", printers},
            {"summary", {{"ok", counts[0]}, {"failed", counts[1]}, {"skipped", counts[2]}}}};
}

void PrintSummary(std::ostream& out, const std::vector<fleet::PrinterTarget>& targets,
                  const std::vector<fleet::PrinterResult>& results) {
    int counts[3] = {0, 0, 0};
    for (const fleet::PrinterResult& result : results)
        ++counts[static_cast<int>(result.state)];
    out << "ok " << counts[0] << ", failed " << counts[1] << ", skipped " << counts[2] << '\n';
    for (size_t i = 0; i < results.size(); ++i) {
        if (results[i].state == fleet::State::Ok)
            continue;
        out << "  " << targets[i].Label() << ": " << fleet::StateName(results[i].state) << ": "
            << results[i].reason << '\n';
    }
}

void PrintJson(const Output& output, const nlohmann::json& document) {
    const int indent = isatty(STDOUT_FILENO) ? 2 : -1;
    output.out << document.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace) << std::endl;
}

std::string Shown(const std::string& value, bool confidential) {
    return confidential ? audit::kMasked : value;
}

} // namespace ctl
