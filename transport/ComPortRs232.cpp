#include "transport/ComPortRs232.h"

#include "base/Clock.h"
#include "base/Log.h"
#include "transport/PortErrno.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

namespace {

constexpr std::array<std::pair<int, speed_t>, 8> kBaudRates = {{
    {1200, B1200},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
}};

std::optional<speed_t> SpeedFor(int baud) {
    for (const auto& [rate, speed] : kBaudRates)
        if (rate == baud)
            return speed;
    return std::nullopt;
}

std::string Cut(const char* text, size_t limit) {
    std::string result = text ? text : "";
    if (result.size() > limit)
        result.resize(limit);
    return result;
}

} // namespace

ComPortRs232::ComPortRs232() {
    m_portType = COMM_SERIAL;
    m_writeTimeoutMs = 1000;
    m_readTimeoutMs = 1000;
    m_packetSize = 1000;
}

int ComPortRs232::Init(const char* name, int baud, int flow, bool ignoreModemLines) {
    Log::WriteLog("Init", "Begin");
    ClearLastErrorText();
    m_devicePath = Cut(name, kPathLimit);
    m_serialDevice.path = Cut(name, SerialDevice::kTextLimit);
    m_baudRate = baud;
    m_flowControl = flow;
    m_ignoreModemLines = ignoreModemLines;
    // Raw mode: every flag and control character zero, then only what the line needs.
    m_settings = termios{};
    const std::optional<speed_t> speed = SpeedFor(baud);
    bool valid = true;
    if (!speed) {
        m_baudRate = -1;
        Log::WriteLog("Init", "Error invalid Baudrate");
        SetLastErrorText("Error invalid Baudrate");
        valid = false;
    } else if (flow != kFlowNone && flow != kFlowHardware && flow != kFlowSoftware) {
        m_flowControl = -1;
        Log::WriteLog("Init", "Error invalid Flow control");
        SetLastErrorText("Error invalid Flow control");
        valid = false;
    } else {
        // 8 data bits, no parity, one stop bit, receiver on, modem control lines ignored.
        m_settings.c_cflag = CS8 | CREAD | CLOCAL;
        cfsetispeed(&m_settings, *speed);
        cfsetospeed(&m_settings, *speed);
        if (flow == kFlowHardware)
            m_settings.c_cflag |= CRTSCTS;
        else if (flow == kFlowSoftware)
            m_settings.c_iflag |= IXON | IXOFF | IXANY;
    }
    Log::WriteLog("Init", "End");
    return valid ? 1 : 0;
}

int ComPortRs232::OpenSerial(const char* name, int baud, int parity, int byteSize, int stopBits, int flow) {
    Log::WriteLog("OpenSerial", "Begin");
    const std::string path = Cut(name, kPathLimit);
    Log::WriteLogP("OpenSerial",
                   "Opening Port: %s Baurate: %d Parity: %d ByteSize: %d StopBit: %d FlowControl: %d ...",
                   path.c_str(), baud, parity, byteSize, stopBits, flow);
    // A descriptor left from an earlier open would otherwise be taken for the new device.
    Close();
    m_virtualPort = path.find("ttyUSB") != std::string::npos;
    if (m_virtualPort)
        Log::WriteLogP("OpenSerial", "Port: %s is Virtual Com port", path.c_str());
    int result = -1;
    if (Init(path.c_str(), baud, flow, true) == 0) {
        Log::WriteLog("OpenSerial", "Open Port ERROR!!!");
    } else if (Open() == 0) {
        Log::WriteLog("Open", "Open RS232 Device Error");
        SetLastErrorText("Open RS232 Device Error");
        Log::WriteLog("OpenSerial", "Open Port ERROR!!!");
    } else {
        Log::WriteLog("OpenSerial", "Succesfully Open Port!");
        result = 0;
    }
    Log::WriteLog("OpenSerial", "End");
    return result;
}

int ComPortRs232::Open() {
    if (m_fd.IsValid())
        return 1;
    Log::WriteLog("Open", "Begin");
    Log::WriteLogP("Open", "Opening %s", m_devicePath.c_str());
    ClearLastErrorText();
    int result = 0;
    const int fd = (m_baudRate < 0 || m_flowControl < 0)
                       ? -1 // never applied: zeroed settings would hang the line up
                       : open(m_devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Log::WriteLogP("Open", "Error to open Serial port(%d)", fd);
        LogErrno("Open", errno);
        SetLastErrorText("Error to open Serial port");
    } else {
        UniqueFd device(fd);
        tcflush(fd, TCOFLUSH);
        if (tcsetattr(fd, TCSANOW, &m_settings) != 0) {
            Log::WriteLog("Open", "Error to tcsetattr");
            LogErrno("Open", errno);
            SetLastErrorText("Error to tcsetattr");
        } else {
            m_fd = std::move(device);
            SetDeviceLost(false);
            result = 1;
        }
    }
    Log::WriteLog("Open", "End");
    return result;
}

