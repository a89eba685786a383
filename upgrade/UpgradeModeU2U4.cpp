// Modes U2 and U4: the firmware procedure, the switch into the boot loader, the programming frames and
// the end of the boot-loader dialogue.
#include "upgrade/UpgradeModeU2U4.h"

#include "base/Clock.h"
#include "base/CmdConsole.h"
#include "base/Log.h"
#include "comm/CommLayer.h"
#include "comm/Commands.h"
#include "transport/ComPortUsbIntPRN.h"

#include <array>
#include <cstdio>
#include <mutex>
#include <numeric>

namespace {

constexpr const char* kSendFW = "SendFW";
constexpr const char* kProgram = "StartUpgradeUsb";
constexpr unsigned char kAck = Commands::Cmd_ACK;
constexpr unsigned char kRejected = 0xD0;
constexpr unsigned char kProgrammingCommand = 0x50;
constexpr uint64_t kAddressEnd = uint64_t{1} << 32; // the image's last byte sits at 0xFFFFFFFF
constexpr std::array<unsigned char, 3> kUsbBootDirect = {0x1C, 0x4C, 0x49};
constexpr const char* kBootDirectConfirmation = "BOOT_RST";
// Where the user finds the maker's service when the boot loader cannot be identified.
constexpr const char* kMakerContact = "The service's contact details are in the printer's documentation.";

std::mutex& HandlerMutex() {
    static std::mutex mutex;
    return mutex;
}

RestartPrinterHandler& HandlerSlot() {
    static RestartPrinterHandler handler;
    return handler;
}

bool IsUsbPrinterPort(const CommLayer& comm) {
    const CommPortType kind = comm.GetCommPortType();
    return kind == COMM_USB_PRN || kind == COMM_USB_SCANNER;
}

const char* RejectionText(unsigned char error) {
    switch (error) {
    case 0x2A:
        return "ERROR: wrong response: ADDRESS error!";
    case 0x53:
        return "ERROR: wrong response: PROGRAMMING error!";
    case 0x11:
        return "ERROR: wrong response: CHECKSUM error!";
    default:
        return "ERROR: Unknown response!";
    }
}

} // namespace

void SetRestartPrinterHandler(RestartPrinterHandler handler) {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    HandlerSlot() = std::move(handler);
}

bool execRestartPrinterRequest(const std::string& request) {
    RestartPrinterHandler handler;
    {
        std::lock_guard<std::mutex> lock(HandlerMutex());
        handler = HandlerSlot();
    }
    if (handler)
        return handler(request);
    // Nobody to ask: say it and go on; the modules' re-open retries give the user time to restart it.
    Log::WriteLog("RestartPrinter", request.c_str());
    CmdConsole::WriteToConsoleString("%s", request.c_str());
    return true;
}

std::vector<unsigned char>
UpgradePrinter_RenesasBoot::ProgrammingFrame(uint32_t address, const uint8_t* payload, size_t length) {
    std::vector<unsigned char> frame;
    frame.reserve(length + 6);
    frame.push_back(kProgrammingCommand);
    for (int shift = 24; shift >= 0; shift -= 8)
        frame.push_back(static_cast<unsigned char>(address >> shift));
    frame.insert(frame.end(), payload, payload + length);
    const unsigned sum = std::accumulate(frame.begin(), frame.end(), 0u);
    frame.push_back(static_cast<unsigned char>(0x100 - (sum & 0xFF)));
    return frame;
}

bool UpgradePrinter_RenesasBoot::StartUpgrade_PSW1(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                                   CommPortSettings& settings, void* user1, void* user2,
                                                   PSWComponents&) {
    return StartUpgrade_PSW1Common(info, comm, psw, settings, user1, user2);
}

bool UpgradePrinter_RenesasBoot::CheckImageForMode(const FirmwareImage& image, CommLayer&) {
    if (image.length > 0 && image.length <= kAddressEnd)
        return true;
    char text[128];
    snprintf(text, sizeof text,
             "Firmware image of %zu bytes: nothing to program, upgrade refused, nothing sent", image.length);
    Report("CheckImage", text);
    return false;
}

