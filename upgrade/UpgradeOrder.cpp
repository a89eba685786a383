// The common order of an upgrade: check the package, prepare, modules before, firmware, the
// printer's restart, modules after. Each mode's plan supplies the waits and port handling.
#include "upgrade/UpgradePrinter.h"

#include "base/CmdConsole.h"
#include "base/Log.h"
#include "comm/CommLayer.h"
#include "firmware/PSWComponents.h"
#include "firmware/PSWFile.h"

bool UpgradePrinter::RunCommonOrder(const char* where, UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                    CommPortSettings& settings, void* user1, void* user2,
                                    PSWComponents& components) {
    const ModePlan plan = Plan();
    // Decided before the module filters run: they may drop the firmware entry from the list.
    const bool hasFirmware = components.HasComponent(PSW_COMPONENT_SOFTWARE);
    const bool sendsFirmware = (m_scopeMask & kScopeFirmware) != 0 && hasFirmware;
    return RunSteps(
        where,
        {
            {"check the package",
             [&] {
                 FirmwareImage image;
                 return !sendsFirmware || CheckImage(psw, comm, image) ? Step::Next : Step::Fail;
             }},
            {"prepare",
             [&] {
                 if (plan.beforeModulesBecomeAfter)
                     components.ConvertModulesBeforeToAfter();
                 if (plan.savePortInfo)
                     comm.BackupPortInfo();
                 return Step::Next;
             }},
            {"modules before",
             [&] {
                 return plan.skipBeforeModulesPhase ? Step::Next
                                                    : ModulesPhase(comm, psw, components, user2, true);
             }},
            {"firmware", [&] { return FirmwarePhase(info, comm, psw, settings, user1, user2, hasFirmware); }},
            {"printer restart", [&] { return RestartPhase(comm, components); }},
            {"modules after", [&] { return ModulesPhase(comm, psw, components, user2, false); }},
        });
}

bool UpgradePrinter::StartUpgrade_PSW2Common(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                             CommPortSettings& settings, void* user1, void* user2,
                                             PSWComponents& components) {
    Log::WriteLogP("StartUpgrade_PSW2", "START Upgrade PSW2 (U%d)", m_upgradeMode);
    return RunCommonOrder("StartUpgrade_PSW2", info, comm, psw, settings, user1, user2, components);
}

bool UpgradePrinter::StartUpgrade_PSW1Common(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                             CommPortSettings& settings, void* user1, void* user2) {
    constexpr const char* kWhere = "StartUpgrade_PSW1";
    Log::WriteLog(kWhere, "START Upgrade PSW1");
    if ((m_scopeMask & kScopeFirmware) == 0) {
        Log::WriteLog(kWhere, "Upgrade FW not enabled in command line arguments ");
        return false;
    }
    // A format-1 package never sends modules.
    return RunSteps(kWhere, {
                                {"check the package",
                                 [&] {
                                     FirmwareImage image;
                                     return CheckImage(psw, comm, image) ? Step::Next : Step::Fail;
                                 }},
                                {"firmware",
                                 [&] {
                                     Log::WriteLog(kWhere, "Send Fw...");
                                     const bool sent = SendFirmware(info, comm, psw, settings, user1, user2);
                                     if (m_upgradeMode == 1)
                                         Log::WriteLogP(kWhere, "Send FW:%d", sent ? 1 : 0);
                                     else
                                         Log::WriteLog(kWhere, "Send FW:{0}");
                                     return sent ? Step::Next : Step::Fail;
                                 }},
                            });
}

UpgradePrinter::Step UpgradePrinter::ModulesPhase(CommLayer& comm, PSWFile& psw, PSWComponents& components,
                                                  void* user2, bool before) {
    constexpr const char* kWhere = "StartUpgrade_PSW2";
    const int bits = m_scopeMask & kScopeModules;
    if (bits == 0) {
        Log::WriteLog(kWhere, before ? "Upgrade Before Modules not enabled in command line arguments "
                                     : "Upgrade After Modules not enabled in command line arguments ");
        return before ? Step::Next : Step::Finish;
    }
    if (bits == kScopeOtherModules)
        components.KeepOnlyOtherModules();
    else if (bits == kScopeMainModules)
        components.KeepOnlyMainModules();
    if (!SendAllModules(comm, psw, components, user2, Plan().moduleWaitMs, before, !before)) {
        Log::WriteLog(kWhere, "SendAllModules Failed...");
        return Step::Fail;
    }
    return Step::Next;
}

UpgradePrinter::Step UpgradePrinter::FirmwarePhase(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                                   CommPortSettings& settings, void* user1, void* user2,
                                                   bool hasFirmware) {
    constexpr const char* kWhere = "StartUpgrade_PSW2";
    if ((m_scopeMask & kScopeFirmware) == 0) {
        Log::WriteLog(kWhere, "Upgrade FW not enabled in command line arguments ");
        return Step::Next;
    }
    if (!hasFirmware) {
        Log::WriteLog(kWhere, "Skip Fw...");
        return Step::Next;
    }
    if (Plan().reopenBeforeFirmware && !comm.ReOpenNoException())
        Log::WriteLog(kWhere, "ReOpen before the firmware failed; the firmware step retries");
    Log::WriteLog(kWhere, "Send Fw...");
    const bool sent = SendFirmware(info, comm, psw, settings, user1, user2);
    Log::WriteLogP(kWhere, "Send FW:%d", sent ? 1 : 0);
    if (!sent) {
        Log::WriteLog(kWhere, m_upgradeMode == 1 ? "FW Upgrade error" : "Programming SW NOT OK!");
        return Step::Fail;
    }
    return Step::Next;
}

UpgradePrinter::Step UpgradePrinter::RestartPhase(CommLayer& comm, const PSWComponents& components) {
    constexpr const char* kWhere = "StartUpgrade_PSW2";
    // Nothing was installed (no firmware, or the user kept the printer's release): nothing restarts.
    if (!m_firmwareSent)
        return Step::Next;
    const ModePlan plan = Plan();
    const bool moduleBits = (m_scopeMask & kScopeModules) != 0;
    if (plan.restartLikeU1) {
        WaitScaled(10000);
        if (moduleBits && !comm.ReOpenNoException())
            Log::WriteLog(kWhere, "ReOpen after the firmware failed; the module step retries");
        return Step::Next;
    }
    Report(kWhere, "Programming OK!");
    WaitScaled(8000);
    if (plan.succeedWithoutModuleBits && !moduleBits) {
        Log::WriteLog(kWhere, "Upgrade After Modules not enabled in command line arguments ");
        return Step::Finish;
    }
    if (moduleBits && components.HasAfterModules()) {
        Report(kWhere, "Wait before starting modules upgrade!");
        if (plan.extraWaitMultiplied)
            WaitScaled(plan.afterModulesExtraWaitMs);
        else
            WaitFixed(plan.afterModulesExtraWaitMs);
        if (!AwaitPrinterRestart())
            return Step::Fail;
    }
    comm.RestoreportInfo();
    return Step::Next;
}
