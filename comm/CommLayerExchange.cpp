// Collecting answers and the identification handshake.
#include "comm/AnswerCollector.h"
#include "comm/CommLayer.h"
#include "comm/Commands.h"

#include "base/Clock.h"
#include "base/Log.h"
#include "model/PrinterData.h"

#include <cstring>

std::optional<std::vector<uint8_t>> CommLayer::ReadProtocolData() {
    return CollectAnswer(std::nullopt);
}

std::optional<std::vector<uint8_t>> CommLayer::ReadProtocolData(int timeoutMs) {
    return CollectAnswer(timeoutMs);
}

std::optional<std::vector<uint8_t>> CommLayer::CollectAnswer(std::optional<int> timeoutMs) {
    Log::WriteLog("ReadProtocolData", "Begin");
    AnswerCollector answer;
    const uint64_t start = Clock::MonotonicMs();
    const uint64_t limit = timeoutMs ? Clock::ScaledMs(static_cast<uint32_t>(std::max(*timeoutMs, 0))) : 0;
    int emptyReads = 0;
    for (;;) {
        if (answer.IsOverflowing()) {
            Log::WriteLogP("ReadProtocolData", "Answer larger than %zu bytes refused",
                           AnswerCollector::kMaxAnswerSize);
            return std::nullopt;
        }
        unsigned error = 0;
        int count = Read(answer.ReadPosition(), AnswerCollector::kReadSize, &error);
        if (count <= 0) {
            if (IsDeviceLost()) {
                Log::WriteLog("ReadProtocolData", "Device lost, no answer can come");
                return std::nullopt;
            }
            // The untimed count is never reset by data: three empty reads end any answer.
            bool giveUp = timeoutMs ? Clock::MonotonicMs() - start > limit : ++emptyReads >= 3;
            if (giveUp) {
                Log::WriteLog("ReadProtocolData", "No answer");
                return std::nullopt;
            }
            continue;
        }
        if (answer.Add(static_cast<size_t>(count))) {
            Log::WriteLog("ReadProtocolData", "End");
            return answer.Take();
        }
    }
}

namespace {
constexpr unsigned kScratchSize = 512;
constexpr uint32_t kRetryPauseMs = 3000;
// Longer than the gaps inside one answer split on the way, short enough to cost a handshake little.
constexpr int kUnframedPauseMs = 100;
} // namespace

int CommLayer::ReadUnframedAnswer(unsigned char* buf, unsigned len, unsigned* error) {
    int count = Read(buf, len, error);
    if (count <= 0 || !m_port)
        return count;
    const unsigned readTimeout = m_port->GetTimeoutRX();
    m_port->SetRTimeout(kUnframedPauseMs);
    while (static_cast<unsigned>(count) < len) {
        unsigned more = 0;
        const int n = Read(buf + count, len - static_cast<unsigned>(count), &more);
        if (n <= 0)
            break;
        count += n;
    }
    m_port->SetRTimeout(static_cast<int>(readTimeout));
    return count;
}

bool CommLayer::ReadIdentityCode(unsigned char* scratch, uint64_t& gsi, int attempts) {
    for (int attempt = 0;; ++attempt) {
        if (attempt % 2 == 0)
            WriteBytes(Commands::Cmd_CommandSetESCPOSforSV);
        CleanRX();
        WriteBytes(Commands::Cmd_CommandCAN);
        WriteBytes(Commands::Cmd_CommandGetGSI);
        memset(scratch, 0, kScratchSize);
        unsigned error = 0;
        // The identity code is one byte: more is noise before it (or a wrong baud rate), never a code.
        const int count = ReadUnframedAnswer(scratch, kScratchSize - 1, &error);
        if (count == 1)
            break;
        if (count > 1)
            Log::WriteLogP("HandshakeCommunication", "Identity answer of %d bytes ignored", count);
        if (attempt + 1 >= attempts) {
            Log::WriteLog("HandshakeCommunication", "Read GSI Error");
            return false;
        }
        Log::WriteLog("HandshakeCommunication", "Read GSI Error... Retry");
        Clock::SleepMs(kRetryPauseMs);
    }
    if (scratch[0] != 0xFF) {
        gsi = 0x100 + scratch[0];
        return true;
    }
    WriteBytes(Commands::Cmd_CommandCAN);
    WriteBytes(Commands::Cmd_CommandGetGSIFF);
    memset(scratch, 0, kScratchSize);
    unsigned error = 0;
    if (ReadUnframedAnswer(scratch, kScratchSize - 1, &error) != 2) {
        Log::WriteLog("HandshakeCommunication", "Read GSI FF Error");
        return false;
    }
    gsi = static_cast<uint64_t>(scratch[0]) * 256 + scratch[1];
    return true;
}

bool CommLayer::HandshakeCommunication(PrinterIdentity* identity, int attempts) {
    Log::WriteLog("HandshakeCommunication", "Begin");
    if (attempts == 0)
        attempts = kDefaultHandshakeAttempts;
    unsigned char scratch[kScratchSize];
    uint64_t gsi = 0;
    if (!ReadIdentityCode(scratch, gsi, attempts))
        return false;
    if (identity && !identity->gsi)
        identity->gsi = gsi;
    Log::WriteLogP("HandshakeCommunication", "GSI 0x%04llx ", static_cast<unsigned long long>(gsi));
    WriteBytes(Commands::Cmd_CommandCAN);
    WriteBytes(Commands::Cmd_CommandGetFWREL);
    memset(scratch, 0, sizeof scratch);
    unsigned error = 0;
    int count = ReadUnframedAnswer(scratch, kScratchSize - 1, &error);
    if (count <= 0) {
        Log::WriteLog("HandshakeCommunication", "Read FW Release Error");
        return false;
    }
    if (identity && !identity->firmwareRelease)
        identity->firmwareRelease = std::string(reinterpret_cast<const char*>(scratch));
    Log::WriteLog("HandshakeCommunication", "End");
    return true;
}

bool CommLayer::HandshakeCommunication(PrinterData* data, int attempts) {
    PrinterIdentity identity;
    if (!HandshakeCommunication(&identity, attempts))
        return false;
    if (data != nullptr && !data->GetGSI() && identity.gsi)
        data->SetGSI(*identity.gsi);
    if (data != nullptr && !data->GetFWRel() && identity.firmwareRelease)
        data->SetFWRel(*identity.firmwareRelease);
    return true;
}
