// Mode U6: the printer's part (port rule, release check, the restart into the boot loader), the wait
// for the boot device and the record exchange with it over USB HID.
#include "upgrade/UpgradeModeU6.h"

#include "base/Clock.h"
#include "base/CmdConsole.h"
#include "base/Log.h"
#include "comm/CommLayer.h"
#include "transport/ComPortUsbHid.h"
#include "transport/ComPortUsbIntPRN.h"

#include <array>
#include <cstdio>

namespace {

constexpr const char* kSendFW = "SendFW";
constexpr const char* kStartUpgradeUsb = "StartUpgradeUsb";
constexpr std::array<unsigned char, 2> kEnterBootCommand = {0x1C, 0xEE};

// "vid|pid|serial" into its three texts; false unless there are exactly two bars.
bool SplitDeviceName(const std::string& name, std::array<std::string, 3>& parts) {
    const size_t first = name.find('|');
    const size_t second = first == std::string::npos ? first : name.find('|', first + 1);
    if (second == std::string::npos || name.find('|', second + 1) != std::string::npos)
        return false;
    parts = {name.substr(0, first), name.substr(first + 1, second - first - 1), name.substr(second + 1)};
    return true;
}

// Closes the boot device's port however the exchange ends.
class HidPortCloser {
public:
    explicit HidPortCloser(ComPortUsbHid& port) : m_port(port) {}
    ~HidPortCloser() {
        if (!m_port.Close())
            Log::WriteLog(kStartUpgradeUsb, "The HID library did not end cleanly");
    }
    HidPortCloser(const HidPortCloser&) = delete;
    HidPortCloser& operator=(const HidPortCloser&) = delete;

private:
    ComPortUsbHid& m_port;
};

} // namespace

UpgradePrinter_ModeU6::UpgradePrinter_ModeU6(int scopeMask, int timeMultiplier)
    : UpgradePrinter(scopeMask, timeMultiplier),
      m_makeHidPort([](int multiplier) { return std::make_unique<ComPortUsbHid>(multiplier); }) {
    m_upgradeMode = 6;
}

UpgradePrinter_ModeU6::~UpgradePrinter_ModeU6() = default;

UpgradePrinter::ModePlan UpgradePrinter_ModeU6::Plan() const {
    return ModePlan{.moduleWaitMs = 10000,
                    .beforeModulesBecomeAfter = true,
                    .savePortInfo = true,
                    .reopenBeforeFirmware = true,
                    .restartLikeU1 = false,
                    .afterModulesExtraWaitMs = 10000,
                    .extraWaitMultiplied = true,
                    .succeedWithoutModuleBits = true};
}

bool UpgradePrinter_ModeU6::PortSupported(const CommLayer& comm) {
    const CommPortType kind = comm.GetCommPortType();
    return kind == COMM_USB_PRN || kind == COMM_USB_SCANNER || (kind == COMM_SERIAL && comm.IsVirtualPort());
}

bool UpgradePrinter_ModeU6::StartUpgrade_PSW1(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                              CommPortSettings& settings, void* user1, void* user2,
                                              PSWComponents&) {
    if (!PortSupported(comm)) {
        Report("StartUpgrade_PSW1", "Communication port not supported (only USB)");
        return false;
    }
    return StartUpgrade_PSW1Common(info, comm, psw, settings, user1, user2);
}

bool UpgradePrinter_ModeU6::StartUpgrade_PSW2(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                              CommPortSettings& settings, void* user1, void* user2,
                                              PSWComponents& components) {
    if (PortSupported(comm))
        return StartUpgrade_PSW2Common(info, comm, psw, settings, user1, user2, components);
    Log::WriteLogP("StartUpgrade_PSW2", "START Upgrade PSW2 (U%d)", m_upgradeMode);
    Report("StartUpgrade_PSW2", "Communication port not supported (only USB)");
    return false;
}

std::optional<std::vector<UpgradePrinter_ModeU6::Frame>>
UpgradePrinter_ModeU6::SplitBuffer(const uint8_t* data, int length) {
    std::vector<Frame> frames;
    int at = 0;
    while (at < length) {
        if (data[at] != kRecordMarker) {
            ++at;
            continue;
        }
        // Marker and length byte, then as many bytes as the length says, all inside the image.
        if (at + 1 >= length || data[at + 1] > length - at - 2)
            return std::nullopt;
        const int size = 2 + data[at + 1];
        frames.emplace_back(data + at, data + at + size);
        at += size;
    }
    return frames;
}

bool UpgradePrinter_ModeU6::IsSLAnswerACK(uint8_t command, const uint8_t* answer, int length) {
    if (command < kFirstAckedCommand || command > kLastAckedCommand || length != 4 || answer == nullptr)
        return false;
    return answer[0] == 0x40 && answer[1] == 0x00 && answer[2] == 0x00 && answer[3] == 0x00;
}

bool UpgradePrinter_ModeU6::CheckImageForMode(const FirmwareImage& image, CommLayer&) {
    // Everything is refused here, before the printer leaves for its boot loader: an image that stopped
    // half way would leave it there with part of a firmware.
    const std::optional<std::vector<Frame>> frames = SplitBuffer(image.data, static_cast<int>(image.length));
    if (!frames) {
        Report("CheckImage",
               "Firmware image ends inside a boot-loader record: upgrade refused, nothing sent");
        return false;
    }
    if (frames->empty()) {
        Report("CheckImage", "Firmware image holds no boot-loader record: upgrade refused, nothing sent");
        return false;
    }
    for (const Frame& frame : *frames) {
        if (frame.size() < 3) {
            Report(
                "CheckImage",
                "Firmware image holds a boot-loader record without a command: upgrade refused, nothing sent");
            return false;
        }
    }
    return true;
}

