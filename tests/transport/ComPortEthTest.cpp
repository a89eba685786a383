// The TCP port against loopback servers the tests drive, and, in a network namespace, a printer that
// vanished at the IP level.
#include "transport/ComPortEth.h"
#include "tests/support/NetworkNamespace.h"
#include "tests/transport/PortTestSupport.h"

#include "base/Clock.h"

#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

namespace {

class ComPortEthTest : public ::testing::Test {
protected:
    void SetUp() override { Clock::SetScaleForTesting(0.01); }
    void TearDown() override { Clock::SetScaleForTesting(1.0); }

    // Opens the port on the server and accepts its connection.
    UniqueFd Connect(ComPortEth& port) {
        EXPECT_EQ(port.OpenEthernet("127.0.0.1", m_server.Port()), 0) << port.GetLastErrorText();
        UniqueFd peer = m_server.Accept();
        EXPECT_TRUE(peer.IsValid());
        return peer;
    }

    // Nothing waits in the listener's accept queue: a connection would already be there, since a
    // connect to loopback completes before it returns.
    bool NoConnectionWaiting() const { return !WaitReadable(m_server.ListenFd(), 0); }

    LogCapture m_log;
    LoopbackServer m_server;
};

} // namespace

TEST_F(ComPortEthTest, TargetsThatCannotBeReachedFailWithoutAConnection) {
    ComPortEth port;
    // A host above the 254-character buffer is refused, not cut or overrun.
    EXPECT_EQ(port.Init(std::string(254, 'h').c_str(), 9100), 1);
    EXPECT_EQ(port.GetHost().size(), 254u);
    EXPECT_EQ(port.Init(std::string(255, 'h').c_str(), 9100), 0);
    EXPECT_EQ(port.GetHost(), "");
    // Nobody listening (bound, so that the port stays free); and ports outside the TCP range, which cut
    // to 16 bits would reach the server.
    const auto [unused, unusedPort] = BoundSocket(SOCK_STREAM, 0, "127.0.0.1");
    ASSERT_TRUE(unused.IsValid());
    for (int tcpPort : {int{unusedPort}, 65536 + m_server.Port(), 0, -1}) {
        EXPECT_EQ(port.OpenEthernet("127.0.0.1", tcpPort), -1) << tcpPort;
        EXPECT_FALSE(port.IsConnected()) << tcpPort;
        EXPECT_STREQ(port.GetLastErrorText(), "Open ETH Device Error") << tcpPort;
    }
    EXPECT_TRUE(NoConnectionWaiting());
}

TEST_F(ComPortEthTest, WriteSendsEverythingInPacketSizedChunks) {
    ComPortEth port;
    UniqueFd peer = Connect(port);
    port.SetPacketSize(7); // many chunks, and a last one shorter than the others
    const std::vector<unsigned char> data = Pattern(200003);
    std::future<std::vector<unsigned char>> received =
        std::async(std::launch::async, [&] { return ReadBytes(peer.Get(), data.size()); });
    EXPECT_EQ(WriteOnce(port, data), Written(data.size(), 0));
    EXPECT_EQ(received.get(), data);
}

TEST_F(ComPortEthTest, SilenceOutlastsTheMultipliedReadTimeoutAndKeepsTheConnection) {
    ComPortEth port;
    UniqueFd peer = Connect(port);
    port.SetTimeoutMultiplier(20);
    port.SetRTimeout(1000); // on the open connection: scaled to 10 ms, times 20
    const uint64_t start = Clock::MonotonicMs();
    EXPECT_EQ(ReadOnce(port), Received("", 1));
    EXPECT_GE(Clock::MonotonicMs() - start, 150u);
    EXPECT_STREQ(port.GetLastErrorText(), "EthRead Error");
    EXPECT_TRUE(port.IsConnected()); // silence is not a broken connection
    EXPECT_FALSE(port.IsDeviceLost());
}

