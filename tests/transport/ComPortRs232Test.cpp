// The serial port over a real pty pair: it takes the terminal settings but has no UART, so rate and
// flow control change nothing on the wire and the modem lines are ignored, unreadable or scripted.
#include "transport/ComPortRs232.h"
#include "tests/transport/PortTestSupport.h"

#include "base/Clock.h"

#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <gtest/gtest.h>

#include <deque>
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

    void OpenPort(ComPortRs232& port) {
        ASSERT_EQ(port.OpenSerial(m_path.c_str(), 115200, 0, 8, 0, 0), 0) << port.GetLastErrorText();
    }
    // Waits until the port's side of the line holds `count` unread bytes.
    bool InputWaiting(int count) const {
        return WaitUntil([&] {
            int waiting = 0;
            return ioctl(m_slaveHolder.Get(), FIONREAD, &waiting) == 0 && waiting == count;
        });
    }

    LogCapture m_log;
    UniqueFd m_master;
    UniqueFd m_slaveHolder;
    std::string m_path;
};

constexpr int kDsr = TIOCM_DSR;
constexpr int kCts = TIOCM_CTS;

} // namespace

TEST_F(ComPortRs232Test, RefusedRateOrFlowControlFailsBeforeTheDeviceIsTouched) {
    const std::tuple<int, int, const char*> refused[] = {
        {14400, 0, "Error invalid Baudrate"},
        {9600, 3, "Error invalid Flow control"},
        {9600, -1, "Error invalid Flow control"},
    };
    for (const auto& [baud, flow, text] : refused) {
        ComPortRs232 port;
        const size_t opens = m_log.Count("Open", "Opening " + m_path);
        EXPECT_EQ(port.OpenSerial(m_path.c_str(), baud, 0, 8, 0, flow), -1) << baud << " " << flow;
        EXPECT_STREQ(port.GetLastErrorText(), text);
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(m_log.Count("Open", "Opening " + m_path), opens);
        // The stored settings were never applied: opening them anyway must not hang the line up.
        EXPECT_EQ(port.Open(), 0);
    }
}

TEST_F(ComPortRs232Test, OpenAndReOpenPutTheLineIntoRawModeWithTheChosenRateAndFlowControl) {
    const std::tuple<int, speed_t, int, tcflag_t, tcflag_t> cases[] = {
        {19200, B19200, 0, 0, 0},
        {1200, B1200, 1, CRTSCTS, 0},
        {115200, B115200, 2, 0, IXON | IXOFF | IXANY},
    };
    const auto lineSettings = [this] {
        termios settings{};
        tcgetattr(m_master.Get(), &settings); // a pty master reports its slave's settings
        return settings;
    };
    for (const auto& [baud, speed, flow, cflags, iflags] : cases) {
        ComPortRs232 port;
        ASSERT_EQ(port.OpenSerial(m_path.c_str(), baud, 0, 8, 0, flow), 0) << port.GetLastErrorText();
        EXPECT_TRUE(port.GetIgnoreModemLines()); // every port opened this way
        const termios line = lineSettings();
        EXPECT_FALSE(line.c_lflag & (ICANON | ECHO | ISIG)) << baud; // a fresh pty has these on
        EXPECT_FALSE(line.c_oflag & OPOST) << baud;
        EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), CS8 | cflags) << baud;
        EXPECT_EQ(line.c_iflag, iflags) << baud;
        EXPECT_EQ(cfgetospeed(&line), speed) << baud;
        EXPECT_EQ(port.ReOpen(), 1) << baud; // with the same settings
        const termios reopened = lineSettings();
        EXPECT_EQ(reopened.c_cflag, line.c_cflag) << baud;
        EXPECT_EQ(cfgetospeed(&reopened), speed) << baud;
    }
}

TEST_F(ComPortRs232Test, AUsbAdapterIsAVirtualPortAndReOpenFailsOnceItIsUnplugged) {
    TempDir dir;
    const std::string adapter = dir.file("ttyUSB7");
    std::filesystem::create_symlink(m_path, adapter);
    ComPortRs232 port;
    OpenPort(port);
    EXPECT_FALSE(port.IsVirtualPort());
    ASSERT_EQ(port.OpenSerial(adapter.c_str(), 9600, 0, 8, 0, 0), 0);
    EXPECT_TRUE(port.IsVirtualPort());
    std::filesystem::remove(adapter);
    EXPECT_EQ(port.ReOpen(), 0);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_STREQ(port.GetLastErrorText(), "Open RS232 Device Error");
    OpenPort(port);
    EXPECT_FALSE(port.IsVirtualPort());
}

