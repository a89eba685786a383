// One printer's part of a fleet upgrade: the pre-flight check (the printer offers the upgrade, the
// package fits it), and the upgrade itself, each a session of its own. The file is loaded anew for
// every printer, since an upgrade works on its own copy of the images.
#pragma once

#include "audit/AuditEntry.h"
#include "fleet/PrinterOps.h"

#include <optional>
#include <string>

namespace fleet {

struct UpgradeFile {
    std::string path;
    bool module = false;    // a .mod module file, else a .psw/.pfw package
    std::string components; // -c letters; empty for the whole package
    audit::PackageIdentity identity;
};

// Loads the file once to check it (and the component choice): nothing with the reason otherwise.
[[nodiscard]] std::optional<UpgradeFile> OpenUpgradeFile(const std::string& path,
                                                         const std::string& components, std::string& error);

struct UpgradeOutcome {
    std::optional<uint64_t> gsi;
    std::string release;
    std::optional<Failure> failure;
};

UpgradeOutcome PreflightUpgrade(const UpgradeFile& file, CommPortSettings settings);
UpgradeOutcome RunUpgrade(const UpgradeFile& file, CommPortSettings settings);

// The operator's text for an upgrade's session error.
std::string UpgradeFailureText(int code);

} // namespace fleet
