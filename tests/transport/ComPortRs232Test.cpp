// The serial port over a real pty pair. A pty takes the terminal settings but has no UART behind it:
// baud rate and flow control change nothing on the wire, and the modem-line query (TIOCMGET) fails
// with ENOTTY, so here DSR/CTS are either ignored (always on) or unreadable (off) - the CTS wait runs
// on scripted lines in SerialModemLinesTest; and output reaches the master's queue at once, so CleanTX
// has nothing to discard there.
#include "transport/ComPortRs232.h"
#include "tests/transport/PortTestSupport.h"

#include "base/Clock.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <future>

namespace {

class ComPortRs232Test : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::SetScaleForTesting(0.01);
        int master = -1;
        int slave = -1;
        char name[256] = {};
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        m_master.Reset(master);
        // Kept open so that the line stays up while the port reopens it.
        m_slaveHolder.Reset(slave);
        m_path = name;
        // The test side reads and writes the bytes unchanged, too.
        termios raw{};
        tcgetattr(master, &raw);
        cfmakeraw(&raw);
        tcsetattr(master, TCSANOW, &raw);
    }
    void TearDown() override { Clock::SetScaleForTesting(1.0); }

    void OpenPort(ComPortRs232& port, int baud = 115200, int flow = 0) {
        ASSERT_EQ(port.OpenSerial(m_path.c_str(), baud, 0, 8, 0, flow), 0) << port.GetLastErrorText();
    }
    // Waits until the port's side of the line holds `count` unread bytes.
    bool InputWaiting(int count) const {
        return WaitUntil([&] {
            int waiting = 0;
            return ioctl(m_slaveHolder.Get(), FIONREAD, &waiting) == 0 && waiting == count;
        });
    }
    termios LineSettings() const {
        termios settings{};
        tcgetattr(m_master.Get(), &settings); // a pty master reports its slave's settings
        return settings;
    }

    LogCapture m_log;
    UniqueFd m_master;
    UniqueFd m_slaveHolder;
    std::string m_path;
};

} // namespace

