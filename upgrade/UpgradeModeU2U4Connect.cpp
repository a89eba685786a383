// Modes U2 and U4: the boot-command exchange and the connection to the Renesas boot loader, from the
// bit-rate adjustment to the blank checks.
#include "upgrade/UpgradeModeU2U4.h"

#include "base/Log.h"
#include "comm/CommLayer.h"
#include "comm/Commands.h"

#include <cstring>

namespace {

constexpr const char* kConnect = "InitConnectRenesasDevice";
constexpr unsigned char kAck = Commands::Cmd_ACK;
constexpr unsigned char kNewLoader = 0x15;
constexpr unsigned char kNewLoaderMark = 0x52;
constexpr const char* kSecurityRelease = "1.00";

template <size_t N> const unsigned char* Data(const std::array<unsigned char, N>& command) {
    return command.data();
}

} // namespace

UpgradePrinter_RenesasBoot::Exchanged
UpgradePrinter_RenesasBoot::Exchange(CommLayer& comm, const unsigned char* command, size_t length,
                                     AnswerRule rule, std::vector<unsigned char>& answer) {
    comm.CleanRX();
    unsigned error = 0;
    if (comm.Write(command, static_cast<unsigned>(length), &error) != length || error != 0)
        return Exchanged::WriteFailed;
    ComPort* port = comm.GetComPort();
    if (port == nullptr)
        return Exchanged::NoAnswer;
    if (rule.withinMs == 0) {
        answer.assign(kAnswerReadSize, 0);
        const int count = comm.Read(answer.data(), kAnswerReadSize, &error);
        answer.resize(static_cast<size_t>(count > 0 ? count : 0));
        const bool enough = rule.count == 0 ? count > 0 : count == rule.count;
        return enough ? Exchanged::Ok : Exchanged::NoAnswer;
    }
    answer.assign(static_cast<size_t>(rule.count), 0);
    const int count = port->ReadAll(answer.data(), rule.count, rule.withinMs, &error);
    answer.resize(static_cast<size_t>(count > 0 ? count : 0));
    return count == rule.count ? Exchanged::Ok : Exchanged::NoAnswer;
}

UpgradePrinter_RenesasBoot::Exchanged
UpgradePrinter_RenesasBoot::ExchangeForByte(CommLayer& comm, const char* text, const unsigned char* command,
                                            size_t length, AnswerRule rule, unsigned char expected) {
    Log::WriteLog(kConnect, text);
    std::vector<unsigned char> answer;
    const Exchanged result = Exchange(comm, command, length, rule, answer);
    if (result != Exchanged::Ok)
        return result;
    if (answer[0] != expected)
        return Exchanged::NoAnswer;
    Log::WriteLog(kConnect, "OK!");
    WaitScaled(kPauseMs);
    return Exchanged::Ok;
}

bool UpgradePrinter_RenesasBoot::AbandonBootDialogue(CommLayer& comm, Exchanged how) {
    Log::WriteLog("BootDialogue", how == Exchanged::WriteFailed ? "Error during send command! exit..."
                                                                : "ERROR: wrong response! exit...");
    if (!SendResetCommandUSB(comm))
        Log::WriteLog("BootDialogue", "The boot loader was not reset");
    comm.Close();
    return false;
}

bool UpgradePrinter_RenesasBoot::OpenBootDevice(CommLayer& comm, const char* device) {
    const std::string description = device ? device : "";
    const size_t first = description.find('|');
    const size_t second = first == std::string::npos ? first : description.find('|', first + 1);
    if (second == std::string::npos) {
        Log::WriteLog(kConnect, "Open Renesas device Error");
        return false;
    }
    const std::string vid = description.substr(0, first);
    const std::string pid = description.substr(first + 1, second - first - 1);
    const std::string serial = description.substr(second + 1);
    if (comm.InitWithVid(vid.c_str(), pid.c_str(), serial.c_str()) == 0 || comm.Open() == 0) {
        Log::WriteLog(kConnect, "Open Renesas device Error");
        comm.Close();
        return false;
    }
    if (ComPort* port = comm.GetComPort())
        port->SetWTimeout(kBootWriteTimeoutMs);
    return true;
}

