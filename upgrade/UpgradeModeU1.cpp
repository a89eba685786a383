// Mode U1: the firmware procedure and the bank transfer with its three ways of learning the result.
#include "upgrade/UpgradeModeU1.h"

#include "base/Clock.h"
#include "base/CmdConsole.h"
#include "base/Log.h"
#include "comm/CommLayer.h"
#include "model/InfoRecords.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr const char* kSendFW = "SendFW";
constexpr const char* kSendBanks = "SendBankFlashBanksNew";
constexpr uint8_t kProgrammed = 0xAA;

struct ProgrammingAnswer {
    uint8_t byte;
    int code;
    const char* name;
};

constexpr ProgrammingAnswer kProgrammingErrors[] = {
    {0x99, UpgradePrinter_ModeU1::ERROR_CECKSUM, "Answer: ERROR_CECKSUM"},
    {0x88, UpgradePrinter_ModeU1::ERROR_BANK_NOT_DELETED, "Answer: ERROR_BANK_NOT_DELETED"},
    {0x77, UpgradePrinter_ModeU1::ERROR_BANK_NOT_PROGRAMMED, "Answer: ERROR_BANK_NOT_PROGRAMMED"},
    {0x66, UpgradePrinter_ModeU1::ERROR_BANK_DAMAGED, "Answer: ERROR_BANK_DAMAGED"},
    {0x33, UpgradePrinter_ModeU1::ERROR_DEFAULT_CASE, "Answer: ERROR_DEFAULT_CASE"},
    {0x44, UpgradePrinter_ModeU1::ERROR_DEFAULT_CASE, "Answer: ERROR_DEFAULT_CASE"},
    {0x98, UpgradePrinter_ModeU1::ERROR_DEFAULT_CASE, "Answer: ERROR_DEFAULT_CASE"},
};

bool WriteAll(CommLayer& comm, const unsigned char* bytes, unsigned length) {
    unsigned error = 0;
    return comm.Write(bytes, length, &error) == length && error == 0;
}

bool Ends(bool result) {
    Log::WriteLogP(kSendBanks, "Upgrade Return Status: %d", result ? 1 : 0);
    return result;
}

} // namespace

int UpgradePrinter_ModeU1::ParseUsbProgAnswer(const std::string& configuration) {
    const std::string first = configuration.substr(0, configuration.find(';'));
    char* end = nullptr;
    const long value = std::strtol(first.c_str(), &end, 10);
    if (first.empty() || end == first.c_str())
        return 1;
    return static_cast<int>(value);
}

const char* UpgradePrinter_ModeU1::MessageForError(int errorCode) {
    switch (errorCode) {
    case ERROR_CECKSUM:
        return "You have problem during the upgrade procedure.  Please repeat the upgrade.";
    case ERROR_BANK_NOT_DELETED:
    case ERROR_BANK_NOT_PROGRAMMED:
        return "You have a serious problem during upgrade phase. Please send your printer to Velmar "
               "Technical "
               "Service.";
    default:
        return "Some serious problem occurred during the upgrade process. Please repeat operation.";
    }
}

UpgradePrinter::ModePlan UpgradePrinter_ModeU1::Plan() const {
    return ModePlan{.moduleWaitMs = 10000,
                    .beforeModulesBecomeAfter = false,
                    .savePortInfo = false,
                    .reopenBeforeFirmware = true,
                    .restartLikeU1 = true,
                    .afterModulesExtraWaitMs = 0,
                    .extraWaitMultiplied = false,
                    .succeedWithoutModuleBits = false};
}

bool UpgradePrinter_ModeU1::StartUpgrade_PSW1(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                              CommPortSettings& settings, void* user1, void* user2,
                                              PSWComponents&) {
    m_usbProgAnswer = ParseUsbProgAnswer(info.GetConfigurationSettings());
    Log::WriteLogP("StartUpgrade_PSW1", "iUSB_PRG_ANSWER:%d", m_usbProgAnswer);
    return StartUpgrade_PSW1Common(info, comm, psw, settings, user1, user2);
}