TEST_F(ComPortEthTest, WritesToAPrinterThatStoppedReadingEnd) {
    ComPortEth port;
    UniqueFd peer = Connect(port);
    const std::vector<unsigned char> data = Pattern(32 << 20); // far more than the socket buffers hold
    // 0 is what the frame layer sets after opening: the stall limit still ends the send.
    for (int timeout : {1000, 0}) {
        port.SetWTimeout(timeout);
        std::future<Written> writing = std::async(std::launch::async, [&] { return WriteOnce(port, data); });
        const bool ended = writing.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
        if (!ended)
            AbortConnection(peer); // lets the stuck send fail, so that the case can end
        EXPECT_TRUE(ended) << "write timeout " << timeout << ": the send never ended";
        EXPECT_EQ(writing.get(), Written(0, 1)) << "write timeout " << timeout;
    }
    EXPECT_STREQ(port.GetLastErrorText(), "EthWrite Error");
    EXPECT_TRUE(port.IsConnected()); // a printer that is slow to read has not dropped the connection
    EXPECT_FALSE(port.IsDeviceLost());
}

TEST_F(ComPortEthTest, ClosedConnectionEndsReadsUntilTheNextWriteReconnects) {
    ComPortEth port;
    UniqueFd first = Connect(port);
    const size_t closes = m_log.Count("Close", "Begin");
    ASSERT_TRUE(SendAll(first.Get(), Bytes("\x02<C")));
    first.Reset(); // the printer closes in the middle of its answer
    EXPECT_EQ(ReadOnce(port), Received("\x02<C", 0));
    for (int read = 0; read < 3; ++read) {
        EXPECT_EQ(ReadOnce(port), Received("", 1));
        EXPECT_STREQ(port.GetLastErrorText(), "EthRead Error");
    }
    EXPECT_TRUE(port.IsDeviceLost());
    EXPECT_TRUE(m_log.Has("EthRead", "Connection closed by the printer"));
    // No new connection in the middle of an answer, and no closing pause for each empty read.
    EXPECT_TRUE(NoConnectionWaiting());
    EXPECT_EQ(m_log.Count("Close", "Begin"), closes);

    const std::vector<unsigned char> command = Bytes("\x1c<EPOS>");
    EXPECT_EQ(WriteOnce(port, command), Written(command.size(), 0));
    EXPECT_FALSE(port.IsDeviceLost());
    EXPECT_EQ(ReadBytes(m_server.Accept().Get(), command.size()), command); // on a new connection
}

TEST_F(ComPortEthTest, ResetConnectionEndsReadAllAtOnce) {
    ComPortEth port;
    UniqueFd peer = Connect(port);
    AbortConnection(peer);
    ExpectReadAllEndsAtOnce(port, m_log, "EthRead");
    EXPECT_TRUE(NoConnectionWaiting());
}

TEST_F(ComPortEthTest, ResetConnectionFailsOneWriteWithoutSignalAndTheNextOneReconnects) {
    ComPortEth port;
    UniqueFd first = Connect(port);
    AbortConnection(first);
    const std::vector<unsigned char> data = Pattern(100);
    Written outcome = WriteOnce(port, data);
    for (int attempt = 1; attempt < 5 && outcome.first != 0; ++attempt)
        outcome = WriteOnce(port, data); // until the reset has arrived
    ASSERT_EQ(outcome, Written(0, 1));
    EXPECT_FALSE(port.IsConnected());
    EXPECT_TRUE(port.IsDeviceLost());

    EXPECT_EQ(WriteOnce(port, data), Written(100, 0));
    EXPECT_FALSE(port.IsDeviceLost());
    EXPECT_EQ(ReadBytes(m_server.Accept().Get(), 100), data); // on a new connection
}