bool UpgradePrinter_ModeU6::EnterUSBBootDirectModeOnUSB(CommLayer& comm) {
    return WriteBootSwitch(comm, kEnterBootCommand.data(), kEnterBootCommand.size());
}

UpgradePrinter::Step UpgradePrinter_ModeU6::PrinterStart(CommLayer& comm, const PSWFile& psw) {
    FirmwareImage image;
    std::string refusal;
    if (!TakeFirmwareImage(psw, image, refusal)) {
        Report(kSendFW, refusal.c_str());
        return Step::Fail;
    }
    return CheckReleaseInPrinterFirmware(comm, image.packageRelease);
}

bool UpgradePrinter_ModeU6::SendFW(UpgradeDataInfo&, CommLayer& comm, PSWFile& psw, CommPortSettings&, void*,
                                   void*) {
    std::string device;
    return RunSteps(
        kSendFW, {
                     {"port",
                      [&] {
                          if (PortSupported(comm))
                              return Step::Next;
                          Report(kSendFW, "Communication port not supported (only USB)");
                          return Step::Fail;
                      }},
                     {"printer", [&] { return PrinterStart(comm, psw); }},
                     {"enter the boot loader",
                      [&] {
                          MarkTransferStarted();
                          if (!EnterUSBBootDirectModeOnUSB(comm))
                              Log::WriteLog(kSendFW, "Going on: the printer may have restarted all the same");
                          comm.Close();
                          return Step::Next;
                      }},
                     {"wait for the boot device",
                      [&] {
                          device = WaitForBootDevice(kBootVendorId, kBootWaitMs, kBootPollMs);
                          if (!device.empty())
                              return Step::Next;
                          Report(kSendFW, "Error waiting Silicon Laboratories device timeout...");
                          return Step::Fail;
                      }},
                     {"send the records",
                      [&] {
                          if (StartUpgradeUsb(comm, device.c_str(), psw))
                              return Step::Next;
                          Report(kSendFW, "Upgrade Error");
                          comm.Close();
                          return Step::Fail;
                      }},
                 });
}

std::unique_ptr<ComPortUsbHid> UpgradePrinter_ModeU6::OpenBootDevice(const std::string& device) {
    std::array<std::string, 3> ids;
    if (!SplitDeviceName(device, ids)) {
        Log::WriteLogP(kStartUpgradeUsb, "Not a USB device name: %s", device.c_str());
        Log::WriteLog(kStartUpgradeUsb, "Open Silicon Laboratories device Error");
        return nullptr;
    }
    std::unique_ptr<ComPortUsbHid> port = m_makeHidPort(m_timeMultiplier);
    if (!port->InitWithVid(ids[0].c_str(), ids[1].c_str(), ids[2].c_str()))
        return nullptr;
    for (int attempt = 1; attempt <= kHidOpenAttempts; ++attempt) {
        if (port->Open())
            return port;
        if (attempt == kHidOpenAttempts)
            break;
        Log::WriteLogP(kStartUpgradeUsb, "Open Silicon Laboratories device Error...Retry  %d", attempt);
        WaitScaled(kHidOpenPauseMs);
    }
    Log::WriteLog(kStartUpgradeUsb, "Open Silicon Laboratories device Error");
    return nullptr;
}

bool UpgradePrinter_ModeU6::StartUpgradeUsb(CommLayer&, const char* device, PSWFile& psw) {
    FirmwareImage image;
    std::string refusal;
    if (!TakeFirmwareImage(psw, image, refusal)) {
        Report(kStartUpgradeUsb, refusal.c_str());
        return false;
    }
    const std::optional<std::vector<Frame>> frames = SplitBuffer(image.data, static_cast<int>(image.length));
    if (!frames) {
        Report(kStartUpgradeUsb, "Firmware image ends inside a boot-loader record: nothing sent");
        return false;
    }
    std::unique_ptr<ComPortUsbHid> port = OpenBootDevice(device != nullptr ? device : "");
    if (!port) {
        CmdConsole::WriteToConsoleString("Open Silicon Laboratories device Error");
        return false;
    }
    HidPortCloser closer(*port);
    Log::WriteLog(kStartUpgradeUsb, "Start do sending data!");
    return SendRecords(*port, *frames);
}

bool UpgradePrinter_ModeU6::SendRecords(ComPortUsbHid& port, const std::vector<Frame>& frames) {
    const int count = static_cast<int>(frames.size());
    for (int i = 1; i <= count; ++i) {
        NoteStopDuringTransfer();
        const Frame& frame = frames[static_cast<size_t>(i - 1)];
        CmdConsole::WriteToConsoleString("Sending bank %d/%d (%d%%)", i, count, i * 100 / count);
        Log::WriteLogP(kStartUpgradeUsb, "Sending bank %d/%d (%d%%)", i, count, i * 100 / count);
        unsigned error = 0;
        if (port.Write(frame.data(), static_cast<unsigned>(frame.size()), &error) != frame.size()) {
            Log::WriteLogP(kStartUpgradeUsb, "Record %d/%d not written: %s", i, count,
                           port.GetLastErrorText());
            return false;
        }
        std::array<unsigned char, kAnswerSize> answer{};
        const int read = port.ReadAll(answer.data(), kAnswerSize, kAnswerTimeoutSeconds, &error);
        // A record too short to carry a command is never acknowledged.
        const uint8_t command = frame.size() > 2 ? frame[2] : 0;
        if (!IsSLAnswerACK(command, answer.data(), read)) {
            Report(kStartUpgradeUsb, "Silicon Laboratories Answer Error!");
            return false;
        }
    }
    MarkFirmwareSent();
    return true;
}
