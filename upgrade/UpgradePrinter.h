// The upgrade driver: what every upgrade mode shares. The order of an upgrade (modules before, the
// firmware, modules after), the release question, the sending of module images with their answer
// codes, the waits scaled by the time multiplier, and the checks that refuse a package before the
// first byte leaves. One subclass per mode supplies the firmware procedure.
#pragma once

#include "upgrade/UpgradeImage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

class CommLayer;
class PSWComponents;
class PSWFile;
class UpgradeDataInfo;
struct CommPortSettings;

// Module types as the printer's module list reports them.
struct ModulesAvailable {
    enum ModuleType : int {
        FONT = 1,
        DISK = 2,
        RFID_HF = 4,
        RFID_UHF = 8,
        BLUETOOTH = 16,
        LOGOS = 64,
        CAMERA = 128,
        OTHER = 0x8000,
    };
};

// The upgrade mode a printer reports: 1..6.
using UPGRADEMODE = int;

// Asks whether to install a firmware release identical to or older than the printer's; true goes on.
using AskFWUpgradeHandler =
    std::function<bool(const std::string& printerRelease, const std::string& packageRelease)>;
// The window installs its dialog here; without a handler the answer is yes.
void SetAskFWUpgradeHandler(AskFWUpgradeHandler handler);
[[nodiscard]] bool execAskFWUpgradeDialog(const std::string& printerRelease,
                                          const std::string& packageRelease);

class UpgradePrinter {
public:
    static constexpr size_t kMessageSize = 8192;
    static constexpr int kScopeFirmware = 0x01;
    static constexpr int kScopeModules = 0x06;
    static constexpr int kScopeMainModules = 0x02;
    static constexpr int kScopeOtherModules = 0x04;
    static constexpr int kReOpenAttempts = 12;
    static constexpr int kRestartReOpenAttempts = 7;
    static constexpr int kModuleSizeUnit = 1024000; // each whole unit of a module adds answer time
    static constexpr int kModuleExtraMsPerUnit = 20000;
    static constexpr int kModulePacketSize = 4096;
    static constexpr int kModulePacketPauseMs = 20;
    static constexpr int kModuleAnswerMs = 60000;
    static constexpr int kRfidAnswerMs = 120000;
    static constexpr int kModuleWriteTimeoutMs = 2000;
    static constexpr int kRfidWriteTimeoutMs = 4000;
    static constexpr int kBluetoothWriteTimeoutMs = 22000;
    static constexpr int kAnswerReadSize = 8192;
    static constexpr size_t kReleaseReadSize = 511;
    static const std::array<int, 32> CustomizationOrloCodeList;

    UpgradePrinter(int scopeMask, int timeMultiplier);
    virtual ~UpgradePrinter() = default;
    UpgradePrinter(const UpgradePrinter&) = delete;
    UpgradePrinter& operator=(const UpgradePrinter&) = delete;

    // The driver of a mode (U1 to U6); null for any other number.
    [[nodiscard]] static std::unique_ptr<UpgradePrinter> GetUpgradeClass(UPGRADEMODE mode, int scopeMask,
                                                                         int timeMultiplier);
    [[nodiscard]] static bool IsOrloCustomization(int id);

    void setAskDiffConfirmation(bool ask) { m_askDiffConfirmation = ask; }
    [[nodiscard]] bool getAskDiffConfirmation() const { return m_askDiffConfirmation; }
    [[nodiscard]] int GetUpgradeMode() const { return m_upgradeMode; }
    [[nodiscard]] int GetTimeMultiplier() const { return m_timeMultiplier; }

    // Names ("vid|pid|serial") of the USB devices of a vendor present now: the boot devices the
    // boot-loader modes wait for. Tests replace the bus.
    using BootDeviceLister = std::function<std::vector<std::string>(const char* vendorId)>;
    void SetBootDeviceLister(BootDeviceLister lister) { m_listBootDevices = std::move(lister); }
    [[nodiscard]] int GetScopeMask() const { return m_scopeMask; }
    // The failure text of the last firmware attempt (empty after a successful one).
    [[nodiscard]] const std::string& GetMessage() const { return m_message; }

