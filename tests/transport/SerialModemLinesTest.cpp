// The DSR/CTS rules of the serial port, with scripted modem lines over a pty (a pty has none of its
// own): the CTS wait, its poll count, and DSR dropping while waiting.
#include "transport/ComPortRs232.h"
#include "tests/transport/PortTestSupport.h"

#include "base/Clock.h"

#include <pty.h>
#include <sys/ioctl.h>

#include <gtest/gtest.h>

#include <deque>

namespace {

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class SerialModemLinesTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::SetScaleForTesting(0.01);
        int master = -1;
        int slave = -1;
        char name[256] = {};
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        m_master.Reset(master);
        m_slave.Reset(slave);
        ASSERT_EQ(m_port.Init(name, 9600, 1, false), 1); // modem lines not ignored
        ASSERT_EQ(m_port.Open(), 1);
        m_port.SetModemStatusQuery([this](int) -> std::optional<int> {
            if (m_lines.size() > 1) {
                const int now = m_lines.front();
                m_lines.pop_front();
                return now;
            }
            return m_lines.empty() ? std::nullopt : std::optional<int>(m_lines.front());
        });
    }
    void TearDown() override { Clock::SetScaleForTesting(1.0); }

    // One entry per query, the last one holds.
    void Lines(std::deque<int> states) { m_lines = std::move(states); }

    unsigned WriteText(const std::string& text, unsigned& error) {
        const std::vector<unsigned char> data = Bytes(text);
        return m_port.Write(data.data(), static_cast<unsigned>(data.size()), &error);
    }

    LogCapture m_log;
    UniqueFd m_master;
    UniqueFd m_slave;
    ComPortRs232 m_port;
    std::deque<int> m_lines;
};

constexpr int kDsr = TIOCM_DSR;
constexpr int kCts = TIOCM_CTS;

} // namespace

TEST_F(SerialModemLinesTest, WriteWaitsForCtsInPollsOf50Milliseconds) {
    Lines({kDsr, kDsr, kDsr, kDsr | kCts});
    unsigned error = 9;
    EXPECT_EQ(WriteText("ticket", error), 6u);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(Count(m_log.Text(), "[ComWrite]Waiting CTS..."), 2u);
    EXPECT_EQ(ReadBytes(m_master.Get(), 6), Bytes("ticket"));
}

TEST_F(SerialModemLinesTest, CtsThatStaysOffEndsTheWriteAfterTimeoutOver50Polls) {
    Lines({kDsr});
    m_port.SetWTimeout(200);
    unsigned error = 0;
    EXPECT_EQ(WriteText("ticket", error), 0u);
    EXPECT_EQ(error, 1u);
    EXPECT_STREQ(m_port.GetLastErrorText(), "Write / Timeout Error (CTS 0)");
    EXPECT_EQ(Count(m_log.Text(), "[ComWrite]Waiting CTS..."), 4u);
    EXPECT_TRUE(ReadBytes(m_master.Get(), 1, 50).empty()); // nothing left the port
}

TEST_F(SerialModemLinesTest, WriteTimeoutZeroFailsAtOnceWhenCtsIsOff) {
    Lines({kDsr});
    m_port.SetWTimeout(0);
    unsigned error = 0;
    EXPECT_EQ(WriteText("x", error), 0u);
    EXPECT_EQ(error, 1u);
    EXPECT_EQ(Count(m_log.Text(), "Waiting CTS..."), 0u);
}

TEST_F(SerialModemLinesTest, DsrDroppingWhileWaitingForCtsEndsTheWrite) {
    Lines({kDsr, kDsr, 0});
    unsigned error = 0;
    EXPECT_EQ(WriteText("x", error), 0u);
    EXPECT_EQ(error, 1u);
    EXPECT_STREQ(m_port.GetLastErrorText(), "Write Error (DSR 0)");
}

TEST_F(SerialModemLinesTest, ReadNeedsDsrOnly) {
    Lines({kDsr});
    ASSERT_TRUE(SendAll(m_master.Get(), Bytes("ok")));
    unsigned char buf[8];
    unsigned error = 9;
    EXPECT_EQ(m_port.Read(buf, sizeof buf, &error), 2u);
    EXPECT_EQ(error, 0u);
    EXPECT_TRUE(m_log.Has("Read", "DSR 1"));

    Lines({kCts});
    EXPECT_EQ(m_port.Read(buf, sizeof buf, &error), 0u);
    EXPECT_STREQ(m_port.GetLastErrorText(), "Read Error (DSR 0)");
}
