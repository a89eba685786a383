// The driver's shared pieces: choosing a mode, the release question, the sums, waits, re-opening,
// the handshake, the image checks and the stop request between steps.
#include "upgrade/UpgradePrinter.h"

#include "base/Clock.h"
#include "base/CmdConsole.h"
#include "base/Log.h"
#include "comm/CommLayer.h"
#include "comm/Commands.h"
#include "firmware/Checksums.h"
#include "upgrade/UpgradeModeU1.h"
#include "upgrade/UpgradeModeU2U4.h"
#include "upgrade/UpgradeModeU3U5.h"
#include "upgrade/UpgradeModeU6.h"
#include "upgrade/UpgradeStop.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <span>

namespace {

std::mutex& HandlerMutex() {
    static std::mutex mutex;
    return mutex;
}

AskFWUpgradeHandler& HandlerSlot() {
    static AskFWUpgradeHandler handler;
    return handler;
}

constexpr std::array<int, 32> MakeOrloCodes() {
    std::array<int, 32> codes{};
    for (int i = 0; i < 32; ++i)
        codes[static_cast<size_t>(i)] = 16 + i;
    return codes;
}

} // namespace

void SetAskFWUpgradeHandler(AskFWUpgradeHandler handler) {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    HandlerSlot() = std::move(handler);
}

bool execAskFWUpgradeDialog(const std::string& printerRelease, const std::string& packageRelease) {
    AskFWUpgradeHandler handler;
    {
        std::lock_guard<std::mutex> lock(HandlerMutex());
        handler = HandlerSlot();
    }
    return handler ? handler(printerRelease, packageRelease) : true;
}

const std::array<int, 32> UpgradePrinter::CustomizationOrloCodeList = MakeOrloCodes();

UpgradePrinter::UpgradePrinter(int scopeMask, int timeMultiplier)
    : m_timeMultiplier(std::max(timeMultiplier, 1)), m_scopeMask(scopeMask) {}

std::unique_ptr<UpgradePrinter> UpgradePrinter::GetUpgradeClass(UPGRADEMODE mode, int scopeMask,
                                                                int timeMultiplier) {
    switch (mode) {
    case 1:
        return std::make_unique<UpgradePrinter_ModeU1>(scopeMask, timeMultiplier);
    case 2:
        return std::make_unique<UpgradePrinter_ModeU2>(scopeMask, timeMultiplier);
    case 3:
        return std::make_unique<UpgradePrinter_ModeU3>(scopeMask, timeMultiplier);
    case 4:
        return std::make_unique<UpgradePrinter_ModeU4>(scopeMask, timeMultiplier);
    case 5:
        return std::make_unique<UpgradePrinter_ModeU5>(scopeMask, timeMultiplier);
    case 6:
        return std::make_unique<UpgradePrinter_ModeU6>(scopeMask, timeMultiplier);
    default:
        return nullptr;
    }
}

bool UpgradePrinter::IsOrloCustomization(int id) {
    return std::find(CustomizationOrloCodeList.begin(), CustomizationOrloCodeList.end(), id) !=
           CustomizationOrloCodeList.end();
}

bool UpgradePrinter::StartUpgrade_PSW1(UpgradeDataInfo&, CommLayer&, PSWFile&, CommPortSettings&, void*,
                                       void*, PSWComponents&) {
    Log::WriteLog("StartUpgrade_PSW1", "Unsupported Upgrade PSW1");
    return false;
}

bool UpgradePrinter::StartUpgrade_PSW2(UpgradeDataInfo&, CommLayer&, PSWFile&, CommPortSettings&, void*,
                                       void*, PSWComponents&) {
    Log::WriteLog("StartUpgrade_PSW2", "Unsupported Upgrade PSW2");
    return false;
}

UpgradePrinter::ModePlan UpgradePrinter::Plan() const {
    return ModePlan{.moduleWaitMs = 10000,
                    .beforeModulesBecomeAfter = false,
                    .savePortInfo = false,
                    .reopenBeforeFirmware = false,
                    .restartLikeU1 = false,
                    .afterModulesExtraWaitMs = 0,
                    .extraWaitMultiplied = false,
                    .succeedWithoutModuleBits = false};
}

bool UpgradePrinter::SendFirmware(UpgradeDataInfo&, CommLayer&, PSWFile&, CommPortSettings&, void*, void*) {
    Log::WriteLog("SendFirmware", "No firmware procedure for this driver");
    return false;
}

int UpgradePrinter::ModuleExtraTimeMs(int length) {
    if (length <= kModuleSizeUnit)
        return 0;
    return (length / kModuleSizeUnit) * kModuleExtraMsPerUnit;
}

void UpgradePrinter::GetCheckSumSmice18h(const uint8_t* data, size_t length, unsigned long* sum1,
                                         unsigned long* sum2) {
    const ByteSums sums = ComputeByteSums(std::span<const uint8_t>(data, data ? length : 0));
    *sum1 = sums.sum1;
    *sum2 = sums.sum2;
}

void UpgradePrinter::GetCheckSumNeosUsb(const std::vector<const uint8_t*>& banks, size_t bankLength,
                                        unsigned long* sum1, unsigned long* sum2) {
    ByteSums sums;
    for (const uint8_t* bank : banks)
        AccumulateByteSums(sums, std::span<const uint8_t>(bank, bankLength));
    *sum1 = sums.sum1;
    *sum2 = sums.sum2;
}