int ComPortRs232::Close() {
    Log::WriteLog("Close", "Begin");
    ClearLastErrorText();
    Log::WriteLog("Close", "ClosePort");
    m_fd.Reset();
    Log::WriteLog("Close", "End");
    return 1;
}

int ComPortRs232::ReOpen() {
    Log::WriteLog("ReOpen", "Begin");
    Log::WriteLogP("ReOpen", "ReOpen1 %s", m_devicePath.c_str());
    const std::string path = m_devicePath;
    const int baud = m_baudRate;
    const int flow = m_flowControl;
    const bool ignore = m_ignoreModemLines;
    Close();
    int result = 0;
    if (Init(path.c_str(), baud, flow, ignore) != 0) {
        Log::WriteLogP("ReOpen", "ReOpen2 %s", path.c_str());
        result = Open();
        if (result == 0) {
            Log::WriteLog("Open", "Open RS232 Device Error");
            SetLastErrorText("Open RS232 Device Error");
        }
    }
    Log::WriteLog("ReOpen", "End");
    return result;
}

ComPortRs232::ModemLines ComPortRs232::ReadModemLines() const {
    if (m_ignoreModemLines)
        return {true, true};
    std::optional<int> status;
    if (m_modemStatusQuery) {
        status = m_modemStatusQuery(m_fd.Get());
    } else if (int bits = 0; ioctl(m_fd.Get(), TIOCMGET, &bits) == 0) {
        status = bits;
    } else {
        LogErrno("ModemLines", errno);
    }
    if (!status)
        return {}; // lines that cannot be read count as off
    return {(*status & TIOCM_DSR) != 0, (*status & TIOCM_CTS) != 0};
}

bool ComPortRs232::WaitReady(short events, uint32_t timeoutMs) const {
    pollfd entry{m_fd.Get(), events, 0};
    const int waitMs = timeoutMs == 0 ? 0 : static_cast<int>(Clock::ScaledMs(timeoutMs));
    int ready = 0;
    do
        ready = poll(&entry, 1, waitMs);
    while (ready < 0 && errno == EINTR);
    // Like select(): a hang-up or error also counts as ready, so the following call reports it.
    return ready > 0;
}

void ComPortRs232::Fail(const char* where, const char* text, unsigned& error) {
    Log::WriteLog(where, text);
    SetLastErrorText("%s", text);
    error = 1;
}

void ComPortRs232::NoteLineError(const char* where, int errnum) {
    LogErrno(where, errnum);
    // A hung-up line (the adapter unplugged, the other end of a pty closed) answers EIO; a device
    // node whose driver went away answers ENODEV or ENXIO.
    if (errnum == EIO || errnum == ENODEV || errnum == ENXIO)
        SetDeviceLost(true);
}

unsigned ComPortRs232::Write(const unsigned char* buf, unsigned len, unsigned* error) {
    Log::WriteLog("Write", "Begin");
    unsigned ignored = 0;
    unsigned& err = error ? *error : ignored;
    err = 0;
    unsigned total = 0;
    if (!m_fd.IsValid()) {
        Fail("Write", "Write Error", err);
    } else if (buf != nullptr) {
        const unsigned packet = m_packetSize > 0 ? m_packetSize : len;
        while (total < len) {
            const unsigned chunk = std::min(packet, len - total);
            if (ComWrite(buf + total, chunk, err) != chunk || err != 0) {
                total = 0;
                break;
            }
            total += chunk;
        }
    }
    Log::WriteLog("Write", "End");
    return total;
}

unsigned ComPortRs232::ComWrite(const unsigned char* buf, unsigned len, unsigned& error) {
    if (!WaitReady(POLLOUT, m_writeTimeoutMs) && m_writeTimeoutMs != 0) {
        Fail("ComWrite", "Write Buffer Full", error);
        return 0;
    }
    if (!ReadModemLines().dsr) {
        Log::WriteLog("ComWrite", "DSR 0");
        SetLastErrorText("Write Error (DSR 0)");
        error = 1;
        return 0;
    }
    Log::WriteLog("ComWrite", "DSR 1");
    if (!WaitForCts(error))
        return 0;
    return WriteAll(buf, len, error);
}