TEST_F(ComPortRs232Test, WritesGoOutWholeAndOnALineThatNeverDrainsEndWithBufferFull) {
    ComPortRs232 port;
    OpenPort(port);
    const std::vector<unsigned char> whole = Pattern(2500); // several packets of 1000
    std::future<std::vector<unsigned char>> received =
        std::async(std::launch::async, [&] { return ReadBytes(m_master.Get(), whole.size()); });
    EXPECT_EQ(WriteOnce(port, whole), Written(whole.size(), 0));
    EXPECT_EQ(received.get(), whole);

    const std::vector<unsigned char> data = Pattern(1 << 20); // far more than a pty buffers
    // 0 is what the frame layer sets after opening: the stall limit still ends the write.
    for (int timeout : {200, 0}) {
        port.SetWTimeout(timeout);
        std::future<Written> writing = std::async(std::launch::async, [&] { return WriteOnce(port, data); });
        const bool ended = writing.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
        while (writing.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            ReadBytes(m_master.Get(), data.size(), 100); // drains the line so that a stuck write ends
        EXPECT_TRUE(ended) << "write timeout " << timeout << ": the write never ended";
        EXPECT_EQ(writing.get(), Written(0, 1)) << "write timeout " << timeout;
        EXPECT_STREQ(port.GetLastErrorText(), "Write Buffer Full");
    }
    EXPECT_FALSE(port.IsDeviceLost()); // a line that is slow to drain is still there
}

TEST_F(ComPortRs232Test, ReadWaitsOutSilenceGivesAnAnswerUnderWayAPauseAndCleanRXDropsInput) {
    ComPortRs232 port;
    OpenPort(port);
    port.SetRTimeout(700);
    const uint64_t start = Clock::MonotonicMs();
    EXPECT_EQ(ReadOnce(port), Received("", 1));
    EXPECT_GE(Clock::MonotonicMs() - start, Clock::ScaledMs(700));
    EXPECT_STREQ(port.GetLastErrorText(), "Read select() timeout! No data read");
    EXPECT_FALSE(port.IsDeviceLost());

    // More than 7 bytes waiting: the rest of the answer is given the pause to arrive.
    ASSERT_TRUE(SendAll(m_master.Get(), Pattern(20)));
    ASSERT_TRUE(InputWaiting(20));
    uint64_t slept = Clock::SleptUs();
    EXPECT_EQ(ReadOnce(port).first.size(), 20u);
    EXPECT_EQ(Clock::SleptUs() - slept, Clock::ScaledMs(ComPortRs232::kAnswerPauseMs) * 1000u);

    // Seven bytes or fewer: read at once.
    ASSERT_TRUE(SendAll(m_master.Get(), Bytes("7 bytes")));
    ASSERT_TRUE(InputWaiting(7));
    slept = Clock::SleptUs();
    EXPECT_EQ(ReadOnce(port), Received("7 bytes", 0));
    EXPECT_EQ(Clock::SleptUs(), slept);

    ASSERT_TRUE(SendAll(m_master.Get(), Bytes("stale input")));
    ASSERT_TRUE(InputWaiting(11));
    port.CleanRX();
    ASSERT_TRUE(SendAll(m_master.Get(), Bytes("new")));
    EXPECT_EQ(ReadOnce(port), Received("new", 0));
}

TEST_F(ComPortRs232Test, HungUpLineEndsReadsAtOnceAndFailsWrites) {
    ComPortRs232 port;
    OpenPort(port);
    m_master.Reset(); // the other end is gone
    ExpectReadAllEndsAtOnce(port, m_log, "Read");
    EXPECT_EQ(WriteOnce(port, Pattern(16)), Written(0, 1));
}

// A pty has no modem lines. Not ignored, their query fails and DSR counts as off; scripted, one state
// per query, the last holds: reading needs DSR, writing DSR and CTS, waited for in polls of 50 ms.
TEST_F(ComPortRs232Test, ModemLinesGateWritesAndReadsUnlessIgnored) {
    ComPortRs232 port;
    ASSERT_EQ(port.Init(m_path.c_str(), 9600, 1, false), 1); // RTS/CTS flow control
    ASSERT_EQ(port.Open(), 1);
    const std::vector<unsigned char> ticket = Bytes("ticket");
    EXPECT_EQ(WriteOnce(port, ticket), Written(0, 1));
    EXPECT_STREQ(port.GetLastErrorText(), "Write Error (DSR 0)");
    ASSERT_TRUE(SendAll(m_master.Get(), Bytes("ok")));
    EXPECT_EQ(ReadOnce(port), Received("", 1));
    EXPECT_STREQ(port.GetLastErrorText(), "Read Error (DSR 0)");

    std::deque<int> lines;
    port.SetModemStatusQuery([&](int) -> std::optional<int> {
        const int now = lines.front();
        if (lines.size() > 1)
            lines.pop_front();
        return now;
    });
    lines = {kDsr};
    EXPECT_EQ(ReadOnce(port), Received("ok", 0));
    lines = {kCts};
    EXPECT_EQ(ReadOnce(port), Received("", 1));
    EXPECT_STREQ(port.GetLastErrorText(), "Read Error (DSR 0)");

    struct Case {
        const char* what;
        std::deque<int> lines;
        int writeTimeoutMs;
        const char* error; // nullptr: written
        size_t waits;
    };
    const Case cases[] = {
        {"CTS comes on after two polls", {kDsr, kDsr, kDsr, kDsr | kCts}, 1000, nullptr, 2},
        {"CTS stays off: timeout / 50 polls", {kDsr}, 200, "Write / Timeout Error (CTS 0)", 4},
        {"CTS off without a write timeout", {kDsr}, 0, "Write / Timeout Error (CTS 0)", 0},
        {"DSR drops while waiting", {kDsr, kDsr, 0}, 1000, "Write Error (DSR 0)", 1},
        {"DSR off", {kCts}, 1000, "Write Error (DSR 0)", 0},
    };
    for (const Case& c : cases) {
        lines = c.lines;
        port.SetWTimeout(c.writeTimeoutMs);
        const size_t waitsBefore = m_log.Count("ComWrite", "Waiting CTS...");
        EXPECT_EQ(WriteOnce(port, ticket), c.error ? Written(0, 1) : Written(6, 0)) << c.what;
        if (c.error) {
            EXPECT_STREQ(port.GetLastErrorText(), c.error) << c.what;
        }
        EXPECT_EQ(m_log.Count("ComWrite", "Waiting CTS...") - waitsBefore, c.waits) << c.what;
        // Only a written ticket reaches the line.
        EXPECT_EQ(ReadBytes(m_master.Get(), 6, 50), c.error ? std::vector<unsigned char>{} : ticket)
            << c.what;
    }
}