bool UpgradePrinter_RenesasBoot::SendFW(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                        CommPortSettings& settings, void* user1, void* user2) {
    FirmwareImage image;
    return RunSteps(
        kSendFW,
        {
            {"USB port",
             [&] {
                 if (IsUsbPrinterPort(comm))
                     return Step::Next;
                 Report(kSendFW, "Communication port not supported (only USB)");
                 return Step::Fail;
             }},
            {"take the image", [&] { return CheckImage(psw, comm, image) ? Step::Next : Step::Fail; }},
            {"the printer's release",
             [&] { return CheckReleaseInPrinterFirmware(comm, image.packageRelease); }},
            // From the switch on the printer is in its boot loader: the dialogue runs to its end.
            {"boot loader",
             [&] { return BootDialogue(comm, info, psw, settings, user1, user2) ? Step::Next : Step::Fail; }},
        });
}

bool UpgradePrinter_RenesasBoot::BootDialogue(CommLayer& comm, UpgradeDataInfo& info, PSWFile& psw,
                                              CommPortSettings& settings, void* user1, void* user2) {
    MarkTransferStarted();
    if (!EnterUSBBootDirectModeOnUSB(comm))
        Log::WriteLog(kSendFW, "Going on: the printer may be in its boot loader all the same");
    comm.Close();
    const std::string device = WaitForBootDevice(kBootVendorId, kWaitBootDeviceMs, kBootListPollMs);
    if (device.empty()) {
        Report(kSendFW, "Error waiting renesas device timeout...");
        return false;
    }
    BTPRGERROR error = BTPRGERROR_CONNECTION;
    int programmingSize = 0;
    if (!InitConnectRenesasDevice(comm, device.c_str(), error, programmingSize)) {
        Log::WriteLogP(kSendFW, "Init Renesas connection Error(%d)", static_cast<int>(error));
        if (error == BTPRGERROR_RELEASE_WRITE) {
            Report(kSendFW, "Impossible to retrieve bootloader release. Contact VELMAR Technical Service");
            Report(kSendFW, kMakerContact);
        }
        return false;
    }
    if (!StartUpgradeUsb(info, comm, device.c_str(), psw, settings, user1, user2, programmingSize)) {
        Log::WriteLog(kSendFW, "Upgrade Error");
        comm.Close();
        return false;
    }
    MarkFirmwareSent();
    return true;
}

bool UpgradePrinter_RenesasBoot::EnterUSBBootDirectModeOnUSB(CommLayer& comm) {
    constexpr const char* kWhere = "EnterUSBBootDirectModeOnUSB";
    if (!WriteBootSwitch(comm, kUsbBootDirect.data(), kUsbBootDirect.size()))
        return false;
    unsigned error = 0;
    std::string answer;
    const uint64_t deadline = DeadlineAfter(static_cast<uint64_t>(kBootDirectAnswerMs) * m_timeMultiplier);
    std::array<unsigned char, 16> buffer{};
    while (answer.size() < 8 && Clock::MonotonicMs() < deadline && comm.GetComPort() != nullptr &&
           !comm.IsDeviceLost()) {
        const int count = comm.Read(buffer.data(), buffer.size(), &error);
        if (count > 0)
            answer.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(count));
    }
    Log::WriteLogP(kWhere, "Read %d bytes", static_cast<int>(answer.size()));
    if (answer.size() != 8) {
        Log::WriteLog(kWhere, "ERROR : WAIT TIMEOUT! Exit..");
        return false;
    }
    Log::WriteLogP(kWhere, "Answer: %s", answer.c_str());
    Log::WriteLog(kWhere, answer == kBootDirectConfirmation
                              ? "Correct response, the device is in USB Boot Direct mode!"
                              : "Wrong response from device! Exit from upgrade procedure...");
    return true;
}