bool UpgradePrinter_ModeU1::StartUpgrade_PSW2(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                              CommPortSettings& settings, void* user1, void* user2,
                                              PSWComponents& components) {
    m_usbProgAnswer = ParseUsbProgAnswer(info.GetConfigurationSettings());
    Log::WriteLogP("StartUpgrade_PSW2", "iUSB_PRG_ANSWER:%d", m_usbProgAnswer);
    return StartUpgrade_PSW2Common(info, comm, psw, settings, user1, user2, components);
}

bool UpgradePrinter_ModeU1::SendFirmware(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                         CommPortSettings& settings, void* user1, void* user2) {
    return SendFW(info, comm, psw, settings, user1, user2, m_usbProgAnswer);
}

bool UpgradePrinter_ModeU1::SendFW(UpgradeDataInfo&, CommLayer& comm, PSWFile& psw, CommPortSettings&, void*,
                                   void* user2, int usbProgAnswer) {
    FirmwareImage image;
    std::string printerRelease;
    return RunSteps(
        kSendFW,
        {
            {"take the image",
             [&] {
                 if (CheckImage(psw, comm, image))
                     return Step::Next;
                 comm.Close();
                 return Step::Fail;
             }},
            {"re-open the port",
             [&] {
                 return ReOpenWithRetries(comm, kReOpenAttempts, 5000, "ReOpen Error. Retry %d",
                                          "ReOpen Error. Num Max Retry found. Throw Error")
                            ? Step::Next
                            : Step::Fail;
             }},
            {"handshake",
             [&] {
                 if (!Handshake(comm)) {
                     Log::WriteLog(kSendFW, "Handshake Communication Error");
                     return Step::Fail;
                 }
                 ClearMessage();
                 return Step::Next;
             }},
            {"read the printer's release",
             [&] {
                 if (ReadPrinterRelease(comm, printerRelease, kReleaseReadSize) > 0)
                     return Step::Next;
                 Log::WriteLog(kSendFW, "Read FW Release Error");
                 comm.Close();
                 return Step::Fail;
             }},
            {"release check",
             [&] { return ReleaseCheck(printerRelease, image.packageRelease) ? Step::Next : Step::Finish; }},
            {"send the banks",
             [&] {
                 return SendAttempts(comm, image, printerRelease == image.packageRelease, usbProgAnswer,
                                     user2)
                            ? Step::Next
                            : Step::Fail;
             }},
        });
}

bool UpgradePrinter_ModeU1::SendAttempts(CommLayer& comm, const FirmwareImage& image, bool sameVersion,
                                         int usbProgAnswer, void* progress) {
    unsigned long sum1 = 0;
    unsigned long sum2 = 0;
    GetCheckSumSmice18h(image.data, static_cast<size_t>(image.bankCount) * image.bankSize, &sum1, &sum2);
    for (int attempt = 1; attempt <= kFirmwareAttempts; ++attempt) {
        if (attempt > 1) {
            if (StopBeforeTransfer(kSendFW))
                return false;
            // The Ethernet result leaves the port closed; a retry needs it open again.
            if (comm.GetComPort() == nullptr && !comm.ReOpenNoException())
                Log::WriteLog(kSendFW, "ReOpen before the retry failed");
        }
        CmdConsole::WriteToConsoleString("Sending bank %d/%d (%d%%)", 1, 1, 100);
        Log::WriteLogP(kSendFW, "Sending bank...%d", 1);
        int errorCode = NO_ERROR_COM;
        if (SendBankFlashBanksNew(comm, image.data, static_cast<int>(image.bankSize), image.bankCount, sum1,
                                  sum2, 0, errorCode, image.packageRelease.c_str(), sameVersion,
                                  usbProgAnswer, progress)) {
            ClearMessage();
            MarkFirmwareSent();
            WaitScaled(3000);
            return true;
        }
        if (errorCode == ERROR_DEFAULT_CASE || errorCode == ERROR_BANK_DAMAGED ||
            errorCode == ERROR_COMMAND_TO_SEND_BANK)
            return false;
        SetMessage(MessageForError(errorCode));
        Log::WriteLog(kSendFW, m_message.c_str());
        char line[96];
        snprintf(line, sizeof line, "Error on sending banks. This is the %d/%d try.", attempt,
                 kFirmwareAttempts);
        Report(kSendFW, line);
        WaitScaled(1000);
    }
    return false;
}