TEST_F(ComPortEthTest, CleanRXDiscardsPendingInputKeepsTheReadTimeoutAndReturnsWhileThePrinterFloods) {
    ComPortEth port;
    UniqueFd peer = Connect(port);
    port.SetRTimeout(700);
    ASSERT_TRUE(SendAll(peer.Get(), Pattern(300)));
    ASSERT_TRUE(WaitUntil([&] { // all of it acknowledged, so at the port
        int unacknowledged = -1;
        return ioctl(peer.Get(), SIOCOUTQ, &unacknowledged) == 0 && unacknowledged == 0;
    }));
    port.CleanRX();
    EXPECT_EQ(port.GetTimeoutRX(), 700u);
    ASSERT_TRUE(SendAll(peer.Get(), Bytes("fresh")));
    EXPECT_EQ(ReadOnce(port, 512), Received("fresh", 0));

    // While the printer floods: a CleanRX that reads for as long as data comes never returns here, and
    // ctest's time-out ends it.
    std::atomic<bool> stop{false};
    std::atomic<bool> flooding{true};
    std::atomic<uint64_t> sent{0};
    std::thread flood([&] {
        const std::vector<unsigned char> junk = Pattern(4096);
        while (!stop && SendAll(peer.Get(), junk))
            ++sent;
        flooding = false;
    });
    ASSERT_TRUE(WaitUntil([&] { return sent > 0; }));
    port.CleanRX();
    const bool stillFlooding = flooding;
    stop = true;
    shutdown(peer.Get(), SHUT_RDWR); // wakes the flood if it is blocked in a send
    flood.join();
    EXPECT_TRUE(stillFlooding) << "the flood ended on its own: the case proves nothing";
}

TEST_F(ComPortEthTest, ReOpenPausesThenConnectsAfreshToTheSameTarget) {
    ComPortEth port;
    UniqueFd first = Connect(port);
    Clock::SetScaleForTesting(0.05);
    const uint64_t start = Clock::MonotonicMs();
    EXPECT_EQ(port.ReOpen(), 1);
    EXPECT_GE(Clock::MonotonicMs() - start, 100u);         // the 2 s closing pause, scaled by 0.05
    EXPECT_EQ(ReadBytes(first.Get(), 1, 2000).size(), 0u); // the old connection was closed
    EXPECT_TRUE(m_server.Accept().IsValid());
}

TEST_F(ComPortEthTest, ReconnectToAPrinterGoneSilentEndsWithinTheOpenTimeout) {
    // The printer restarts: it resets the connection, and while it boots its address answers nothing.
    // Inside a namespace the address first sits on the loopback, then moves behind a veth whose other
    // end is down, where every packet is dropped without a reply.
    if (const std::string why = NetworkNamespace::Unavailable(); !why.empty())
        GTEST_SKIP() << why;
    NetworkNamespace isolated("r");
    ASSERT_TRUE(isolated.Valid()) << isolated.Error();
    const char* printerAddress = "10.77.9.2";
    ASSERT_TRUE(
        isolated.IpBatch({"link add dvsilent type veth peer name dvdown",
                          "addr add 10.77.9.1/24 dev dvsilent", "link set dvsilent up",
                          "neigh replace 10.77.9.2 lladdr 02:00:00:00:00:02 dev dvsilent nud permanent",
                          "addr add 10.77.9.2/32 dev lo"}))
        << isolated.Error();
    std::unique_ptr<LoopbackServer> printer;
    ComPortEth port;
    UniqueFd peer;
    ASSERT_TRUE(isolated.Run([&] {
        printer = std::make_unique<LoopbackServer>(printerAddress);
        if (port.OpenEthernet(printerAddress, printer->Port()) == 0)
            peer = printer->Accept();
    }));
    ASSERT_TRUE(peer.IsValid()) << port.GetLastErrorText();
    port.SetWTimeout(0); // as the frame layer leaves it after opening
    AbortConnection(peer);
    ASSERT_TRUE(WaitUntil([&] { return ReadOnce(port, 1).first.empty() && port.IsDeviceLost(); }));
    ASSERT_TRUE(isolated.Ip({"addr", "del", "10.77.9.2/32", "dev", "lo"})) << isolated.Error();

    // A connect without a limit of its own (the system's, minutes) would outlast this wait.
    std::string outcome;
    std::future<bool> writing = std::async(std::launch::async, [&] {
        return isolated.Run([&] {
            const auto [written, error] = WriteOnce(port, Bytes("\x1c<EPOS>"));
            outcome = std::to_string(written) + " " + std::to_string(error) + " " + port.GetLastErrorText();
        });
    });
    ASSERT_EQ(writing.wait_for(std::chrono::seconds(30)), std::future_status::ready)
        << "the reconnecting write did not end";
    ASSERT_TRUE(writing.get());
    EXPECT_EQ(outcome, "0 1 Open Error (Device Error)");
    EXPECT_TRUE(m_log.Has("OpenPort", "Timeout or error()")) << m_log.Text();
}
