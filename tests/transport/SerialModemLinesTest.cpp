// The DSR/CTS rules of the serial port, with scripted modem lines over a pty (a pty has none of its
// own): the CTS wait, its poll count, and DSR dropping while waiting.
#include "tests/transport/PortTestSupport.h"
#include "transport/ComPortRs232.h"

#include "base/Clock.h"

#include <pty.h>
#include <sys/ioctl.h>

#include <gtest/gtest.h>

#include <deque>

namespace {

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

TEST_F(SerialModemLinesTest, WriteNeedsDsrAndWaitsForCtsInPollsOf50Milliseconds) {
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
        Lines(c.lines);
        m_port.SetWTimeout(c.writeTimeoutMs);
        const size_t waitsBefore = m_log.Count("ComWrite", "Waiting CTS...");
        unsigned error = 9;
        EXPECT_EQ(WriteText("ticket", error), c.error ? 0u : 6u) << c.what;
        EXPECT_EQ(error, c.error ? 1u : 0u) << c.what;
        if (c.error) {
            EXPECT_STREQ(m_port.GetLastErrorText(), c.error) << c.what;
        }
        EXPECT_EQ(m_log.Count("ComWrite", "Waiting CTS...") - waitsBefore, c.waits) << c.what;
        // Only a written ticket reaches the line.
        EXPECT_EQ(ReadBytes(m_master.Get(), 6, 50), c.error ? Bytes("") : Bytes("ticket")) << c.what;
    }
}

TEST_F(SerialModemLinesTest, ReadNeedsDsrOnly) {
    Lines({kDsr});
    ASSERT_TRUE(SendAll(m_master.Get(), Bytes("ok")));
    unsigned char buf[8];
    unsigned error = 9;
    EXPECT_EQ(m_port.Read(buf, sizeof buf, &error), 2u);
    EXPECT_EQ(error, 0u);

    Lines({kCts});
    EXPECT_EQ(m_port.Read(buf, sizeof buf, &error), 0u);
    EXPECT_STREQ(m_port.GetLastErrorText(), "Read Error (DSR 0)");
}
