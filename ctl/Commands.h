// The subcommands of dalvoractl. Each builds its JSON document (or prints its tables) and returns the
// exit status.
#pragma once

#include "ctl/Report.h"
#include "fleet/PrinterAddress.h"

#include <string>
#include <vector>

namespace ctl {

struct WriteChoice {
    std::string archive;
    bool allItems = false; // every item, not only those that differ from the printer's
    bool verify = false;
    int parallel = 1;
};

struct UpgradeChoice {
    std::string file;       // .psw/.pfw package or .mod module file
    std::string components; // -c letters (S, F, L, D, O); empty or A: the whole package
    int parallel = 1;       // at most this many Ethernet printers at once
    bool skipUnfit = false; // upgrade the fit printers even when some are unfit
};

int RunList(const Output& output, bool discover);
int RunRead(const Output& output, const std::vector<fleet::PrinterTarget>& targets,
            const std::string& archiveOut);
int RunDiff(const Output& output, const std::vector<fleet::PrinterTarget>& targets,
            const WriteChoice& choice);
int RunApply(const Output& output, const std::vector<fleet::PrinterTarget>& targets,
             const WriteChoice& choice);
int RunBackup(const Output& output, const std::vector<fleet::PrinterTarget>& targets,
              const std::string& directory, int parallel);
int RunUpgradeCommand(const Output& output, const std::vector<fleet::PrinterTarget>& targets,
                      const UpgradeChoice& choice);
int RunHistory(const Output& output, const std::string& since);

// "2026-12-08", "2026-12-08T10:00:00Z", or a time back from now: "90m", "12h", "7d".
std::optional<int64_t> ParseSince(const std::string& text, int64_t now);

} // namespace ctl
