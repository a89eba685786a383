#include "transport/ComPort.h"

#include "base/Clock.h"
#include "base/Log.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

int ComPort::Init(const char*, const char*) {
    return 0;
}
int ComPort::Init(const char*, int, int, bool) {
    return 0;
}
int ComPort::Init(const char*, int) {
    return 0;
}
int ComPort::InitWithVid(const char*, const char*, const char*) {
    return 0;
}
int ComPort::Open() {
    return 0;
}
int ComPort::Close() {
    return 0;
}
unsigned ComPort::Write(const unsigned char*, unsigned, unsigned*) {
    return 0;
}
unsigned ComPort::Read(unsigned char*, unsigned, unsigned*) {
    return 0;
}
void ComPort::CleanTX() {}
void ComPort::CleanRX() {}
void ComPort::SetWTimeout(int) {}
void ComPort::SetRTimeout(int) {}
unsigned ComPort::GetTimeoutRX() {
    return 0;
}
int ComPort::ReOpen() {
    return 0;
}
int ComPort::BackupPortInfo() {
    return 0;
}
int ComPort::RestoreportInfo() {
    return 0;
}
void ComPort::DumpPortInfo() {}
int ComPort::SaveLocationCurrentDevice() {
    return 0;
}
int ComPort::RestoreAddrNumFrmLocatio() {
    return 0;
}
int ComPort::OpenEthernet(const char*, int) {
    return -1;
}
int ComPort::OpenUsb(const char*, const char*, const char*, bool) {
    return -1;
}
int ComPort::OpenSerial(const char*, int, int, int, int, int) {
    return -1;
}

void ComPort::SetLastErrorText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vsnprintf(m_lastError, sizeof m_lastError, format, args);
    va_end(args);
}

unsigned ComPort::WritePackets(const unsigned char* buf, unsigned len, int delayMs, int packetSize,
                               unsigned* error) {
    Log::WriteLog("WritePackets", "Begin");
    unsigned dummy = 0;
    unsigned& err = error ? *error : dummy;
    err = 0;
    if (packetSize <= 0 || (buf == nullptr && len > 0)) {
        Log::WriteLogP("WritePackets", "Invalid packet size %d", packetSize);
        err = 1;
        return 0;
    }
    const uint32_t savedPacketSize = m_packetSize;
    m_packetSize = static_cast<uint32_t>(packetSize);
    unsigned offset = 0;
    while (offset < len) {
        unsigned chunk = std::min<unsigned>(static_cast<unsigned>(packetSize), len - offset);
        std::vector<unsigned char> packet(buf + offset, buf + offset + chunk);
        unsigned writeError = 0;
        unsigned written = Write(packet.data(), chunk, &writeError);
        if (written != chunk) {
            Log::WriteLogP("WritePackets", "Error Write (%u)", writeError);
            m_packetSize = savedPacketSize;
            err = writeError != 0 ? writeError : 1;
            return 0;
        }
        offset += chunk;
        Log::WriteLogP("WritePackets", "Succesfully Written %u Bytes", chunk);
        Clock::SleepMs(delayMs > 0 ? static_cast<uint32_t>(delayMs) : 0);
    }
    m_packetSize = savedPacketSize;
    Log::WriteLog("WritePackets", "End");
    return offset;
}

int ComPort::ReadAll(unsigned char* buf, int len, int timeoutMs, unsigned* error) {
    Log::WriteLog("ReadAll", "Begin");
    unsigned dummy = 0;
    unsigned& err = error ? *error : dummy;
    err = 0;
    if (buf == nullptr || len <= 0) {
        Log::WriteLog("ReadAll", "End");
        return 0;
    }
    const uint64_t start = Clock::MonotonicMs();
    const uint64_t limit = Clock::ScaledMs(timeoutMs > 0 ? static_cast<uint32_t>(timeoutMs) : 0);
    int count = 0;
    while (count < len) {
        unsigned readError = 0;
        count += static_cast<int>(Read(buf + count, static_cast<unsigned>(len - count), &readError));
        if (count >= len)
            break;
        const bool lost = IsDeviceLost();
        if (lost)
            Log::WriteLog("ReadAll", "Device lost, no more data can come");
        if (lost || Clock::MonotonicMs() - start >= limit) {
            Log::WriteLog("ReadAll", "End");
            Log::WriteLogP("ReadAll", "Read Only %d Bytes of %d", count, len);
            err = 1;
            return count;
        }
    }
    Log::WriteLog("ReadAll", "End");
    return count;
}