bool UpgradePrinter_RenesasBoot::StartUpgradeUsb(UpgradeDataInfo&, CommLayer& comm, const char* device,
                                                 PSWFile& psw, CommPortSettings&, void*, void*,
                                                 int programmingSize) {
    FirmwareImage image;
    std::string refusal;
    const bool whole = TakeFirmwareImage(psw, image, refusal) && programmingSize > 0 && image.length > 0 &&
                       image.length <= kAddressEnd &&
                       image.length % static_cast<size_t>(programmingSize) == 0;
    if (!whole) {
        char text[160];
        snprintf(text, sizeof text,
                 "Firmware image of %zu bytes is not a whole number of %d-byte frames: "
                 "nothing programmed",
                 image.length, programmingSize);
        Report(kProgram, text);
        // The boot loader holds the printer until it is reset.
        if (OpenBootDevice(comm, device) && !SendResetCommandUSB(comm))
            Log::WriteLog(kProgram, "The boot loader was not reset");
        comm.Close();
        return false;
    }
    if (!OpenBootDevice(comm, device))
        return false;
    Log::WriteLog(kProgram, "Sending Boot Program Status Inquiry command");
    std::vector<unsigned char> answer;
    Exchanged result = Exchange(comm, Commands::Cmd_BootProgramStatusInquiry.data(),
                                Commands::Cmd_BootProgramStatusInquiry.size(), {5, 5000}, answer);
    if (result != Exchanged::Ok || answer[0] != 0x5F)
        return AbandonBootDialogue(comm, result == Exchanged::Ok ? Exchanged::NoAnswer : result);
    if (answer[2] != 0x3F || answer[3] != (m_newBootloader ? 0x52 : 0x00)) {
        Log::WriteLog(kProgram, "ERROR: wrong status mode response! exit...");
        return AbandonBootDialogue(comm, Exchanged::NoAnswer);
    }
    result = ExchangeForByte(comm, "Sending User Data Area Programmin Selection command",
                             Commands::Cmd_AreaProgrammingSelection.data(),
                             Commands::Cmd_AreaProgrammingSelection.size(), {1, 0}, kAck);
    if (result != Exchanged::Ok)
        return AbandonBootDialogue(comm, result);
    if (!SendFrames(comm, image.data, image.length, programmingSize))
        return false;
    for (const auto& [text, command, length] :
         {std::tuple{"Sending Terminate Programming command", Commands::Cmd_TerminateProgramming.data(),
                     Commands::Cmd_TerminateProgramming.size()},
          std::tuple{"Sending Lock Bit Enable command", Commands::Cmd_LockBitEnable.data(),
                     Commands::Cmd_LockBitEnable.size()}})
        if ((result = ExchangeForByte(comm, text, command, length, {1, 0}, kAck)) != Exchanged::Ok)
            return AbandonBootDialogue(comm, result);
    const bool finished = FinishProgramming(comm);
    comm.Close();
    WaitScaled(2500);
    return finished;
}

bool UpgradePrinter_RenesasBoot::SendFrames(CommLayer& comm, const uint8_t* image, size_t length,
                                            int programmingSize) {
    if (ComPort* port = comm.GetComPort())
        port->SetPacketSize(kBootPacketSize);
    Log::WriteLog(kProgram, "Start do sending data!");
    const size_t size = static_cast<size_t>(programmingSize);
    const int count = static_cast<int>(length / size);
    uint32_t address = static_cast<uint32_t>(kAddressEnd - length);
    for (int bank = 1; bank <= count; ++bank) {
        NoteStopDuringTransfer();
        char line[64];
        snprintf(line, sizeof line, "Sending bank %d/%d (%d%%)", bank, count,
                 static_cast<int>(static_cast<long long>(bank) * 100 / count));
        Report(kProgram, line);
        if (!SendBank(comm, image + static_cast<size_t>(bank - 1) * size, size, address, bank))
            return false;
        address += static_cast<uint32_t>(size);
    }
    return true;
}

bool UpgradePrinter_RenesasBoot::SendBank(CommLayer& comm, const uint8_t* payload, size_t size,
                                          uint32_t address, int bank) {
    const std::vector<unsigned char> frame = ProgrammingFrame(address, payload, size);
    for (int attempt = 1; attempt <= 2; ++attempt) {
        if (attempt == 2)
            Log::WriteLogP(kProgram, "Retry to send %d bank!", bank);
        std::vector<unsigned char> answer;
        const Exchanged result = Exchange(comm, frame.data(), frame.size(), {0, 0}, answer);
        if (result != Exchanged::Ok)
            return AbandonBootDialogue(comm, result);
        if (answer[0] == kAck) {
            Log::WriteLogP(kProgram, "Bank %d successfully sent!", bank);
            return true;
        }
        // The error byte may follow the rejection in a read of its own.
        if (answer[0] == kRejected && answer.size() == 1) {
            unsigned char more = 0;
            unsigned error = 0;
            if (comm.Read(&more, 1, &error) == 1)
                answer.push_back(more);
        }
        Log::WriteLog(kProgram, answer[0] != kRejected ? "ERROR: wrong response!"
                                : answer.size() < 2    ? "ERROR: Unknown response!"
                                                       : RejectionText(answer[1]));
    }
    Log::WriteLog(kProgram, "Exit..");
    if (!SendResetCommandUSB(comm))
        Log::WriteLog(kProgram, "The boot loader was not reset");
    comm.Close();
    return false;
}

