// Mode U5: the code part (banks 0 to 2) as one group and the printer's restart, then every further
// bank as a group of its own with the printer's verdict after each but the last.
#include "upgrade/UpgradeModeU3U5.h"

#include "base/Clock.h"
#include "base/CmdConsole.h"
#include "base/Log.h"
#include "comm/CommLayer.h"

#include <cstdio>
#include <vector>

UpgradePrinter::ModePlan UpgradePrinter_ModeU5::Plan() const {
    return ModePlan{.moduleWaitMs = 10000,
                    .beforeModulesBecomeAfter = true,
                    .savePortInfo = true,
                    .reopenBeforeFirmware = false,
                    .restartLikeU1 = false,
                    .afterModulesExtraWaitMs = 10000,
                    .extraWaitMultiplied = true,
                    .succeedWithoutModuleBits = true};
}

bool UpgradePrinter_ModeU5::CheckImageForMode(const FirmwareImage& image, CommLayer& comm) {
    if (image.bankCount < kCodeBanks) {
        char text[160];
        snprintf(text, sizeof text,
                 "Firmware image of %d banks: this printer needs at least %d, upgrade refused, nothing sent",
                 image.bankCount, kCodeBanks);
        Report("CheckImage", text);
        return false;
    }
    return UpgradePrinter_BankGroups::CheckImageForMode(image, comm);
}

bool UpgradePrinter_ModeU5::SendFW(UpgradeDataInfo&, CommLayer& comm, PSWFile& psw, CommPortSettings&, void*,
                                   void* user2) {
    constexpr const char* kWhere = "SendFW";
    FirmwareImage image;
    bool sameVersion = false;
    return RunSteps(
        kWhere,
        {
            {"start",
             [&] { return CommonStart(comm, psw, image, sameVersion, "Handshake Communication Error."); }},
            {"send the code part",
             [&] {
                 std::vector<const uint8_t*> banks = image.Banks(0, kCodeBanks);
                 unsigned long sum1 = 0;
                 unsigned long sum2 = 0;
                 GetCheckSumNeosUsb(banks, image.bankSize, &sum1, &sum2);
                 if (SendBankFlashCODE(comm, banks, static_cast<int>(image.bankSize), sum1, sum2, sameVersion,
                                       user2))
                     return Step::Next;
                 Log::WriteLog(kWhere, "Upgrade Error");
                 return Step::Fail;
             }},
            {"re-open for the data part", [&] { return ReOpenForData(comm) ? Step::Next : Step::Fail; }},
            {"send the data part",
             [&] { return SendDataPart(comm, image, sameVersion, user2) ? Step::Next : Step::Fail; }},
            {"close",
             [&] {
                 WaitScaled(1000);
                 comm.Close();
                 return Step::Next;
             }},
        });
}

bool UpgradePrinter_ModeU5::SendBankFlashCODE(CommLayer& comm, std::vector<const uint8_t*>& banks,
                                              int bankSize, unsigned long sum1, unsigned long sum2, bool,
                                              void*) {
    constexpr const char* kWhere = "SendBankFlashCODE";
    if (IsUsb(comm) && !comm.SaveUsbLocation())
        Log::WriteLog(kWhere, "The printer's place on the bus is unknown: after its restart only its old "
                              "serial number finds it");
    const int count = static_cast<int>(banks.size());
    if (!SendGroup(comm, banks, bankSize, 0, count - 1, sum1, sum2, 0, count))
        return false;
    MarkFirmwareSent();
    if (!IsUsb(comm)) {
        Log::WriteLog(kWhere, "Com or Eth port: Wait then exit...");
        return WaitListeningForRefusal(comm, 30000, kWhere);
    }
    Log::WriteLog(kWhere, "Different version: Wait printer reset...");
    // A printer back under a new serial number is not found by its old one: the search at its place
    // on the bus runs either way, and the re-open for the data part goes to what it finds.
    if (ReOpenAfterRestart(comm))
        Log::WriteLog(kWhere, "Different version: Printer reset...");
    WaitScaled(2000);
    if (!comm.RestoreUsbLocation())
        Log::WriteLog(kWhere, "The restarted printer was not found at its place on the bus");
    return true;
}