    virtual int GetTimeoutRX() { return 0; }
    [[nodiscard]] virtual bool StartUpgrade_PSW1(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                                 CommPortSettings& settings, void* user1, void* user2,
                                                 PSWComponents& components);
    [[nodiscard]] virtual bool StartUpgrade_PSW2(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                                 CommPortSettings& settings, void* user1, void* user2,
                                                 PSWComponents& components);

    // Sends one module image and waits for the printer's verdict; the port is closed afterwards except
    // after a handshake failure with closeOnHandshakeFailure false.
    [[nodiscard]] bool SendModuleToDevice(CommLayer& comm, ModulesAvailable::ModuleType type,
                                          const uint8_t* image, int length, bool closeOnHandshakeFailure,
                                          void* progress);
    [[nodiscard]] bool SendModule(CommLayer& comm, ModulesAvailable::ModuleType type, const uint8_t* image,
                                  int length, void* progress) {
        return SendModuleToDevice(comm, type, image, length, false, progress);
    }
    [[nodiscard]] bool SendAllModules(CommLayer& comm, PSWFile& psw, PSWComponents& components,
                                      void* progress, int waitMs, bool sendBefore, bool sendAfter);

    // The answer time a module of `length` bytes gets on top of the usual one.
    [[nodiscard]] static int ModuleExtraTimeMs(int length);

    static void GetCheckSumSmice18h(const uint8_t* data, size_t length, unsigned long* sum1,
                                    unsigned long* sum2);
    // Both sums over the banks in turn, the position restarting at 0 in every bank.
    static void GetCheckSumNeosUsb(const std::vector<const uint8_t*>& banks, size_t bankLength,
                                   unsigned long* sum1, unsigned long* sum2);

protected:
    // One named step of a procedure: Next goes on, Finish ends the procedure as a success, Fail as a
    // failure. A stop request is honoured between steps.
    enum class Step { Next, Finish, Fail };
    struct NamedStep {
        const char* name;
        std::function<Step()> run;
    };
    [[nodiscard]] bool RunSteps(const char* where, std::initializer_list<NamedStep> steps);

    // The common orders the modes' StartUpgrade_PSW1/PSW2 run.
    [[nodiscard]] bool StartUpgrade_PSW2Common(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                               CommPortSettings& settings, void* user1, void* user2,
                                               PSWComponents& components);
    [[nodiscard]] bool StartUpgrade_PSW1Common(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                               CommPortSettings& settings, void* user1, void* user2);

    // How a mode fits the common order.
    struct ModePlan {
        int moduleWaitMs;
        bool beforeModulesBecomeAfter;
        bool savePortInfo;
        bool reopenBeforeFirmware;
        // U1 waits and re-opens; the others announce success and wait for the printer's restart.
        bool restartLikeU1;
        uint32_t afterModulesExtraWaitMs; // when after-modules exist
        bool extraWaitMultiplied;
        bool succeedWithoutModuleBits; // end right after the firmware when no modules are wanted
        // U2 has no modules-before phase at all, not even its "not enabled" log line.
        bool skipBeforeModulesPhase = false;
    };
    // The base plan and procedure serve a driver that only sends modules.
    [[nodiscard]] virtual ModePlan Plan() const;
    // The mode's firmware procedure on an image already checked by CheckImage.
    [[nodiscard]] virtual bool SendFirmware(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                            CommPortSettings& settings, void* user1, void* user2);
    // The mode's own limits on an image and the port; false (after its message) refuses the package.
    [[nodiscard]] virtual bool CheckImageForMode(const FirmwareImage& image, CommLayer& comm);
    // Whether the mode sends the image as the package's banks (the boot-loader modes cut it themselves).
    [[nodiscard]] virtual bool ImageInBanks() const { return true; }
    // Between the firmware's restart wait and the modules after it; false ends the upgrade.
    [[nodiscard]] virtual bool AwaitPrinterRestart() { return true; }