UpgradePrinter::ModePlan UpgradePrinter_ModeU2::Plan() const {
    return ModePlan{.moduleWaitMs = 20000,
                    .beforeModulesBecomeAfter = true,
                    .savePortInfo = true,
                    .reopenBeforeFirmware = false,
                    .restartLikeU1 = false,
                    .afterModulesExtraWaitMs = 20000,
                    .extraWaitMultiplied = false,
                    .succeedWithoutModuleBits = false,
                    .skipBeforeModulesPhase = true};
}

bool UpgradePrinter_ModeU2::StartUpgrade_PSW2(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                              CommPortSettings& settings, void* user1, void* user2,
                                              PSWComponents& components) {
    if (!IsUsbPortType(comm.GetCommPortType())) {
        Log::WriteLog("StartUpgrade_PSW2", "START Upgrade PSW2 (U2)");
        Log::WriteLog("StartUpgrade_PSW2", "Upgrade U2 just support USB port error \n");
        Report("StartUpgrade_PSW2", "Communication port not supported (only USB)");
        return false;
    }
    return StartUpgrade_PSW2Common(info, comm, psw, settings, user1, user2, components);
}

bool UpgradePrinter_ModeU2::SendResetCommandUSB(CommLayer& comm) {
    constexpr const char* kWhere = "SendResetCommandUSB";
    Log::WriteLog(kWhere, "Sending Reset command");
    comm.CleanRX();
    unsigned error = 0;
    std::array<unsigned char, kAnswerReadSize> answer{};
    const bool written = comm.Write(Commands::Cmd_Reset.data(), Commands::Cmd_Reset.size(), &error) ==
                             Commands::Cmd_Reset.size() &&
                         error == 0;
    const int count = written ? comm.Read(answer.data(), kAnswerReadSize, &error) : 0;
    if (count == 1 && answer[0] == 0x52) {
        Log::WriteLog(kWhere, "OK!");
        return true;
    }
    Log::WriteLog(kWhere, "ERROR: wrong response! exit...");
    comm.Close();
    return false;
}

UpgradePrinter::ModePlan UpgradePrinter_ModeU4::Plan() const {
    return ModePlan{.moduleWaitMs = 10000,
                    .beforeModulesBecomeAfter = true,
                    .savePortInfo = true,
                    .reopenBeforeFirmware = true,
                    .restartLikeU1 = false,
                    .afterModulesExtraWaitMs = 10000,
                    .extraWaitMultiplied = true,
                    .succeedWithoutModuleBits = true};
}

bool UpgradePrinter_ModeU4::StartUpgrade_PSW2(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                              CommPortSettings& settings, void* user1, void* user2,
                                              PSWComponents& components) {
    return StartUpgrade_PSW2Common(info, comm, psw, settings, user1, user2, components);
}

bool UpgradePrinter_ModeU4::SendResetCommandUSB(CommLayer&) {
    Report("SendResetCommandUSB", "Upgrade Error. Please, restart the printer and retry");
    return true;
}

bool UpgradePrinter_ModeU4::SendResetCommandUSBForSuccess(CommLayer&) {
    Report("SendResetCommandUSBForSuccess", "Upgrade firmware. Please, restart the printer");
    return true;
}

bool UpgradePrinter_ModeU4::AwaitPrinterRestart() {
    if (execRestartPrinterRequest("reset the printer, than press Enter to continue!"))
        return true;
    Report("StartUpgrade_PSW2",
           "The printer was not restarted: the modules after the firmware were not sent");
    return false;
}
