#include "app/CmdLineUpgrade.h"

#include "app/CmdLineOperations.h"
#include "audit/AuditRecords.h"
#include "base/CmdConsole.h"
#include "base/Log.h"
#include "firmware/ModuleData.h"
#include "firmware/PSWFile.h"
#include "firmware/PSWHeaders.h"
#include "model/PrinterData.h"
#include "upgrade/ComponentLetters.h"
#include "upgrade/StopSignals.h"
#include "upgrade/UpgradeModeU2U4.h"
#include "upgrade/UpgradeSession.h"
#include "upgrade/UpgradeStop.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

namespace {

constexpr const char* kWhere = "perform_cmdline_operation";

// Last errors of the upgrade session operations that have an exit status of their own.
enum SessionError : int {
    kSessionBadAnswer = 2,
    kSessionPortNotOpened = 6,
    kSessionNoAnswer = 7,
    kSessionNoHeaderForUs = 23,
    kSessionNoFirmwareUpgrade = 24,
};

// U4's restart request: Enter on the terminal. Without a terminal nobody can answer, so the upgrade
// goes on and the modules' re-open retries wait for the printer instead.
bool WaitForEnterOnTerminal(const std::string& request) {
    std::printf("%s\n", request.c_str());
    std::fflush(stdout);
    if (!isatty(STDIN_FILENO)) {
        Log::WriteLog(kWhere, "Standard input is not a terminal: going on without waiting for Enter");
        return true;
    }
    std::string line;
    std::getline(std::cin, line);
    return true;
}

// The file argument for --upgrade: 0, or the exit status after its message.
int CheckUpgradeFile(const CmdLineOptions& opts) {
    const bool named = parse_filename(opts.filename.c_str());
    const FileKindFlags& kinds = file_kind_flags();
    Log::WriteLogP(kWhere, "parse_filename %s (%d) m=%d p=%d b=%d z=%d s=%d", opts.filename.c_str(), named,
                   kinds.isMod, kinds.isPswPfw, kinds.isBin, kinds.isZpd, kinds.isSpt);
    if (!named) {
        CmdConsole::WriteToConsoleString("filename argument not valid\n");
        return kExitFile;
    }
    if (opts.tampermode == 0 && !kinds.isMod && !kinds.isPswPfw && !kinds.isZpd) {
        CmdConsole::WriteToConsoleString("filename not correct (must be a modpfw/psw)\n");
        return kExitFile;
    }
    if (opts.tampermode != 0 && !kinds.isBin) {
        CmdConsole::WriteToConsoleString("filename not correct for this type of upgrade (must be a bin)\n");
        return kExitFile;
    }
    return kExitSuccess;
}

int ReportFailure(const char* what, int sessionError, bool module) {
    const int status = UpgradeExitStatus(sessionError, module);
    CmdConsole::WriteToConsoleString("%s %d (%d)", what, status, sessionError);
    CmdConsole::WriteToConsoleString("OPERATION FAILURE\n");
    return status;
}

constexpr const char* kStopNotice =
    "\nStop requested: the upgrade ends before the next transfer (signal again to force)\n";

// The command line may send every component and scales the upgrade's waits by -m.
constexpr int kAllComponents = 255;

int SendModuleFile(const CmdLineOptions& opts, PrinterJobSession& session, UpgradeSession& upgrade,
                   std::optional<audit::PackageIdentity>& sent) {
    ModuleData module;
    if (!module.LoadModuleFromFile(opts.filename.c_str())) {
        CmdConsole::WriteToConsoleString("LoadModuleFromFile FAILURE\n");
        return kExitFile;
    }
    sent = audit::IdentityOf(opts.filename, module);
    CmdConsole::WriteToConsoleString("MODULE INFO:\n%s\n#######\n", module.GetFileInfo().c_str());
    if (!upgrade.PrnCom_WriteModule(&session.layer, &module, &session.settings, nullptr))
        return ReportFailure("Upgrade Module Error", upgrade.GetLastError(), true);
    return kExitSuccess;
}

int SendPackage(const CmdLineOptions& opts, PrinterJobSession& session, UpgradeSession& upgrade,
                std::optional<audit::PackageIdentity>& sent) {
    PSWFile package;
    if (!package.LoadPSWFromFile(opts.filename.c_str(), true)) {
        CmdConsole::WriteToConsoleString("LoadPSWFromFile FAILURE\n");
        return kExitFile;
    }
    CmdConsole::WriteToConsoleString("PSW FILE INFO:\n%s\n#######\n", package.GetFileInfo(false).c_str());
    PSWComponents components = package.GetComponents();
    const std::string& letters = opts.upgComponentsStr;
    if (component_letters::NamesAChoice(letters)) {
        if (int status = SelectUpgradeComponents(package, letters, components); status != kExitSuccess)
            return status;
    }
    sent = audit::IdentityOf(opts.filename, package);
    if (!upgrade.PrnCom_UpgradePrinter(&session.layer, &package, &session.settings, &components, false))
        return ReportFailure("Upgrade Printer Error", upgrade.GetLastError(), false);
    return kExitSuccess;
}

// Every upgrade that reached the printer, whatever came of it, goes into the audit trail.
void RecordUpgrade(const PrinterData& printer, const CommPortSettings& settings, bool module,
                   const audit::PackageIdentity& sent, int status) {
    audit::Entry entry =
        audit::NewEntry(audit::kFrontEndCommandLine,
                        module ? audit::kOperationModule : audit::kOperationUpgrade, printer, settings);
    entry.package = sent;
    entry.ok = status == kExitSuccess;
    entry.status = status;
    entry.reason = entry.ok ? "" : ErrorDescription(status);
    (void)audit::Record(entry);
}

} // namespace

