// What U3 and U5 share: the start of the firmware procedure and the transfer of one group of banks.
#include "upgrade/UpgradeModeU3U5.h"

#include "base/Clock.h"
#include "base/CmdConsole.h"
#include "base/Log.h"
#include "comm/CommLayer.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr const char* kWhere = "SendBankGroup";

bool WriteAll(CommLayer& comm, const unsigned char* bytes, unsigned length) {
    unsigned error = 0;
    return comm.Write(bytes, length, &error) == length && error == 0;
}

// The port's packet size and write timeout widened for a group, restored when the group ends.
class TransferSettings {
public:
    explicit TransferSettings(ComPort& port)
        : m_port(port), m_packet(port.GetPacketSize()), m_timeout(port.GetWriteTimeout()) {
        port.SetPacketSize(UpgradePrinter_BankGroups::kGroupPacketSize);
        port.SetWTimeout(
            static_cast<int>((UpgradePrinter_BankGroups::kGroupPacketSize / m_packet + 1) * m_timeout));
    }
    ~TransferSettings() {
        m_port.SetPacketSize(m_packet);
        m_port.SetWTimeout(static_cast<int>(m_timeout));
    }
    TransferSettings(const TransferSettings&) = delete;
    TransferSettings& operator=(const TransferSettings&) = delete;

private:
    ComPort& m_port;
    unsigned m_packet;
    unsigned m_timeout;
};

} // namespace

bool UpgradePrinter_BankGroups::StartUpgrade_PSW1(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                                  CommPortSettings& settings, void* user1, void* user2,
                                                  PSWComponents&) {
    return StartUpgrade_PSW1Common(info, comm, psw, settings, user1, user2);
}

bool UpgradePrinter_BankGroups::StartUpgrade_PSW2(UpgradeDataInfo& info, CommLayer& comm, PSWFile& psw,
                                                  CommPortSettings& settings, void* user1, void* user2,
                                                  PSWComponents& components) {
    return StartUpgrade_PSW2Common(info, comm, psw, settings, user1, user2, components);
}

bool UpgradePrinter_BankGroups::CheckImageForMode(const FirmwareImage&, CommLayer& comm) {
    // The write timeout of a group is scaled by the port's packet size: a port reporting 0 cannot be
    // sized for the transfer.
    if (comm.GetComPort() != nullptr && comm.GetComPort()->GetPacketSize() == 0) {
        Report("CheckImage",
               "The port reports a packet size of 0: the transfer cannot be timed, upgrade refused, "
               "nothing sent");
        return false;
    }
    return true;
}

const UpgradePrinter_BankGroups::Verdict* UpgradePrinter_BankGroups::FirstVerdict(const unsigned char* bytes,
                                                                                  int count) {
    static constexpr Verdict kVerdicts[] = {
        {0xAA, nullptr},          {0x33, "ID Module Error"},     {0x44, "Module Error"},
        {0x66, "Ram Error"},      {0x77, "Program Flash Error"}, {0x88, "Clear Flash Error"},
        {0x99, "Checksum Error"},
    };
    for (int i = 0; i < count; ++i)
        for (const Verdict& verdict : kVerdicts)
            if (verdict.byte == bytes[i])
                return &verdict;
    return nullptr;
}

bool UpgradePrinter_BankGroups::WaitListeningForRefusal(CommLayer& comm, uint32_t waitMs, const char* where) {
    const uint64_t deadline = DeadlineAfter(static_cast<uint64_t>(waitMs) * m_timeMultiplier);
    ComPort* port = comm.GetComPort();
    std::vector<unsigned char> buffer(kAnswerReadSize);
    const Verdict* verdict = nullptr;
    // Until a verdict, the end of the wait, or the printer gone for its restart (a hang-up, a read
    // error): then the rest of the wait is slept as before.
    while (port != nullptr && verdict == nullptr && Clock::MonotonicMs() < deadline && !comm.IsDeviceLost()) {
        NoteStopDuringTransfer();
        unsigned error = 0;
        const int count = comm.Read(buffer.data(), kAnswerReadSize, &error);
        if (count < 0 || error != 0)
            break;
        if (count > 0)
            verdict = FirstVerdict(buffer.data(), count);
    }
    if (verdict != nullptr && verdict->text != nullptr) {
        char text[160];
        snprintf(text, sizeof text, "Answer Error(0x%02x) : %s: the printer refused the firmware",
                 verdict->byte, verdict->text);
        Report(where, text);
        return false;
    }
    // The deadline is in real milliseconds; the clock scales what it is asked to sleep.
    const uint64_t now = Clock::MonotonicMs();
    if (now < deadline)
        Clock::SleepMs(
            static_cast<uint32_t>(std::ceil(static_cast<double>(deadline - now) / Clock::Scale())));
    return true;
}

