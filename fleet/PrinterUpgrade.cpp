#include "fleet/PrinterUpgrade.h"

#include "audit/AuditRecords.h"
#include "comm/PrinterJob.h"
#include "firmware/ModuleData.h"
#include "firmware/PSWFile.h"
#include "upgrade/ComponentLetters.h"
#include "upgrade/UpgradeSession.h"

#include <algorithm>
#include <cctype>
#include <memory>

namespace fleet {

namespace {

// Every component may be sent; the waits are the procedures' own.
constexpr int kAllComponents = 255;
constexpr int kTimeMultiplier = 1;

bool EndsWith(std::string text, const char* ending) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    const std::string tail = ending;
    return text.size() > tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

struct LoadedFile {
    PSWFile package;
    ModuleData module;
    PSWComponents components;
};

// The file's images and the components to send: false when it cannot be loaded or the choice is refused.
bool Load(const UpgradeFile& file, LoadedFile& loaded, std::string& error) {
    if (file.module) {
        if (!loaded.module.LoadModuleFromFile(file.path.c_str())) {
            error = "not a readable module file";
            return false;
        }
        return true;
    }
    if (!loaded.package.LoadPSWFromFile(file.path.c_str(), true)) {
        error = "not a readable firmware package";
        return false;
    }
    loaded.components = loaded.package.GetComponents();
    if (!component_letters::NamesAChoice(file.components))
        return true;
    switch (component_letters::Choose(loaded.package, file.components, loaded.components)) {
    case component_letters::Refusal::None:
        return true;
    case component_letters::Refusal::WholeUpgradeDemanded:
        error = "this package must be installed whole: no component choice";
        return false;
    case component_letters::Refusal::NothingChosen:
        break;
    }
    error = "none of the chosen components is in the package";
    return false;
}

template <typename Operation> UpgradeOutcome RunSession(CommPortSettings& settings, Operation operation) {
    UpgradeOutcome outcome;
    PrinterData data;
    data.Init();
    UpgradeSession session(kAllComponents, kTimeMultiplier);
    PrinterJob job(data, settings);
    const PrinterJobOutcome result = job.Run(
        session, [&](PrinterJobSession& s) { return operation(session, s) ? kJobSuccess : kJobFalseResult; });
    outcome.gsi = data.GetGSI();
    outcome.release = data.GetFWRel().value_or("");
    if (result.Threw())
        outcome.failure = Failure{result.result, FailureText(result.result)};
    else if (result.result != kJobSuccess)
        outcome.failure = Failure{session.GetLastError(), UpgradeFailureText(session.GetLastError())};
    return outcome;
}

} // namespace

std::string UpgradeFailureText(int code) {
    switch (code) {
    case UpgradeSession::kErrorModulesNotOffered:
        return "the printer takes no modules";
    case UpgradeSession::kErrorPackageNotForThisSystem:
        return "the package is not for this system";
    case UpgradeSession::kErrorUpgradeNotOffered:
        return "the printer offers no firmware upgrade";
    case kErrorNotCompatible:
        return "the package does not fit this printer";
    case kErrorBadAnswer:
        return "the upgrade failed (transfer, loader or unknown procedure)";
    case 0:
        return "the upgrade failed";
    default:
        return FailureText(code);
    }
}

std::optional<UpgradeFile> OpenUpgradeFile(const std::string& path, const std::string& components,
                                           std::string& error) {
    UpgradeFile file{path, EndsWith(path, ".mod"), components, {}};
    if (!file.module && !EndsWith(path, ".psw") && !EndsWith(path, ".pfw")) {
        error = path + ": not a firmware package (.psw, .pfw) or module file (.mod)";
        return std::nullopt;
    }
    auto loaded = std::make_unique<LoadedFile>();
    if (!Load(file, *loaded, error)) {
        error = path + ": " + error;
        return std::nullopt;
    }
    file.identity =
        file.module ? audit::IdentityOf(path, loaded->module) : audit::IdentityOf(path, loaded->package);
    return file;
}

UpgradeOutcome PreflightUpgrade(const UpgradeFile& file, CommPortSettings settings) {
    auto loaded = std::make_unique<LoadedFile>();
    std::string error;
    if (!Load(file, *loaded, error))
        return {std::nullopt, "", Failure{kFailureArchive, error}};
    return RunSession(settings, [&](UpgradeSession& session, PrinterJobSession& s) {
        return file.module ? session.PrnCom_CheckModule(&s.layer, &s.settings)
                           : session.PrnCom_CheckPackage(&s.layer, &loaded->package, &s.settings);
    });
}

UpgradeOutcome RunUpgrade(const UpgradeFile& file, CommPortSettings settings) {
    auto loaded = std::make_unique<LoadedFile>();
    std::string error;
    if (!Load(file, *loaded, error))
        return {std::nullopt, "", Failure{kFailureArchive, error}};
    return RunSession(settings, [&](UpgradeSession& session, PrinterJobSession& s) {
        return file.module ? session.PrnCom_WriteModule(&s.layer, &loaded->module, &s.settings, nullptr)
                           : session.PrnCom_UpgradePrinter(&s.layer, &loaded->package, &s.settings,
                                                           &loaded->components, false);
    });
}

} // namespace fleet