TEST_F(ComPortRs232Test, InitAcceptsTheListedRatesAndFlowControls) {
    ComPortRs232 port;
    const std::pair<int, speed_t> rates[] = {{1200, B1200},   {2400, B2400},    {4800, B4800},
                                             {9600, B9600},   {19200, B19200},  {38400, B38400},
                                             {57600, B57600}, {115200, B115200}};
    for (const auto& [baud, speed] : rates) {
        ASSERT_EQ(port.Init("/dev/ttyS9", baud, 0, false), 1) << baud;
        EXPECT_EQ(cfgetospeed(&port.GetTerminalSettings()), speed) << baud;
        EXPECT_EQ(cfgetispeed(&port.GetTerminalSettings()), speed) << baud;
    }
    const termios& settings = port.GetTerminalSettings();
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(settings.c_cflag & CREAD);
    EXPECT_TRUE(settings.c_cflag & CLOCAL);
    EXPECT_FALSE(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    EXPECT_EQ(settings.c_lflag, 0u);
    EXPECT_EQ(settings.c_oflag, 0u);
    EXPECT_EQ(settings.c_iflag, 0u);
    for (cc_t c : settings.c_cc)
        EXPECT_EQ(c, 0);

    ASSERT_EQ(port.Init("/dev/ttyS9", 9600, 1, false), 1);
    EXPECT_TRUE(port.GetTerminalSettings().c_cflag & CRTSCTS);
    EXPECT_EQ(port.GetTerminalSettings().c_iflag, 0u);
    ASSERT_EQ(port.Init("/dev/ttyS9", 9600, 2, true), 1);
    EXPECT_FALSE(port.GetTerminalSettings().c_cflag & CRTSCTS);
    EXPECT_EQ(port.GetTerminalSettings().c_iflag, static_cast<tcflag_t>(IXON | IXOFF | IXANY));
    EXPECT_TRUE(port.GetIgnoreModemLines());
    EXPECT_EQ(port.GetDevicePath(), "/dev/ttyS9");
    EXPECT_EQ(port.GetSerialDevice().path, "/dev/ttyS9");
}

TEST_F(ComPortRs232Test, InitRefusesOtherRatesAndFlowCodes) {
    ComPortRs232 port;
    EXPECT_EQ(port.Init("/dev/ttyS9", 14400, 0, false), 0);
    EXPECT_EQ(port.GetBaudRate(), -1);
    EXPECT_STREQ(port.GetLastErrorText(), "Error invalid Baudrate");
    EXPECT_TRUE(m_log.Has("Init", "Error invalid Baudrate"));

    EXPECT_EQ(port.Init("/dev/ttyS9", 9600, 3, false), 0);
    EXPECT_EQ(port.GetFlowControl(), -1);
    EXPECT_STREQ(port.GetLastErrorText(), "Error invalid Flow control");
    EXPECT_EQ(port.Init("/dev/ttyS9", 9600, -1, false), 0);
}

TEST_F(ComPortRs232Test, RefusedRateFailsBeforeTheDeviceIsTouched) {
    ComPortRs232 port;
    EXPECT_EQ(port.OpenSerial(m_path.c_str(), 14400, 0, 8, 0, 0), -1);
    EXPECT_STREQ(port.GetLastErrorText(), "Error invalid Baudrate");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(m_log.Has("Open", "Opening " + m_path));
    EXPECT_TRUE(m_log.Has("OpenSerial", "Open Port ERROR!!!"));
}

TEST_F(ComPortRs232Test, MissingDeviceFailsToOpen) {
    ComPortRs232 port;
    EXPECT_EQ(port.OpenSerial("/dev/dalvora-no-such-tty", 9600, 0, 8, 0, 0), -1);
    EXPECT_STREQ(port.GetLastErrorText(), "Open RS232 Device Error");
    EXPECT_TRUE(m_log.Has("Open", "Error to open Serial port(-1)"));
    EXPECT_TRUE(m_log.Has("Open", "Open RS232 Device Error"));
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(ComPortRs232Test, OpenAppliesRawSettingsAndIgnoresModemLines) {
    ComPortRs232 port;
    OpenPort(port, 19200, 0);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_TRUE(port.GetIgnoreModemLines()); // every port opened this way
    EXPECT_TRUE(
        m_log.Has("OpenSerial", "Opening Port: " + m_path +
                                    " Baurate: 19200 Parity: 0 ByteSize: 8 StopBit: 0 FlowControl: 0 ..."));
    EXPECT_TRUE(m_log.Has("OpenSerial", "Succesfully Open Port!"));
    const termios line = LineSettings();
    EXPECT_FALSE(line.c_lflag & (ICANON | ECHO)); // a fresh pty has both on
    EXPECT_FALSE(line.c_oflag & OPOST);
    EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B19200));
    // The descriptor stays non-blocking.
    EXPECT_EQ(port.GetLastErrorText()[0], '\0');
}

TEST_F(ComPortRs232Test, VirtualPortFlagFollowsTheDeviceName) {
    TempDir dir;
    const std::string adapter = dir.file("ttyUSB7");
    std::filesystem::create_symlink(m_path, adapter);
    ComPortRs232 port;
    OpenPort(port);
    EXPECT_FALSE(port.IsVirtualPort());
    ASSERT_EQ(port.OpenSerial(adapter.c_str(), 9600, 0, 8, 0, 0), 0);
    EXPECT_TRUE(port.IsVirtualPort());
    EXPECT_EQ(port.GetDevicePath(), adapter);
    EXPECT_TRUE(m_log.Has("OpenSerial", "Port: " + adapter + " is Virtual Com port"));
    OpenPort(port);
    EXPECT_FALSE(port.IsVirtualPort());
}

TEST_F(ComPortRs232Test, WriteSendsEverythingInChunks) {
    ComPortRs232 port;
    OpenPort(port);
    const std::vector<unsigned char> data = Pattern(2500);
    std::future<std::vector<unsigned char>> received =
        std::async(std::launch::async, [&] { return ReadBytes(m_master.Get(), data.size()); });
    unsigned error = 9;
    EXPECT_EQ(port.Write(data.data(), static_cast<unsigned>(data.size()), &error), data.size());
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(received.get(), data);
    EXPECT_TRUE(m_log.Has("ComWrite", "DSR 1"));
}

