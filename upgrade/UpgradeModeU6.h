// Upgrade mode U6: printers (or accessories) whose microcontroller a Silicon Laboratories boot loader
// programs over USB HID. The running firmware is told to restart into its boot loader, which appears
// as a HID device of vendor 0x10C4; the image, already a run of boot-loader records ("$", a length,
// that many bytes led by a command byte), goes to it record by record, each one acknowledged.
#pragma once

#include "upgrade/UpgradePrinter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ComPortUsbHid;

class UpgradePrinter_ModeU6 : public UpgradePrinter {
public:
    using Frame = std::vector<uint8_t>;
    // The HID port the records go through (the real one over hidapi unless a test scripts it).
    using HidPortMaker = std::function<std::unique_ptr<ComPortUsbHid>(int timeMultiplier)>;

    static constexpr const char* kBootVendorId = "10C4";
    static constexpr uint8_t kRecordMarker = 0x24; // '$'
    static constexpr uint8_t kFirstAckedCommand = 0x30;
    static constexpr uint8_t kLastAckedCommand = 0x36;
    static constexpr int kBootWaitMs = 40000;
    // The boot loader needs a few hundred milliseconds to enumerate; looking more often only loads
    // the bus listing.
    static constexpr uint32_t kBootPollMs = 250;
    static constexpr int kHidOpenAttempts = 5;
    static constexpr uint32_t kHidOpenPauseMs = 2000;
    static constexpr int kAnswerSize = 5;
    // Seconds the boot loader has for each record's answer (the HID port counts in seconds).
    static constexpr int kAnswerTimeoutSeconds = 5;

    UpgradePrinter_ModeU6(int scopeMask, int timeMultiplier);
    ~UpgradePrinter_ModeU6() override;

    [[nodiscard]] bool StartUpgrade_PSW1(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                         CommPortSettings& settings, void* user1, void* user2,
                                         PSWComponents& components) override;
    [[nodiscard]] bool StartUpgrade_PSW2(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                         CommPortSettings& settings, void* user1, void* user2,
                                         PSWComponents& components) override;

    [[nodiscard]] bool SendFW(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                              CommPortSettings& settings, void* user1, void* user2);
    [[nodiscard]] static bool EnterUSBBootDirectModeOnUSB(CommLayer& comm);
    // Sends the image's records to the boot device "vid|pid|serial"; its HID port is closed on return.
    [[nodiscard]] bool StartUpgradeUsb(CommLayer& comm, const char* device, PSWFile& psw);

    // The records of an image in order, bytes between records skipped; nullopt when the last record's
    // length runs past the end (nothing beyond the image is read).
    [[nodiscard]] static std::optional<std::vector<Frame>> SplitBuffer(const uint8_t* data, int length);
    // Only 0x40 0x00 0x00 0x00 acknowledges, and only records of the commands 0x30..0x36.
    [[nodiscard]] static bool IsSLAnswerACK(uint8_t command, const uint8_t* answer, int length);
    // USB printer class, or a serial line that is a USB virtual COM port.
    [[nodiscard]] static bool PortSupported(const CommLayer& comm);

    void SetHidPortMaker(HidPortMaker maker) { m_makeHidPort = std::move(maker); }

protected:
    [[nodiscard]] ModePlan Plan() const override;
    [[nodiscard]] bool SendFirmware(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                    CommPortSettings& settings, void* user1, void* user2) override {
        return SendFW(info, comm, psw, settings, user1, user2);
    }
    [[nodiscard]] bool ImageInBanks() const override { return false; }
    [[nodiscard]] bool CheckImageForMode(const FirmwareImage& image, CommLayer& comm) override;

private:
    [[nodiscard]] Step PrinterStart(CommLayer& comm, const PSWFile& psw);
    [[nodiscard]] std::unique_ptr<ComPortUsbHid> OpenBootDevice(const std::string& device);
    [[nodiscard]] bool SendRecords(ComPortUsbHid& port, const std::vector<Frame>& frames);

    HidPortMaker m_makeHidPort;
};