bool ComPortRs232::WaitForCts(unsigned& error) {
    const uint32_t polls = m_writeTimeoutMs / kCtsPollMs;
    for (uint32_t count = 0;; ++count) {
        const ModemLines lines = ReadModemLines();
        if (lines.cts)
            return true;
        if (!lines.dsr) {
            Log::WriteLog("ComWrite", "DSR 0");
            SetLastErrorText("Write Error (DSR 0)");
            error = 1;
            return false;
        }
        if (count >= polls) {
            Fail("ComWrite", "Write / Timeout Error (CTS 0)", error);
            return false;
        }
        Log::WriteLog("ComWrite", "Waiting CTS...");
        Clock::SleepMs(kCtsPollMs);
    }
}

unsigned ComPortRs232::WriteAll(const unsigned char* buf, unsigned len, unsigned& error) {
    // A line that never drains ends the write once the write timeout has passed; without one (0),
    // once nothing has gone out for the stall limit.
    const bool stallOnly = m_writeTimeoutMs == 0;
    const uint64_t limit = Clock::ScaledMs(stallOnly ? kSendStallLimitMs : m_writeTimeoutMs);
    uint64_t since = Clock::MonotonicMs();
    unsigned written = 0;
    while (written < len) {
        const ssize_t n = ::write(m_fd.Get(), buf + written, len - written);
        if (n > 0) {
            written += static_cast<unsigned>(n);
            if (stallOnly)
                since = Clock::MonotonicMs();
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
            if (Clock::MonotonicMs() - since >= limit) {
                Fail("ComWrite", "Write Buffer Full", error);
                return written;
            }
            Clock::SleepMs(kWriteRetryMs);
            continue;
        }
        NoteLineError("ComWrite", errno);
        Log::WriteLog("ComWrite", "Error ComWrite");
        SetLastErrorText("Write Error");
        error = 1;
        return written;
    }
    return written;
}

unsigned ComPortRs232::Read(unsigned char* buf, unsigned len, unsigned* error) {
    Log::WriteLog("Read", "Begin");
    unsigned ignored = 0;
    unsigned& err = error ? *error : ignored;
    err = 0;
    ClearLastErrorText();
    unsigned result = 0;
    if (!m_fd.IsValid() || buf == nullptr) {
        Fail("Read", "Read Error", err);
    } else if (!ReadModemLines().dsr) {
        Log::WriteLog("Read", "DSR 0");
        SetLastErrorText("Read Error (DSR 0)");
        err = 1;
    } else {
        Log::WriteLog("Read", "DSR 1");
        if (!WaitReady(POLLIN, m_readTimeoutMs)) {
            Fail("Read", "Read select() timeout! No data read", err);
        } else {
            // A moment for the driver to queue what is on its way; too short to be worth scaling.
            std::this_thread::sleep_for(std::chrono::microseconds(10));
            int pending = 0;
            if (ioctl(m_fd.Get(), FIONREAD, &pending) == 0 && pending > kAnswerPauseThreshold)
                Clock::SleepMs(kAnswerPauseMs); // an answer is arriving: let the rest of it in
            ssize_t n = 0;
            do
                n = ::read(m_fd.Get(), buf, len);
            while (n < 0 && errno == EINTR);
            if (n > 0) {
                result = static_cast<unsigned>(n);
            } else {
                // Nothing to read although the line said readable: it was hung up.
                NoteLineError("Read", n < 0 ? errno : EIO);
                Fail("Read", "Read Error", err);
            }
        }
    }
    Log::WriteLog("Read", "End");
    return result;
}

void ComPortRs232::CleanTX() {
    Log::WriteLog("CleanTX", "Begin");
    if (m_fd.IsValid() && tcflush(m_fd.Get(), TCOFLUSH) != 0)
        LogErrno("CleanTX", errno);
    Log::WriteLog("CleanTX", "End");
}

void ComPortRs232::CleanRX() {
    Log::WriteLog("CleanRX", "Begin");
    if (m_fd.IsValid() && tcflush(m_fd.Get(), TCIFLUSH) != 0)
        LogErrno("CleanRX", errno);
    Log::WriteLog("CleanRX", "End");
}
