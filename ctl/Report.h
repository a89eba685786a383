// What every fleet subcommand ends with: the JSON document (schema in dalvoractl.schema.json), or for
// the terminal the per-printer lines and the summary; the progress lines while printers run; and the
// exit status the results add up to.
#pragma once

#include "fleet/FleetRun.h"

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace ctl {

// Exit statuses (the man page lists them).
enum ExitStatus : int {
    kExitOk = 0,
    kExitPrinterFailed = 1, // at least one printer failed
    kExitUsage = 2,         // the command line or the inventory is wrong
    kExitFile = 3,          // an archive, package or output cannot be read or written
    kExitNotHeld = 4,       // a printer acknowledged values it does not hold afterwards
    kExitPreflight = 5,     // the upgrade's pre-flight check failed: nothing was started
    kExitStopped = 6,       // stopped by the operator before every printer was done
};

inline constexpr int kSchemaVersion = 1;

struct Output {
    bool json = false;
    bool quiet = false; // no progress lines
    std::ostream& out;
    std::ostream& err;
};

// The status a fleet run ends with: stopped before not-held before failed.
int StatusOf(const std::vector<fleet::PrinterResult>& results);

// Progress on the error stream: "[3/20] eth:10.0.0.5 ..." when a printer starts (only on a terminal)
// and "[3/20] eth:10.0.0.5 ok" or "... failed: reason" when it ends.
fleet::FleetOptions WithProgress(fleet::FleetOptions options, const Output& output, size_t total);

// {"command", "schema_version", "status", "printers": [...], "summary": {...}}: each printer entry is
// its detail plus "printer", "name", "state", "code", "reason".
nlohmann::json FleetDocument(const std::string& command, const std::vector<fleet::PrinterTarget>& targets,
                             const std::vector<fleet::PrinterResult>& results, int status);

// "ok 18, failed 2, skipped 0", then one line per failed or skipped printer with its reason.
void PrintSummary(std::ostream& out, const std::vector<fleet::PrinterTarget>& targets,
                  const std::vector<fleet::PrinterResult>& results);

// Prints the document as one JSON text (pretty on a terminal).
void PrintJson(const Output& output, const nlohmann::json& document);

// A value as the tables and documents show it: masked when confidential.
std::string Shown(const std::string& value, bool confidential);

} // namespace ctl
