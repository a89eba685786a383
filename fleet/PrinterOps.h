// One printer's part of a fleet run: read its setup, preview or apply an archive (with the read-back
// check), back it up. Each call is a whole session of its own and touches nothing shared, so a fleet
// run may call them from several threads at once.
#pragma once

#include "comm/WriteReport.h"
#include "model/PrinterData.h"
#include "transport/CommPortSettings.h"

#include <optional>
#include <string>
#include <vector>

namespace fleet {

// A session error code (or a fleet code below) and its text for the operator.
struct Failure {
    int code = 0;
    std::string reason;
};

// Codes of failures that are not session errors.
inline constexpr int kFailureArchive = 1001; // the archive cannot be read
inline constexpr int kFailureNotHeld = 1002; // acknowledged values the printer does not hold
inline constexpr int kFailureOutput = 1003;  // the backup cannot be written
inline constexpr int kFailureStopped = 1004; // not started: the operator asked to stop

// The operator's text for a session error code.
std::string FailureText(int code);

struct ReadOutcome {
    PrinterData data;
    uint64_t dataErrors = 0;
    std::optional<Failure> failure;
};

// Identity, setup and (withInfo) the information pages.
ReadOutcome ReadPrinter(CommPortSettings settings, bool withInfo);

// An item written and acknowledged whose value read back differs.
struct NotHeld {
    uint64_t id = 0;
    std::string description;
    std::string written;
    std::string held;
    bool confidential = false;
};

struct WriteOutcome {
    std::optional<uint64_t> gsi;
    std::string release;
    bool compatible = true;
    WriteReport report; // a preview's items are those a write would send
    bool verified = false;
    std::vector<NotHeld> notHeld;
    std::optional<Failure> failure;
};

// Saves the printer's setup (with the information pages it read) as an archive, as the window saves a
// reading with the setup group chosen: false when it cannot be written.
[[nodiscard]] bool SaveArchive(PrinterData& data, const std::string& path);

// What writing the archive would send; nothing is written.
WriteOutcome PreviewWrite(const std::string& archivePath, CommPortSettings settings, bool onlyChanged);

// Writes as --sendtcfx does (only the changed items with onlyChanged); with verify, reads the setup
// back and compares every written item.
WriteOutcome ApplyWrite(const std::string& archivePath, CommPortSettings settings, bool onlyChanged,
                        bool verify);

// The written items the printer does not hold, by comparing the archive with a fresh reading (date
// and time items, being clocks, are not compared).
std::vector<NotHeld> FindNotHeld(const WriteReport& report, const PrinterData& archive,
                                 const PrinterData& readBack);

// "<GSI>_<release>_<port>_<YYYYMMDDTHHMMSSZ>.tcfx", every part reduced to file-name-safe characters.
std::string BackupFileName(const PrinterData& printer, const CommPortSettings& settings, int64_t time);

// Reads the printer (with its information pages) and saves the archive into the directory: the path
// written, or the failure.
struct BackupOutcome {
    std::string path;
    std::optional<uint64_t> gsi;
    std::string release;
    std::optional<Failure> failure;
};
BackupOutcome BackupPrinter(CommPortSettings settings, const std::string& directory, int64_t time);

} // namespace fleet
