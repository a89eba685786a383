// Mode U3: every bank as one group, then the wait for the printer's restart.
#include "upgrade/UpgradeModeU3U5.h"

#include "base/Log.h"
#include "comm/CommLayer.h"

UpgradePrinter::ModePlan UpgradePrinter_ModeU3::Plan() const {
    return ModePlan{.moduleWaitMs = 20000,
                    .beforeModulesBecomeAfter = false,
                    .savePortInfo = false,
                    .reopenBeforeFirmware = false,
                    .restartLikeU1 = false,
                    .afterModulesExtraWaitMs = 20000,
                    .extraWaitMultiplied = false,
                    .succeedWithoutModuleBits = false};
}

bool UpgradePrinter_ModeU3::SendFW(UpgradeDataInfo&, CommLayer& comm, PSWFile& psw, CommPortSettings&, void*,
                                   void* user2) {
    FirmwareImage image;
    bool sameVersion = false;
    return RunSteps(
        "SendFW",
        {
            {"start",
             [&] { return CommonStart(comm, psw, image, sameVersion, "Handshake Communication Error"); }},
            {"send all banks",
             [&] {
                 std::vector<const uint8_t*> banks = image.Banks(0, image.bankCount);
                 unsigned long sum1 = 0;
                 unsigned long sum2 = 0;
                 GetCheckSumNeosUsb(banks, image.bankSize, &sum1, &sum2);
                 if (SendBankFlashGeneric(comm, banks, static_cast<int>(image.bankSize), sum1, sum2,
                                          sameVersion, user2))
                     return Step::Next;
                 Log::WriteLog("SendFW", "Upgrade Error");
                 return Step::Fail;
             }},
        });
}

bool UpgradePrinter_ModeU3::SendBankFlashGeneric(CommLayer& comm, std::vector<const uint8_t*>& banks,
                                                 int bankSize, unsigned long sum1, unsigned long sum2,
                                                 bool sameVersion, void*) {
    constexpr const char* kWhere = "SendBankFlashGeneric";
    const int count = static_cast<int>(banks.size());
    if (!SendGroup(comm, banks, bankSize, 0, count - 1, sum1, sum2, 0, count))
        return false;
    MarkFirmwareSent();
    if (sameVersion) {
        Log::WriteLog(kWhere, "Same version: Wait then exit...");
        return WaitListeningForRefusal(comm, kSameVersionListenMs, kWhere);
    }
    if (!IsUsb(comm)) {
        Log::WriteLog(kWhere, "Com or Eth port: Wait then exit...");
        return WaitListeningForRefusal(comm, 12000, kWhere);
    }
    Log::WriteLog(kWhere, "Different version: Wait printer reset...");
    if (!WaitListeningForRefusal(comm, 5000, kWhere))
        return false;
    if (!ReOpenAfterRestart(comm))
        Log::WriteLog(kWhere, "The printer did not come back yet");
    Log::WriteLog(kWhere, "Different version: Printer reset...");
    return true;
}