UpgradePrinter_RenesasBoot::Exchanged UpgradePrinter_RenesasBoot::ConnectSecurity(CommLayer& comm,
                                                                                  BTPRGERROR& error) {
    Log::WriteLog(kConnect, "Sending Get Bootloader Release command");
    std::vector<unsigned char> answer;
    Exchanged result =
        Exchange(comm, Data(Commands::Cmd_GetRelease), Commands::Cmd_GetRelease.size(), {4, 5000}, answer);
    if (result == Exchanged::WriteFailed)
        error = BTPRGERROR_RELEASE_WRITE;
    if (result != Exchanged::Ok)
        return result;
    const std::string release(answer.begin(), answer.end());
    Log::WriteLogP(kConnect, "Release Found: %s", release.c_str());
    Log::WriteLog(kConnect, "OK!");
    if (std::strcmp(release.c_str(), kSecurityRelease) >= 0) {
        Log::WriteLog(kConnect, "Bootloader release support security!");
        Log::WriteLog(kConnect, "Sending Save Security command");
        result = Exchange(comm, Data(Commands::Cmd_SaveSecurity), Commands::Cmd_SaveSecurity.size(), {1, 0},
                          answer);
        if (result != Exchanged::Ok)
            return result;
        if (answer[0] != kAck && answer[0] != kNewLoader)
            return Exchanged::NoAnswer;
        Log::WriteLog(kConnect, "OK!");
        if (answer[0] == kNewLoader) {
            m_newBootloader = true;
            Log::WriteLog(kConnect, "New Bootloader...");
            result = ExchangeForByte(comm, "Sending Save Security NEW command",
                                     Data(Commands::Cmd_SaveSecurityNew),
                                     Commands::Cmd_SaveSecurityNew.size(), {1, 0}, kAck);
            if (result != Exchanged::Ok)
                return result;
        }
    }
    WaitScaled(kPauseMs);
    return Exchanged::Ok;
}

UpgradePrinter_RenesasBoot::Exchanged UpgradePrinter_RenesasBoot::ConnectInquiries(CommLayer& comm,
                                                                                   int& programmingSize) {
    Log::WriteLog(kConnect, "Sending Programming Size Inquiry command");
    std::vector<unsigned char> answer;
    Exchanged result = Exchange(comm, Data(Commands::Cmd_ProgrammingSizeInquiry),
                                Commands::Cmd_ProgrammingSizeInquiry.size(), {5, 5000}, answer);
    if (result != Exchanged::Ok)
        return result;
    if (answer[0] != 0x37)
        return Exchanged::NoAnswer;
    programmingSize = answer[2] * 256 + answer[3];
    Log::WriteLogP(kConnect, "Programming Size: %d", programmingSize);
    // The image is divided by it: a loader reporting 0 cannot be programmed.
    if (programmingSize == 0) {
        Log::WriteLog(kConnect, "A programming size of 0 cannot carry the image");
        return Exchanged::NoAnswer;
    }
    Log::WriteLog(kConnect, "OK!");
    WaitScaled(kPauseMs);
    for (const auto& [text, command, length] :
         {std::tuple{"Sending Device Selection command", Data(Commands::Cmd_DeviceSelection),
                     Commands::Cmd_DeviceSelection.size()},
          std::tuple{"Sending Clock Mode Selection command", Data(Commands::Cmd_ClockModeSelection),
                     Commands::Cmd_ClockModeSelection.size()}})
        if ((result = ExchangeForByte(comm, text, command, length, {1, 0}, kAck)) != Exchanged::Ok)
            return result;
    Log::WriteLog(kConnect, "Sending User Area Information Inquiry command");
    result = Exchange(comm, Data(Commands::Cmd_UserAreaInformationInquiry),
                      Commands::Cmd_UserAreaInformationInquiry.size(), {12, 5000}, answer);
    if (result != Exchanged::Ok)
        return result;
    if (answer[0] != 0x35)
        return Exchanged::NoAnswer;
    // The area's first address, counted back from the end of the address space.
    const uint32_t start =
        (uint32_t{answer[3]} << 24) | (uint32_t{answer[4]} << 16) | (uint32_t{answer[5]} << 8) | answer[6];
    Log::WriteLogP(kConnect, "Micro FLASH size: %d", static_cast<int>(0u - start));
    Log::WriteLog(kConnect, "OK!");
    WaitScaled(kPauseMs);
    return Exchanged::Ok;
}