TEST_F(ComPortRs232Test, WriteToALineThatNeverDrainsEndsWithBufferFull) {
    ComPortRs232 port;
    OpenPort(port);
    const std::vector<unsigned char> data = Pattern(1 << 20); // far more than a pty buffers
    // 0 is what the frame layer sets after opening: the stall limit still ends the write.
    for (int timeout : {200, 0}) {
        port.SetWTimeout(timeout);
        std::future<std::pair<unsigned, unsigned>> writing = std::async(std::launch::async, [&] {
            unsigned error = 0;
            const unsigned written = port.Write(data.data(), static_cast<unsigned>(data.size()), &error);
            return std::make_pair(written, error);
        });
        const bool ended = writing.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
        while (writing.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            ReadBytes(m_master.Get(), data.size(), 100); // drains the line so that a stuck write ends
        EXPECT_TRUE(ended) << "write timeout " << timeout << ": the write never ended";
        EXPECT_EQ(writing.get(), std::make_pair(0u, 1u)) << "write timeout " << timeout;
        EXPECT_STREQ(port.GetLastErrorText(), "Write Buffer Full");
    }
    EXPECT_FALSE(port.IsDeviceLost()); // a line that is slow to drain is still there
}

TEST_F(ComPortRs232Test, ReadReturnsWaitingBytesAndTimesOutOnSilence) {
    ComPortRs232 port;
    OpenPort(port);
    ASSERT_TRUE(SendAll(m_master.Get(), Bytes("abc")));
    unsigned char buf[64];
    unsigned error = 9;
    EXPECT_EQ(port.Read(buf, sizeof buf, &error), 3u);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 3), "abc");

    port.SetRTimeout(700);
    const uint64_t start = Clock::MonotonicMs();
    EXPECT_EQ(port.Read(buf, sizeof buf, &error), 0u);
    EXPECT_GE(Clock::MonotonicMs() - start, Clock::ScaledMs(700));
    EXPECT_EQ(error, 1u);
    EXPECT_STREQ(port.GetLastErrorText(), "Read select() timeout! No data read");
}

TEST_F(ComPortRs232Test, AnAnswerUnderWayGetsAnExtraPauseToArriveWhole) {
    ComPortRs232 port;
    OpenPort(port);
    unsigned char buf[64];
    unsigned error = 0;

    // More than 7 bytes waiting: the rest of the answer is given the pause to arrive.
    ASSERT_TRUE(SendAll(m_master.Get(), Pattern(20)));
    ASSERT_TRUE(InputWaiting(20));
    uint64_t slept = Clock::SleptUs();
    EXPECT_EQ(port.Read(buf, sizeof buf, &error), 20u);
    EXPECT_EQ(Clock::SleptUs() - slept, Clock::ScaledMs(ComPortRs232::kAnswerPauseMs) * 1000u);

    // Seven bytes or fewer: read at once.
    ASSERT_TRUE(SendAll(m_master.Get(), Bytes("7 bytes")));
    ASSERT_TRUE(InputWaiting(7));
    slept = Clock::SleptUs();
    EXPECT_EQ(port.Read(buf, sizeof buf, &error), 7u);
    EXPECT_EQ(Clock::SleptUs(), slept);
}

TEST_F(ComPortRs232Test, ModemLinesReadAsOffWhenTheyCannotBeQueried) {
    // Not ignored: a pty answers the modem-line query with ENOTTY, so DSR counts as off.
    ComPortRs232 port;
    ASSERT_EQ(port.Init(m_path.c_str(), 9600, 0, false), 1);
    ASSERT_EQ(port.Open(), 1);
    unsigned char buf[4] = {1, 2, 3, 4};
    unsigned error = 0;
    EXPECT_EQ(port.Write(buf, sizeof buf, &error), 0u);
    EXPECT_EQ(error, 1u);
    EXPECT_STREQ(port.GetLastErrorText(), "Write Error (DSR 0)");
    EXPECT_TRUE(m_log.Has("ComWrite", "DSR 0"));
    ASSERT_TRUE(SendAll(m_master.Get(), Bytes("data")));
    error = 0;
    EXPECT_EQ(port.Read(buf, sizeof buf, &error), 0u);
    EXPECT_EQ(error, 1u);
    EXPECT_STREQ(port.GetLastErrorText(), "Read Error (DSR 0)");
}