bool UpgradePrinter_BankGroups::IsUsb(const CommLayer& comm) {
    const CommPortType kind = comm.GetCommPortType();
    return kind == COMM_USB_PRN || kind == COMM_USB_SCANNER;
}

bool UpgradePrinter_BankGroups::ReOpenAfterRestart(CommLayer& comm) {
    return ReOpenWithRetries(comm, kRestartReOpenAttempts, 5000, "ReOpen Error. Retry %d", nullptr);
}

UpgradePrinter::Step UpgradePrinter_BankGroups::CommonStart(CommLayer& comm, const PSWFile& psw,
                                                            FirmwareImage& image, bool& sameVersion,
                                                            const char* handshakeError) {
    constexpr const char* kStart = "SendFW";
    if (!CheckImage(psw, comm, image)) {
        comm.Close();
        return Step::Fail;
    }
    // Without a successful re-open the handshake below fails and ends the procedure.
    if (ReOpenWithRetries(comm, kReOpenAttempts, 5000, "ReOpen Error. Retry %d",
                          "ReOpen Error. Num max Retry found. Throw Error"))
        WaitScaled(5000);
    if (!Handshake(comm)) {
        Log::WriteLog(kStart, handshakeError);
        return Step::Fail;
    }
    std::string printerRelease;
    if (ReadPrinterRelease(comm, printerRelease, kReleaseReadSize) <= 0) {
        Log::WriteLog(kStart, "Read FW Release Error");
        comm.Close();
        return Step::Fail;
    }
    if (!ReleaseCheck(printerRelease, image.packageRelease))
        return Step::Finish;
    sameVersion = printerRelease == image.packageRelease;
    return Step::Next;
}

bool UpgradePrinter_BankGroups::SendGroup(CommLayer& comm, const std::vector<const uint8_t*>& banks,
                                          int bankSize, int firstNo, int lastNo, unsigned long sum1,
                                          unsigned long sum2, int progressBase, int progressTotal) {
    ComPort* port = comm.GetComPort();
    if (port == nullptr || port->GetPacketSize() == 0) {
        Report(kWhere, "The port is closed or reports a packet size of 0: nothing sent");
        return false;
    }
    MarkTransferStarted();
    TransferSettings widened(*port);
    const auto first = static_cast<unsigned char>(firstNo);
    const auto last = static_cast<unsigned char>(lastNo);
    Log::WriteLog(kWhere, "Sending command to start upgrade...");
    const std::array<unsigned char, 4> start{0x1C, 0xFD, first, last};
    bool ok = WriteAll(comm, start.data(), start.size());
    for (size_t k = 0; ok && k < banks.size(); ++k) {
        NoteStopDuringTransfer();
        const int number = progressBase + static_cast<int>(k) + 1;
        char line[64];
        snprintf(line, sizeof line, "Sending bank...%d/%d (%d%%)", number, progressTotal,
                 number * 100 / progressTotal);
        Report(kWhere, line);
        ok = WriteAll(comm, banks[k], static_cast<unsigned>(bankSize));
    }
    if (ok) {
        Log::WriteLog(kWhere, "Sending command to program Flash...");
        const std::array<unsigned char, 8> program{0x1C,
                                                   0xFF,
                                                   first,
                                                   last,
                                                   static_cast<unsigned char>((sum1 >> 8) & 0xFF),
                                                   static_cast<unsigned char>(sum1 & 0xFF),
                                                   static_cast<unsigned char>((sum2 >> 8) & 0xFF),
                                                   static_cast<unsigned char>(sum2 & 0xFF)};
        ok = WriteAll(comm, program.data(), program.size());
    }
    if (!ok)
        Log::WriteLog(kWhere, "Communication Error! exit...");
    return ok;
}