bool UpgradePrinter_ModeU1::SendBankFlashBanksNew(CommLayer& comm, const uint8_t* image, int bankSize,
                                                  int bankCount, unsigned long sum1, unsigned long sum2,
                                                  int firstBank, int& errorCode, const char* packageRelease,
                                                  bool sameVersion, int usbProgAnswer, void*) {
    errorCode = NO_ERROR_COM;
    const auto first = static_cast<uint8_t>(firstBank);
    const auto last = static_cast<uint8_t>(firstBank + bankCount - 1);
    const std::array<unsigned char, 4> sendBanks{0x1C, 0xFD, first, last};
    MarkTransferStarted();
    if (!WriteAll(comm, sendBanks.data(), sendBanks.size())) {
        Log::WriteLog(kSendBanks, "ERROR_COMMAND_TO_SEND_BANK");
        errorCode = ERROR_COMMAND_TO_SEND_BANK;
        return Ends(false);
    }
    if (!WriteBanks(comm, image, bankSize, bankCount, firstBank, errorCode))
        return Ends(false);
    Report(kSendBanks, "Programming Firmware...");
    const std::array<unsigned char, 8> program{0x1C,
                                               0xFF,
                                               first,
                                               last,
                                               static_cast<unsigned char>((sum1 >> 8) & 0xFF),
                                               static_cast<unsigned char>(sum1 & 0xFF),
                                               static_cast<unsigned char>((sum2 >> 8) & 0xFF),
                                               static_cast<unsigned char>(sum2 & 0xFF)};
    if (!WriteAll(comm, program.data(), program.size()))
        return Ends(false);
    const uint64_t deadline = DeadlineAfter(static_cast<uint64_t>(kAnswerWaitMs) * m_timeMultiplier);
    const CommPortType kind = comm.GetCommPortType();
    if (usbProgAnswer == 0 && (kind == COMM_USB_PRN || kind == COMM_USB_SCANNER))
        return Ends(ResultWithoutAnswer(comm, sameVersion));
    if (kind == COMM_ETHERNET)
        return Ends(ResultByPolling(comm, errorCode, packageRelease, sameVersion));
    return Ends(ResultByAnswer(comm, errorCode, deadline));
}

bool UpgradePrinter_ModeU1::WriteBanks(CommLayer& comm, const uint8_t* image, int bankSize, int bankCount,
                                       int, int& errorCode) {
    for (int n = 1; n <= bankCount; ++n) {
        NoteStopDuringTransfer();
        CmdConsole::WriteToConsoleString("Tx Bank %d of %d", n, bankCount);
        ComPort* port = comm.GetComPort();
        const unsigned savedTimeout = port ? port->GetWriteTimeout() : 0;
        const unsigned savedPacket = port ? port->GetPacketSize() : 0;
        if (port) {
            port->SetWTimeout(kBankWriteTimeoutMs);
            port->SetPacketSize(kBankPacketSize);
        }
        Log::WriteLogP(kSendBanks, "Sending flash block start...%d/%d", n, bankCount);
        const bool written =
            WriteAll(comm, image + static_cast<size_t>(n - 1) * bankSize, static_cast<unsigned>(bankSize));
        Log::WriteLogP(kSendBanks, "Sending flash block end  ...%d/%d", n, bankCount);
        if (port) {
            port->SetWTimeout(static_cast<int>(savedTimeout));
            port->SetPacketSize(savedPacket);
        }
        if (!written) {
            errorCode = ERROR_BANK_WRITE;
            return false;
        }
    }
    return true;
}