TEST_F(ComPortRs232Test, CleanRXDropsUnreadInput) {
    ComPortRs232 port;
    OpenPort(port);
    ASSERT_TRUE(SendAll(m_master.Get(), Bytes("stale input")));
    ASSERT_TRUE(InputWaiting(11));
    port.CleanRX();
    ASSERT_TRUE(SendAll(m_master.Get(), Bytes("new")));
    unsigned char buf[64];
    unsigned error = 0;
    EXPECT_EQ(port.Read(buf, sizeof buf, &error), 3u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 3), "new");
}

TEST_F(ComPortRs232Test, ReOpenKeepsTheLineSettings) {
    ComPortRs232 port;
    OpenPort(port, 4800, 0);
    EXPECT_EQ(port.ReOpen(), 1);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.GetBaudRate(), 4800);
    EXPECT_TRUE(port.GetIgnoreModemLines());
    EXPECT_TRUE(m_log.Has("ReOpen", "ReOpen1 " + m_path));
    EXPECT_TRUE(m_log.Has("ReOpen", "ReOpen2 " + m_path));
    const std::vector<unsigned char> data = Bytes("after reopen");
    unsigned error = 0;
    EXPECT_EQ(port.Write(data.data(), static_cast<unsigned>(data.size()), &error), data.size());
    EXPECT_EQ(ReadBytes(m_master.Get(), data.size()), data);
}

TEST_F(ComPortRs232Test, ReOpenOfAVanishedDeviceFails) {
    TempDir dir;
    const std::string adapter = dir.file("ttyUSB3");
    std::filesystem::create_symlink(m_path, adapter);
    ComPortRs232 port;
    ASSERT_EQ(port.OpenSerial(adapter.c_str(), 9600, 0, 8, 0, 0), 0);
    std::filesystem::remove(adapter); // unplugged
    EXPECT_EQ(port.ReOpen(), 0);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_STREQ(port.GetLastErrorText(), "Open RS232 Device Error");
}

TEST_F(ComPortRs232Test, HungUpLineEndsReadsAtOnceAndFailsWrites) {
    ComPortRs232 port;
    OpenPort(port);
    m_master.Reset(); // the other end is gone
    unsigned char buf[16] = {};
    unsigned error = 0;
    EXPECT_EQ(port.ReadAll(buf, sizeof buf, 600000, &error), 0);
    EXPECT_EQ(error, 1u);
    EXPECT_TRUE(port.IsDeviceLost());
    EXPECT_EQ(m_log.Count("Read", "Begin"), 1u);
    EXPECT_TRUE(m_log.Has("ReadAll", "Device lost, no more data can come"));
    error = 0;
    EXPECT_EQ(port.Write(buf, sizeof buf, &error), 0u);
    EXPECT_EQ(error, 1u);
}

TEST_F(ComPortRs232Test, ClosedPortRefusesReadsAndWritesUntilOpenedAgain) {
    ComPortRs232 port;
    OpenPort(port);
    EXPECT_EQ(port.Close(), 1);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(m_log.Has("Close", "ClosePort"));
    unsigned char buf[4] = {};
    unsigned error = 0;
    EXPECT_EQ(port.Write(buf, sizeof buf, &error), 0u);
    EXPECT_EQ(error, 1u);
    error = 0;
    EXPECT_EQ(port.Read(buf, sizeof buf, &error), 0u);
    EXPECT_EQ(error, 1u);
    EXPECT_EQ(port.Open(), 1); // the stored device and settings open again
    ComPortRs232 fresh;
    EXPECT_EQ(fresh.Open(), 0); // never initialised: zeroed settings would hang the line up
}
