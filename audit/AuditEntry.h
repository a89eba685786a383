// One line of the audit trail: who changed which printer how, and whether it worked. Every front end
// (the window, the command line, the fleet tool) records its writes and upgrades with it.
#pragma once

#include "comm/WriteReport.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace audit {

// The front ends as the trail names them.
inline constexpr const char* kFrontEndFleet = "dalvoractl";
inline constexpr const char* kFrontEndCommandLine = "dalvora";
inline constexpr const char* kFrontEndWindow = "dalvora-window";

// The operations as the trail names them.
inline constexpr const char* kOperationWrite = "write";
inline constexpr const char* kOperationUpgrade = "upgrade";
inline constexpr const char* kOperationModule = "module";

// What replaces a confidential value in the trail (the same whatever the value's length).
inline constexpr const char* kMasked = "********";

struct PrinterIdentity {
    std::optional<uint64_t> gsi;
    std::string release;
    std::string port; // as the operator named it: eth:HOST:PORT, usb:VID|PID|SN, ser:DEVICE:BAUD:FLOW
};

struct PackageIdentity {
    std::string file;
    std::string identity; // model and release of a package, module id and release of a module
    std::string sha256;   // of the file's bytes, lower-case hex
};

struct Entry {
    int64_t time = 0; // seconds since the epoch; written as UTC
    std::string user;
    std::string frontEnd;
    PrinterIdentity printer;
    std::string operation;
    std::vector<WrittenItem> items;
    std::optional<PackageIdentity> package;
    bool ok = false;
    int status = 0;     // the front end's exit status or result code
    std::string reason; // why it failed; empty on success
};

} // namespace audit