    // Takes and checks the firmware image; false after the refusal's log and console line.
    [[nodiscard]] bool CheckImage(const PSWFile& psw, CommLayer& comm, FirmwareImage& image);

    // Sleeps ms × the time multiplier (through Clock, so tests run fast).
    void WaitScaled(uint32_t ms) const;
    static void WaitFixed(uint32_t ms);
    [[nodiscard]] uint64_t DeadlineAfter(uint64_t ms) const;

    // Re-opens up to `attempts` times, pausing after each failure; logs the retry line with its number.
    [[nodiscard]] bool ReOpenWithRetries(CommLayer& comm, int attempts, uint32_t pauseMs,
                                         const char* retryFormat, const char* giveUpText);
    [[nodiscard]] static bool Handshake(CommLayer& comm);
    // The printer's firmware release as it answers the read command; the count read (0: nothing came).
    [[nodiscard]] static int ReadPrinterRelease(CommLayer& comm, std::string& release, size_t readSize);
    // Same-or-older check; false when the user declined (nothing must be sent then).
    [[nodiscard]] bool ReleaseCheck(const std::string& printerRelease,
                                    const std::string& packageRelease) const;

    // The boot-loader modes' part in the printer's own firmware, before they switch it: re-open (12
    // attempts 5 s apart, then 5 s for the printer), handshake, the printer's release and the release
    // check. Finish: the user kept the printer's release.
    [[nodiscard]] Step CheckReleaseInPrinterFirmware(CommLayer& comm, const std::string& packageRelease);
    // Tells the printer's firmware to restart into its boot loader; false (after its log line) when the
    // command could not be written.
    [[nodiscard]] static bool WriteBootSwitch(CommLayer& comm, const unsigned char* command, size_t length);
    // The first device of a boot loader's vendor ("vid|pid|serial"), looked for every pollMs until
    // waitMs × the time multiplier; empty after that.
    [[nodiscard]] std::string WaitForBootDevice(const char* vendorId, uint32_t waitMs, uint32_t pollMs) const;

    // Before an image's first byte: true (after the log and console line) when a stop was requested.
    [[nodiscard]] bool StopBeforeTransfer(const char* where);
    // Inside a transfer: notes a stop request once; the transfer goes on to its end.
    void NoteStopDuringTransfer();
    void MarkTransferStarted() { m_transferStarted = true; }
    // The firmware went out: the printer restarts, so the common order waits for it.
    void MarkFirmwareSent() { m_firmwareSent = true; }

    static void Report(const char* where, const char* text);
    void SetMessage(const std::string& text);
    void ClearMessage() { m_message.clear(); }

    std::string m_message;
    int m_upgradeMode = 0;
    int m_timeMultiplier = 1;
    int m_scopeMask = 0;
    bool m_askDiffConfirmation = false;

private:
    BootDeviceLister m_listBootDevices;
    [[nodiscard]] bool RunCommonOrder(const char* where, UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                      CommPortSettings& settings, void* user1, void* user2,
                                      PSWComponents& components);
    [[nodiscard]] Step ModulesPhase(CommLayer& comm, PSWFile& psw, PSWComponents& components, void* user2,
                                    bool before);
    [[nodiscard]] Step FirmwarePhase(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                     CommPortSettings& settings, void* user1, void* user2, bool hasFirmware);
    [[nodiscard]] Step RestartPhase(CommLayer& comm, const PSWComponents& components);
    [[nodiscard]] bool SendModulesOfKind(CommLayer& comm, const PSWFile& psw, int component, void* progress,
                                         int waitMs);
    [[nodiscard]] bool WaitModuleAnswer(CommLayer& comm, uint64_t deadline);

    bool m_transferStarted = false;
    bool m_stopNoted = false;
    bool m_firmwareSent = false;
};
