// Upgrade modes U2 and U4: the printer's firmware is told to restart into USB Boot Direct mode, the
// printer enumerates anew as a Renesas boot device (vendor id 0x045B), and the image is programmed
// through the boot loader's single-byte commands and checksummed frames, the image ending at address
// 0xFFFFFFFF. U2 reads the boot loader's release, saves its security settings and resets it at the
// end; U4 does neither and asks the user to restart the printer.
#pragma once

#include "upgrade/UpgradePrinter.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Why the connection to the boot loader failed.
enum BTPRGERROR : int {
    BTPRGERROR_CONNECTION = 1,    // any step of the connection
    BTPRGERROR_RELEASE_WRITE = 10 // the Get Bootloader Release command could not be written
};

// Asks the user to restart the printer and returns once they say it is back (false: they gave up).
// The command line waits for Enter on its terminal, the window asks a question; without a handler the
// request is only reported (a library caller or a window thread must never block on standard input).
using RestartPrinterHandler = std::function<bool(const std::string& request)>;
void SetRestartPrinterHandler(RestartPrinterHandler handler);
[[nodiscard]] bool execRestartPrinterRequest(const std::string& request);

// What U2 and U4 share: the whole boot-loader procedure.
class UpgradePrinter_RenesasBoot : public UpgradePrinter {
public:
    static constexpr const char* kBootVendorId = "045B";
    static constexpr int kWaitBootDeviceMs = 40000;
    static constexpr int kBootListPollMs = 100;
    static constexpr int kBootDirectAnswerMs = 10000;
    static constexpr int kBootWriteTimeoutMs = 5000;
    static constexpr unsigned kBootPacketSize = 57344;
    static constexpr int kAnswerReadSize = 8191;
    static constexpr uint32_t kPauseMs = 100;

    using UpgradePrinter::UpgradePrinter;

    [[nodiscard]] bool StartUpgrade_PSW1(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                         CommPortSettings& settings, void* user1, void* user2,
                                         PSWComponents& components) override;

    [[nodiscard]] bool SendFW(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                              CommPortSettings& settings, void* user1, void* user2);
    [[nodiscard]] bool EnterUSBBootDirectModeOnUSB(CommLayer& comm);
    [[nodiscard]] bool InitConnectRenesasDevice(CommLayer& comm, const char* device, BTPRGERROR& error,
                                                int& programmingSize);
    [[nodiscard]] bool StartUpgradeUsb(UpgradeDataInfo& info, CommLayer& comm, const char* device,
                                       PSWFile& psw, CommPortSettings& settings, void* user1, void* user2,
                                       int programmingSize);
    // U2 resets the boot loader (0x31); U4 cannot and asks for a restart instead.
    [[nodiscard]] virtual bool SendResetCommandUSB(CommLayer& comm) = 0;

    [[nodiscard]] bool IsNewBootloader() const { return m_newBootloader; }
    // A programming frame: 0x50, the address (most significant byte first), the payload, and the
    // checksum that makes the frame's byte sum 0 modulo 256.
    [[nodiscard]] static std::vector<unsigned char> ProgrammingFrame(uint32_t address, const uint8_t* payload,
                                                                     size_t length);

protected:
    [[nodiscard]] bool SendFirmware(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                    CommPortSettings& settings, void* user1, void* user2) override {
        return SendFW(info, comm, psw, settings, user1, user2);
    }
    [[nodiscard]] bool ImageInBanks() const override { return false; }
    // An empty image has nothing to program: refused before the printer leaves for its boot loader.
    [[nodiscard]] bool CheckImageForMode(const FirmwareImage& image, CommLayer& comm) override;
    // U2 reads the boot loader's release and saves its security settings.
    [[nodiscard]] virtual bool ReadsBootloaderRelease() const = 0;
    // The last step after a programmed image, before the port closes.
    [[nodiscard]] virtual bool FinishProgramming(CommLayer& comm) = 0;

    bool m_newBootloader = false;

private:
    // How a boot command's answer is read: one read that must bring exactly `count` bytes (withinMs 0;
    // count 0: at least one byte), or the port's read-all for `count` bytes within withinMs.
    struct AnswerRule {
        int count;
        int withinMs;
    };
    enum class Exchanged { Ok, WriteFailed, NoAnswer };
    [[nodiscard]] Exchanged Exchange(CommLayer& comm, const unsigned char* command, size_t length,
                                     AnswerRule rule, std::vector<unsigned char>& answer);
    // Sends a command whose whole answer is one expected byte.
    [[nodiscard]] Exchanged ExchangeForByte(CommLayer& comm, const char* text, const unsigned char* command,
                                            size_t length, AnswerRule rule, unsigned char expected);
    // Logs the failure, resets (U2) or asks for a restart (U4), closes the port: always false.
    [[nodiscard]] bool AbandonBootDialogue(CommLayer& comm, Exchanged how);
    [[nodiscard]] bool OpenBootDevice(CommLayer& comm, const char* device);
    [[nodiscard]] Exchanged ConnectSecurity(CommLayer& comm, BTPRGERROR& error);
    [[nodiscard]] Exchanged ConnectInquiries(CommLayer& comm, int& programmingSize);
    [[nodiscard]] Exchanged ConnectStateTransition(CommLayer& comm);
    [[nodiscard]] bool SendFrames(CommLayer& comm, const uint8_t* image, size_t length, int programmingSize);
    // One bank with its one retry; false after the dialogue was abandoned.
    [[nodiscard]] bool SendBank(CommLayer& comm, const uint8_t* payload, size_t size, uint32_t address,
                                int bank);
    [[nodiscard]] bool BootDialogue(CommLayer& comm, UpgradeDataInfo& info, PSWFile& psw,
                                    CommPortSettings& settings, void* user1, void* user2);
};

class UpgradePrinter_ModeU2 : public UpgradePrinter_RenesasBoot {
public:
    UpgradePrinter_ModeU2(int scopeMask, int timeMultiplier)
        : UpgradePrinter_RenesasBoot(scopeMask, timeMultiplier) {
        m_upgradeMode = 2;
    }

    [[nodiscard]] bool StartUpgrade_PSW2(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                         CommPortSettings& settings, void* user1, void* user2,
                                         PSWComponents& components) override;
    [[nodiscard]] bool SendResetCommandUSB(CommLayer& comm) override;

protected:
    [[nodiscard]] ModePlan Plan() const override;
    [[nodiscard]] bool ReadsBootloaderRelease() const override { return true; }
    [[nodiscard]] bool FinishProgramming(CommLayer& comm) override { return SendResetCommandUSB(comm); }
};

class UpgradePrinter_ModeU4 : public UpgradePrinter_RenesasBoot {
public:
    UpgradePrinter_ModeU4(int scopeMask, int timeMultiplier)
        : UpgradePrinter_RenesasBoot(scopeMask, timeMultiplier) {
        m_upgradeMode = 4;
    }

    [[nodiscard]] bool StartUpgrade_PSW2(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                         CommPortSettings& settings, void* user1, void* user2,
                                         PSWComponents& components) override;
    [[nodiscard]] bool SendResetCommandUSB(CommLayer& comm) override;
    [[nodiscard]] bool SendResetCommandUSBForSuccess(CommLayer& comm);

protected:
    [[nodiscard]] ModePlan Plan() const override;
    [[nodiscard]] bool ReadsBootloaderRelease() const override { return false; }
    [[nodiscard]] bool FinishProgramming(CommLayer& comm) override {
        return SendResetCommandUSBForSuccess(comm);
    }
    // The printer runs the new image only once the user restarts it.
    [[nodiscard]] bool AwaitPrinterRestart() override;
};