int SelectUpgradeComponents(const PSWFile& package, const std::string& letters, PSWComponents& chosen) {
    switch (component_letters::Choose(package, letters, chosen)) {
    case component_letters::Refusal::None:
        return kExitSuccess;
    case component_letters::Refusal::WholeUpgradeDemanded:
        CmdConsole::WriteToConsoleString("PSW file check FAILURE (This device must be fully updated. It is "
                                         "not possible to choose which components should be updated)\n");
        return kExitParameter;
    case component_letters::Refusal::NothingChosen:
        break;
    }
    CmdConsole::WriteToConsoleString("PSW file check FAILURE (No available module selected)\n");
    return kExitParameter;
}

int UpgradeExitStatus(int sessionError, bool module) {
    switch (sessionError) {
    case kSessionPortNotOpened:
        return kExitDeviceNotFound;
    case kSessionBadAnswer:
        return kExitFile;
    case kSessionNoAnswer:
        return kExitNotCompatible;
    case kSessionNoHeaderForUs:
        return module ? kExitCommunication : kExitFile;
    case kSessionNoFirmwareUpgrade:
        return module ? kExitCommunication : kExitNotCompatible;
    default:
        // Also a failure whose session error stayed 0: never a success status after a failure.
        return kExitCommunication;
    }
}

int RunUpgrade(const CmdLineOptions& opts) {
    if (int status = CheckUpgradeFile(opts); status != kExitSuccess)
        return status;
    const FileKindFlags kinds = file_kind_flags();
    const StopSignalGuard signals(kStopNotice);
    SetRestartPrinterHandler(WaitForEnterOnTerminal);
    PrinterData data;
    data.Init();
    UpgradeSession upgrade(kAllComponents, opts.timem);
    const char* name = kinds.isMod ? "Upgrade Module" : "Upgrade Printer";
    std::optional<audit::PackageIdentity> sent;
    std::optional<CommPortSettings> port;
    const int result = RunPrinterJob(
        opts, data, name,
        [&](PrinterJobSession& session) {
            int status = kExitSuccess;
            port = session.settings;
            if (kinds.isMod)
                status = SendModuleFile(opts, session, upgrade, sent);
            else if (kinds.isPswPfw)
                status = SendPackage(opts, session, upgrade, sent);
            // A .zpd file, or a .bin with -TM1: the printer was found and nothing is sent.
            if (status == kExitSuccess)
                CmdConsole::WriteToConsoleString("OPERATION SUCCESS\n");
            return status;
        },
        &upgrade);
    if (sent && port)
        RecordUpgrade(data, *port, kinds.isMod, *sent, result);
    return result;
}