bool UpgradePrinter::RunSteps(const char* where, std::initializer_list<NamedStep> steps) {
    for (const NamedStep& step : steps) {
        if (StopBeforeTransfer(where))
            return false;
        Log::WriteLogP(where, "Step: %s", step.name);
        switch (step.run()) {
        case Step::Next:
            break;
        case Step::Finish:
            return true;
        case Step::Fail:
            Log::WriteLogP(where, "Step failed: %s", step.name);
            return false;
        }
    }
    return true;
}

bool UpgradePrinter::StopBeforeTransfer(const char* where) {
    if (!UpgradeStopRequested())
        return false;
    Report(where, m_transferStarted ? "Upgrade stopped: the remaining parts were not sent"
                                    : "Upgrade stopped before sending anything");
    return true;
}

void UpgradePrinter::NoteStopDuringTransfer() {
    if (m_stopNoted || !UpgradeStopRequested())
        return;
    m_stopNoted = true;
    Report("Upgrade", "Stop requested: finishing the transfer in progress");
}

void UpgradePrinter::Report(const char* where, const char* text) {
    Log::WriteLog(where, text);
    CmdConsole::WriteToConsoleString("%s", text);
}

void UpgradePrinter::SetMessage(const std::string& text) {
    m_message = text.substr(0, kMessageSize - 1);
}

void UpgradePrinter::WaitScaled(uint32_t ms) const {
    Clock::SleepMs(ms * static_cast<uint32_t>(m_timeMultiplier));
}

void UpgradePrinter::WaitFixed(uint32_t ms) {
    Clock::SleepMs(ms);
}

uint64_t UpgradePrinter::DeadlineAfter(uint64_t ms) const {
    return Clock::MonotonicMs() + Clock::ScaledMs(static_cast<uint32_t>(std::min<uint64_t>(ms, UINT32_MAX)));
}

bool UpgradePrinter::ReOpenWithRetries(CommLayer& comm, int attempts, uint32_t pauseMs,
                                       const char* retryFormat, const char* giveUpText) {
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        if (comm.ReOpenNoException())
            return true;
        Log::WriteLogP("ReOpen", retryFormat, attempt);
        if (attempt < attempts)
            WaitScaled(pauseMs);
    }
    if (giveUpText != nullptr)
        Log::WriteLog("ReOpen", giveUpText);
    return false;
}

bool UpgradePrinter::Handshake(CommLayer& comm) {
    try {
        return comm.HandshakeCommunication();
    } catch (const VmComLayerException& e) {
        Log::WriteLogP("Handshake", "Error: %d", e.getCode());
        return false;
    }
}

int UpgradePrinter::ReadPrinterRelease(CommLayer& comm, std::string& release, size_t readSize) {
    unsigned error = 0;
    comm.Write(Commands::Cmd_CommandCAN.data(), static_cast<unsigned>(Commands::Cmd_CommandCAN.size()),
               &error);
    comm.Write(Commands::Cmd_CommandGetFWREL.data(),
               static_cast<unsigned>(Commands::Cmd_CommandGetFWREL.size()), &error);
    std::vector<unsigned char> buffer(readSize + 1, 0);
    const int count = comm.ReadUnframedAnswer(buffer.data(), static_cast<unsigned>(readSize), &error);
    if (count <= 0)
        return 0;
    release.assign(reinterpret_cast<const char*>(buffer.data()),
                   strnlen(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(count)));
    return count;
}

bool UpgradePrinter::ReleaseCheck(const std::string& printerRelease,
                                  const std::string& packageRelease) const {
    Log::WriteLogP("ReleaseCheck", "Printer release %s, package release %s", printerRelease.c_str(),
                   packageRelease.c_str());
    if (std::strcmp(packageRelease.c_str(), printerRelease.c_str()) > 0 || !m_askDiffConfirmation)
        return true;
    if (execAskFWUpgradeDialog(printerRelease, packageRelease))
        return true;
    Report("ReleaseCheck", "Firmware not sent: the user kept the printer's release");
    return false;
}

bool UpgradePrinter::CheckImageForMode(const FirmwareImage&, CommLayer&) {
    return true;
}

bool UpgradePrinter::CheckImage(const PSWFile& psw, CommLayer& comm, FirmwareImage& image) {
    constexpr const char* kWhere = "CheckImage";
    std::string refusal;
    if (!TakeFirmwareImage(psw, image, refusal)) {
        Report(kWhere, refusal.c_str());
        return false;
    }
    if (!ImageInBanks())
        return CheckImageForMode(image, comm);
    if (image.bankCount == 0 || image.bankSize == 0) {
        Log::WriteLog(kWhere, "Upgrade file wrong or incomplete:");
        if (image.bankCount == 0)
            Log::WriteLogP(kWhere, "NumBank Error : %d", 0);
        if (image.bankSize == 0)
            Log::WriteLogP(kWhere, "BankDim Error : %d", 0);
        CmdConsole::WriteToConsoleString("Upgrade file wrong or incomplete: upgrade refused, nothing sent");
        return false;
    }
    char text[256];
    if (image.bankCount > FirmwareImage::kMaxBanks) {
        snprintf(text, sizeof text,
                 "Firmware image of %d banks, more than the %d a transfer can number: "
                 "upgrade refused, nothing sent",
                 image.bankCount, FirmwareImage::kMaxBanks);
        Report(kWhere, text);
        return false;
    }
    const size_t needed = static_cast<size_t>(image.bankCount) * image.bankSize;
    if (image.length < needed) {
        snprintf(text, sizeof text,
                 "Firmware image of %zu bytes is shorter than its %d banks of %u bytes: "
                 "upgrade refused, nothing sent",
                 image.length, image.bankCount, image.bankSize);
        Report(kWhere, text);
        return false;
    }
    return CheckImageForMode(image, comm);
}