UpgradePrinter_RenesasBoot::Exchanged UpgradePrinter_RenesasBoot::ConnectStateTransition(CommLayer& comm) {
    // The confirmation is its first byte alone: the boot loader answers each byte it takes.
    const unsigned char confirmation = Commands::Cmd_Confirmation[0];
    struct Step {
        const char* text;
        const unsigned char* command;
        size_t length;
        AnswerRule rule;
    };
    const Step steps[] = {
        {"Sending Bit Rate Selection command",
         Data(Commands::Cmd_BitRateSelecion),
         Commands::Cmd_BitRateSelecion.size(),
         {1, 0}},
        {"Sending Confirmation command", &confirmation, 1, {1, 0}},
        {"Sending Programming/Erasure State Transition command",
         Data(Commands::Cmd_ProgrammingErasureStateTransition),
         Commands::Cmd_ProgrammingErasureStateTransition.size(),
         {1, 30000}},
    };
    Exchanged result = Exchanged::Ok;
    for (const Step& step : steps)
        if ((result = ExchangeForByte(comm, step.text, step.command, step.length, step.rule, kAck)) !=
            Exchanged::Ok)
            return result;
    Log::WriteLog(kConnect, "Sending Boot Program Status Inquiry command");
    std::vector<unsigned char> answer;
    result = Exchange(comm, Data(Commands::Cmd_BootProgramStatusInquiry),
                      Commands::Cmd_BootProgramStatusInquiry.size(), {5, 10000}, answer);
    if (result != Exchanged::Ok)
        return result;
    if (answer[0] != 0x5F || answer[2] != 0x3F || answer[3] != 0x00)
        return Exchanged::NoAnswer;
    Log::WriteLog(kConnect, "OK!");
    WaitScaled(kPauseMs);
    if ((result = ExchangeForByte(comm, "Sending User Area Blank Check command",
                                  Data(Commands::Cmd_UserAreaBlankCheck),
                                  Commands::Cmd_UserAreaBlankCheck.size(), {1, 5000}, kAck)) != Exchanged::Ok)
        return result;
    if (!m_newBootloader)
        return ExchangeForByte(comm, "Sending Data Area Blank Check command(OLD BOOTLOADER)",
                               Data(Commands::Cmd_DataAreaBlankCheck),
                               Commands::Cmd_DataAreaBlankCheck.size(), {1, 0}, kAck);
    Log::WriteLog(kConnect, "Sending Data Area Blank Check command(New Bootloader)");
    result = Exchange(comm, Data(Commands::Cmd_DataAreaBlankCheck), Commands::Cmd_DataAreaBlankCheck.size(),
                      {2, 5000}, answer);
    if (result != Exchanged::Ok)
        return result;
    if (answer[1] != kNewLoaderMark)
        return Exchanged::NoAnswer;
    Log::WriteLog(kConnect, "OK!");
    WaitScaled(kPauseMs);
    return Exchanged::Ok;
}

bool UpgradePrinter_RenesasBoot::InitConnectRenesasDevice(CommLayer& comm, const char* device,
                                                          BTPRGERROR& error, int& programmingSize) {
    error = BTPRGERROR_CONNECTION;
    m_newBootloader = false;
    Log::WriteLog(kConnect, "Starting connecting operations...");
    if (!OpenBootDevice(comm, device))
        return false;
    Exchanged result = ExchangeForByte(comm, "Sending Automatic Adjustment of Bit Rate command",
                                       Data(Commands::Cmd_AutomaticAdjustmentBitRate),
                                       Commands::Cmd_AutomaticAdjustmentBitRate.size(), {1, 0}, 0xE6);
    if (result == Exchanged::Ok && ReadsBootloaderRelease())
        result = ConnectSecurity(comm, error);
    if (result == Exchanged::Ok)
        result = ConnectInquiries(comm, programmingSize);
    if (result == Exchanged::Ok)
        result = ConnectStateTransition(comm);
    if (result != Exchanged::Ok)
        return AbandonBootDialogue(comm, result);
    comm.Close();
    Log::WriteLog(kConnect, "Connecting operations executed!");
    return true;
}