bool UpgradePrinter_ModeU1::ResultWithoutAnswer(CommLayer& comm, bool sameVersion) {
    if (sameVersion) {
        Log::WriteLog(kSendBanks, "Same version: Wait then exit...");
        WaitScaled(6000);
        return true;
    }
    Log::WriteLog(kSendBanks, "Different version: Wait printer reset...");
    if (!ReOpenWithRetries(comm, kRestartReOpenAttempts, 5000, "ReOpen Error. Retry %d", nullptr))
        Log::WriteLog(kSendBanks,
                      "The printer did not come back; its release cannot be checked over this port");
    Log::WriteLog(kSendBanks, "Different version: Printer reset...");
    return true;
}

bool UpgradePrinter_ModeU1::ResultByPolling(CommLayer& comm, int& errorCode, const char* packageRelease,
                                            bool sameVersion) {
    comm.Close();
    WaitScaled(2000);
    if (sameVersion) {
        WaitScaled(1000);
        errorCode = NO_ERROR_COM;
        Log::WriteLog(kSendBanks, "Same version. Force NO_ERROR_COM");
        return true;
    }
    std::string release;
    bool found = false;
    for (int round = 1; round <= kEthernetPollRounds && !found; ++round) {
        WaitScaled(1000);
        int count = 0;
        // A printer still starting up may take the connection before it answers: another round.
        if (comm.ReOpenNoException()) {
            if (Handshake(comm))
                count = ReadPrinterRelease(comm, release, 8191);
            else
                Log::WriteLog(kSendBanks, "Handshake Communication Error");
            comm.Close();
        }
        found = count == 4;
        if (!found) {
            Log::WriteLog(kSendBanks, "Read FW Release Error");
            WaitScaled(500);
        }
    }
    if (found)
        Log::WriteLogP(kSendBanks, "New FW Release :%s", release.c_str());
    if (found && release == packageRelease) {
        errorCode = NO_ERROR_COM;
        Log::WriteLog(kSendBanks, "Upgrade succesfully, version correct. Force NO_ERROR_COM");
        return true;
    }
    Log::WriteLog(kSendBanks, "Upgrade Error, so force ERROR_BANK_NOT_PROGRAMMED");
    errorCode = ERROR_BANK_NOT_PROGRAMMED;
    return false;
}

bool UpgradePrinter_ModeU1::ResultByAnswer(CommLayer& comm, int& errorCode, uint64_t deadline) {
    std::vector<unsigned char> buffer(kAnswerReadSize);
    while (Clock::MonotonicMs() <= deadline && !comm.IsDeviceLost()) {
        NoteStopDuringTransfer();
        unsigned error = 0;
        const int count = comm.Read(buffer.data(), kAnswerReadSize, &error);
        if (count <= 0)
            continue;
        for (int i = 0; i < count; ++i)
            Log::WriteLogP(kSendBanks, "Programming answer read Buffer[%d]: 0x%02x", i,
                           buffer[static_cast<size_t>(i)]);
        const uint8_t last = buffer[static_cast<size_t>(count - 1)];
        if (last == kProgrammed) {
            Log::WriteLogP(kSendBanks, "Programming answer: 0x%02x", last);
            if (ReOpenWithRetries(comm, kReOpenAttempts, 2000, "ReOpen Error. Retry %d",
                                  "ReOpen Error. Num max Retry found. Throw Error"))
                WaitScaled(2000);
            errorCode = NO_ERROR_COM;
            Log::WriteLog(kSendBanks, "Answer: NO_ERROR_COM");
            return true;
        }
        for (const ProgrammingAnswer& answer : kProgrammingErrors)
            if (answer.byte == last) {
                errorCode = answer.code;
                Log::WriteLogP(kSendBanks, "Programming answer: 0x%02x", last);
                Log::WriteLog(kSendBanks, answer.name);
                return false;
            }
    }
    Log::WriteLog(kSendBanks, "No programming answer before the deadline");
    return false;
}