bool UpgradePrinter_ModeU5::ReOpenForData(CommLayer& comm) {
    WaitScaled(1000);
    comm.Close();
    for (int attempt = 1; attempt <= kReOpenAttempts; ++attempt) {
        if (comm.ReOpenNoException()) {
            WaitScaled(2000);
            return true;
        }
        Log::WriteLogP("SendFW", "ReOpen Error. Retry %d", attempt);
        if (attempt < kReOpenAttempts)
            WaitScaled(2000);
    }
    Log::WriteLog("SendFW", "ReOpen Error. Num max Retry found. Throw Error");
    // The data part's writes fail on a closed port and end the procedure there.
    return true;
}

bool UpgradePrinter_ModeU5::SendDataPart(CommLayer& comm, const FirmwareImage& image, bool sameVersion,
                                         void* progress) {
    for (int b = kCodeBanks; b < image.bankCount; ++b) {
        if (StopBeforeTransfer("SendFW"))
            return false;
        unsigned long sum1 = 0;
        unsigned long sum2 = 0;
        GetCheckSumSmice18h(image.Bank(b), image.bankSize, &sum1, &sum2);
        if (!SendBankFlashDATA(comm, image.Bank(b), static_cast<int>(image.bankSize), sum1, sum2, sameVersion,
                               progress, b, image.bankCount, b == image.bankCount - 1)) {
            Log::WriteLog("SendFW", "Upgrade Error");
            return false;
        }
    }
    return true;
}

bool UpgradePrinter_ModeU5::SendBankFlashDATA(CommLayer& comm, const uint8_t* bank, int bankSize,
                                              unsigned long sum1, unsigned long sum2, bool, void*,
                                              int bankIndex, int bankCount, bool isLast) {
    constexpr const char* kWhere = "SendBankFlashDATA";
    if (!SendGroup(comm, {bank}, bankSize, bankIndex, bankIndex, sum1, sum2, bankIndex, bankCount))
        return false;
    WaitScaled(1000);
    if (!isLast)
        return WaitDataAnswer(comm);
    if (!IsUsb(comm)) {
        Log::WriteLog(kWhere, "Wait than exit...");
        return true;
    }
    Log::WriteLog(kWhere, "Different version: Wait printer reset...");
    if (!ReOpenAfterRestart(comm))
        Log::WriteLog(kWhere, "The printer did not come back yet");
    Log::WriteLog(kWhere, "Different version: Printer reset... Done");
    return true;
}

bool UpgradePrinter_ModeU5::WaitDataAnswer(CommLayer& comm) {
    constexpr const char* kWhere = "SendBankFlashDATA";
    ComPort* port = comm.GetComPort();
    if (port == nullptr) {
        Log::WriteLog(kWhere, "Wait Answer Error");
        return false;
    }
    const unsigned savedTimeout = port->GetReadTimeout();
    port->SetRTimeout(kAnswerReadTimeoutMs);
    Log::WriteLog(kWhere, "Waiting Answer...");
    const uint64_t deadline = DeadlineAfter(static_cast<uint64_t>(kDataAnswerWaitMs) * m_timeMultiplier);
    std::vector<unsigned char> buffer(kAnswerReadSize);
    const Verdict* verdict = nullptr;
    while (verdict == nullptr && Clock::MonotonicMs() <= deadline && !comm.IsDeviceLost()) {
        NoteStopDuringTransfer();
        unsigned error = 0;
        const int count = comm.Read(buffer.data(), kAnswerReadSize, &error);
        if (count <= 0)
            continue;
        Log::WriteLogP(kWhere, "Read Answer len: %d", count);
        if (Clock::MonotonicMs() <= deadline)
            verdict = FirstVerdict(buffer.data(), count);
    }
    port->SetRTimeout(static_cast<int>(savedTimeout));
    if (verdict == nullptr) {
        Log::WriteLog(kWhere, "Wait Answer Error");
        return false;
    }
    if (verdict->text != nullptr) {
        Log::WriteLogP(kWhere, "Answer Error(0x%02x) : %s", verdict->byte, verdict->text);
        return false;
    }
    return true;
}
