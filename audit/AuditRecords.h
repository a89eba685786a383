// Building audit entries from what the front ends have at hand: the user, the printer read by the
// session, the write report, the package or module file.
#pragma once

#include "audit/AuditEntry.h"

#include <optional>
#include <string>

class ModuleData;
class PSWFile;
class PrinterData;
struct CommPortSettings;

namespace audit {

// The login name of the real user (the password database, else $USER, else the uid).
std::string CurrentUser();

// The port as the fleet tool's printer names spell it.
std::string PortName(const CommPortSettings& settings);

// A fresh entry stamped now, for the printer's identity as far as it was read.
Entry NewEntry(const char* frontEnd, const char* operation, const PrinterData& printer,
               const CommPortSettings& settings);

// The file's SHA-256 in lower-case hex; nothing when it cannot be read.
std::optional<std::string> Sha256OfFile(const std::string& path);

PackageIdentity IdentityOf(const std::string& path, const PSWFile& package);
PackageIdentity IdentityOf(const std::string& path, const ModuleData& module);

// Appends, and reports a failure on the console and in the log: the operation itself has happened
// and keeps its result. False when the line could not be written.
bool Record(const Entry& entry);

} // namespace audit
