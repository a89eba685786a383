// The TCP port against servers on 127.0.0.1 that the tests drive: connecting, timeouts, chunked
// writes, reads, discarding input, reconnecting after the printer dropped the connection.
#include "transport/ComPortEth.h"
#include "tests/support/NetworkNamespace.h"
#include "tests/transport/PortTestSupport.h"

#include "base/Clock.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
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

    LogCapture m_log;
    LoopbackServer m_server;
};

void AbortConnection(UniqueFd& peer) {
    // An RST instead of an orderly close: the next send sees a reset connection.
    linger hard{1, 0};
    setsockopt(peer.Get(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    peer.Reset();
}

} // namespace

TEST_F(ComPortEthTest, InitStoresWithoutConnectingAndOpenConnects) {
    ComPortEth port;
    EXPECT_EQ(port.Init("127.0.0.1", m_server.Port()), 1);
    EXPECT_FALSE(port.IsConnected());
    EXPECT_FALSE(WaitReadable(m_server.ListenFd(), 50)); // nobody knocked
    EXPECT_EQ(port.Open(), 1);
    EXPECT_TRUE(port.IsConnected());
    EXPECT_TRUE(m_server.Accept().IsValid());
    EXPECT_STREQ(port.GetLastErrorText(), "");
}

TEST_F(ComPortEthTest, HostNamesAbove254CharactersAreRefused) {
    ComPortEth port;
    EXPECT_EQ(port.Init(std::string(254, 'h').c_str(), 9100), 1);
    EXPECT_EQ(port.GetHost().size(), 254u);
    EXPECT_EQ(port.Init(std::string(255, 'h').c_str(), 9100), 0);
    EXPECT_EQ(port.GetHost(), "");
    EXPECT_EQ(port.OpenEthernet(std::string(300, 'h').c_str(), 9100), -1);
    EXPECT_FALSE(port.IsConnected());
    EXPECT_TRUE(m_log.Has("OpenEthernet", "Open Device ERROR!!!"));
}

TEST_F(ComPortEthTest, RefusedConnectionFailsAndLeavesNoSocket) {
    ComPortEth port;
    EXPECT_EQ(port.OpenEthernet("127.0.0.1", UnusedLoopbackPort()), -1);
    EXPECT_FALSE(port.IsConnected());
    EXPECT_STREQ(port.GetLastErrorText(), "Open ETH Device Error");
    const std::string log = m_log.Text();
    EXPECT_TRUE(m_log.Has("OpenPort", "Error in connection()") ||
                m_log.Has("OpenPort", "Error to connect socket"))
        << log;
    EXPECT_TRUE(m_log.Has("OpenEthernet", "Opening device IP: 127.0.0.1 Port: " +
                                              std::to_string(UnusedLoopbackPort()) + " ..."));
    EXPECT_TRUE(m_log.Has("Open", "Open ETH Device Error"));
}

TEST_F(ComPortEthTest, PortOutsideTheTcpRangeIsRefused) {
    ComPortEth port;
    EXPECT_EQ(port.OpenEthernet("127.0.0.1", 65536 + m_server.Port()), -1);
    EXPECT_EQ(port.OpenEthernet("127.0.0.1", 0), -1);
    EXPECT_EQ(port.OpenEthernet("127.0.0.1", -1), -1);
    EXPECT_TRUE(m_log.Has("OpenPort", "Error to connect socket"));
    EXPECT_FALSE(WaitReadable(m_server.ListenFd(), 50)); // it did not reach the server's port either
}

TEST_F(ComPortEthTest, PrinterThatNeverAcceptsTimesOut) {
    // A listener whose accept queue is full drops further connection requests unanswered.
    LoopbackServer full(0);
    std::vector<UniqueFd> fillers;
    for (int i = 0; i < 16; ++i) {
        UniqueFd filler(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(full.Port());
        target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connect(filler.Get(), reinterpret_cast<sockaddr*>(&target), sizeof target);
        pollfd entry{filler.Get(), POLLOUT, 0};
        const bool completed = poll(&entry, 1, 200) > 0;
        fillers.push_back(std::move(filler));
        if (!completed)
            break;
    }
    Clock::SetScaleForTesting(0.1);
    ComPortEth port;
    port.SetWTimeout(300);
    const uint64_t start = Clock::MonotonicMs();
    EXPECT_EQ(port.OpenEthernet("127.0.0.1", full.Port()), -1);
    EXPECT_GE(Clock::MonotonicMs() - start, 30u); // waited for the (scaled) write timeout
    EXPECT_TRUE(m_log.Has("OpenPort", "Timeout or error()")) << m_log.Text();
    EXPECT_FALSE(port.IsConnected());
}

TEST_F(ComPortEthTest, UnresolvableHostIsAWrongHostname) {
    // Resolved inside an empty namespace, so that no query can leave the machine.
    if (const std::string why = NetworkNamespace::Unavailable(); !why.empty())
        GTEST_SKIP() << why;
    NetworkNamespace isolated("e");
    ASSERT_TRUE(isolated.Valid()) << isolated.Error();
    ComPortEth port;
    int result = 0;
    ASSERT_TRUE(isolated.Run([&] { result = port.OpenEthernet("printer.invalid", 9100); }));
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(port.IsConnected());
    EXPECT_TRUE(m_log.Has("OpenPort", "Wrong hostname")) << m_log.Text();
}

TEST_F(ComPortEthTest, WriteSendsEverythingInPacketSizedChunks) {
    ComPortEth port;
    UniqueFd peer = Connect(port);
    port.SetPacketSize(7); // many chunks, and a last one shorter than the others
    const std::vector<unsigned char> data = Pattern(200003);
    std::future<std::vector<unsigned char>> received =
        std::async(std::launch::async, [&] { return ReadBytes(peer.Get(), data.size()); });
    unsigned error = 9;
    EXPECT_EQ(port.Write(data.data(), static_cast<unsigned>(data.size()), &error), data.size());
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(received.get(), data);
}

TEST_F(ComPortEthTest, ReadReturnsWhatArrivedAndTimesOutOnSilence) {
    ComPortEth port;
    UniqueFd peer = Connect(port);
    ASSERT_TRUE(SendAll(peer.Get(), Bytes("<STX>answer")));
    unsigned char buf[64] = {};
    unsigned error = 9;
    EXPECT_EQ(port.Read(buf, 4, &error), 4u); // at most len
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 4), "<STX");
    EXPECT_EQ(port.Read(buf, sizeof buf, &error), 7u);

    EXPECT_EQ(port.Read(buf, sizeof buf, &error), 0u); // nothing more within the read timeout
    EXPECT_EQ(error, 1u);
    EXPECT_STREQ(port.GetLastErrorText(), "EthRead Error");
    EXPECT_TRUE(port.IsConnected()); // silence is not a broken connection
}

TEST_F(ComPortEthTest, TimeoutsAreMultipliedAndApplyToAnOpenConnection) {
    ComPortEth port;
    UniqueFd peer = Connect(port);
    port.SetTimeoutMultiplier(20);
    port.SetRTimeout(1000); // scaled to 10 ms, times 20
    EXPECT_EQ(port.GetTimeoutRX(), 1000u);
    unsigned char buf[8];
    unsigned error = 0;
    const uint64_t start = Clock::MonotonicMs();
    EXPECT_EQ(port.Read(buf, sizeof buf, &error), 0u);
    EXPECT_GE(Clock::MonotonicMs() - start, 150u);
    EXPECT_EQ(error, 1u);
}

TEST_F(ComPortEthTest, ReadTimeoutZeroWaitsWithoutLimit) {
    ComPortEth port;
    UniqueFd peer = Connect(port);
    port.SetRTimeout(0);
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        SendAll(peer.Get(), Bytes("late"));
    });
    unsigned char buf[8];
    unsigned error = 9;
    const unsigned got = port.Read(buf, sizeof buf, &error);
    late.join();
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(error, 0u);
}

TEST_F(ComPortEthTest, WriteTimeoutEndsAWriteToAPrinterThatNeverReads) {
    ComPortEth port;
    UniqueFd peer = Connect(port);
    port.SetWTimeout(1000); // 10 ms once scaled
    const std::vector<unsigned char> data = Pattern(32 << 20);
    unsigned error = 0;
    EXPECT_EQ(port.Write(data.data(), static_cast<unsigned>(data.size()), &error), 0u);
    EXPECT_EQ(error, 1u);
    EXPECT_TRUE(port.IsConnected());
}

TEST_F(ComPortEthTest, ClosedConnectionIsReopenedByTheNextWrite) {
    ComPortEth port;
    UniqueFd first = Connect(port);
    first.Reset(); // the printer closes
    unsigned char buf[8];
    unsigned error = 0;
    EXPECT_EQ(port.Read(buf, sizeof buf, &error), 0u);
    EXPECT_EQ(error, 1u);
    EXPECT_FALSE(port.IsConnected());

    const std::vector<unsigned char> command = Bytes("\x1c<EPOS>");
    EXPECT_EQ(port.Write(command.data(), static_cast<unsigned>(command.size()), &error), command.size());
    EXPECT_EQ(error, 0u);
    UniqueFd second = m_server.Accept();
    ASSERT_TRUE(second.IsValid());
    EXPECT_EQ(ReadBytes(second.Get(), command.size()), command);
}

TEST_F(ComPortEthTest, ResetConnectionFailsOneWriteWithoutSignalAndTheNextOneReconnects) {
    ComPortEth port;
    UniqueFd first = Connect(port);
    AbortConnection(first);
    const std::vector<unsigned char> data = Pattern(100);
    unsigned error = 0;
    int failures = 0;
    for (int attempt = 0; attempt < 5 && failures == 0; ++attempt)
        failures += port.Write(data.data(), 100, &error) == 0 ? 1 : 0;
    ASSERT_EQ(failures, 1);
    EXPECT_EQ(error, 1u);
    EXPECT_FALSE(port.IsConnected());

    EXPECT_EQ(port.Write(data.data(), 100, &error), 100u);
    UniqueFd second = m_server.Accept();
    ASSERT_TRUE(second.IsValid());
    EXPECT_EQ(ReadBytes(second.Get(), 100), data);
}

TEST_F(ComPortEthTest, WriteAndReadFailWhenThePrinterIsGone) {
    ComPortEth port;
    ASSERT_EQ(port.Init("127.0.0.1", UnusedLoopbackPort()), 1);
    unsigned char buf[4] = {1, 2, 3, 4};
    unsigned error = 0;
    EXPECT_EQ(port.Write(buf, sizeof buf, &error), 0u);
    EXPECT_EQ(error, 1u);
    EXPECT_STREQ(port.GetLastErrorText(), "Open Error (Device Error)");
    EXPECT_TRUE(m_log.Has("EthWrite", "Open Error (Device Error)"));
    error = 0;
    EXPECT_EQ(port.Read(buf, sizeof buf, &error), 0u);
    EXPECT_EQ(error, 1u);
    EXPECT_TRUE(m_log.Has("EthRead", "Open Error (Device Error)"));
}

TEST_F(ComPortEthTest, CleanRXDiscardsPendingInputAndKeepsTheReadTimeout) {
    ComPortEth port;
    UniqueFd peer = Connect(port);
    port.SetRTimeout(700);
    ASSERT_TRUE(SendAll(peer.Get(), Pattern(300)));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    port.CleanRX();
    EXPECT_EQ(port.GetTimeoutRX(), 700u);
    ASSERT_TRUE(SendAll(peer.Get(), Bytes("fresh")));
    unsigned char buf[512];
    unsigned error = 0;
    EXPECT_EQ(port.Read(buf, sizeof buf, &error), 5u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 5), "fresh");
}

TEST_F(ComPortEthTest, CleanRXReturnsWhileThePrinterFloods) {
    ComPortEth port;
    UniqueFd peer = Connect(port);
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        const std::vector<unsigned char> junk = Pattern(4096);
        while (!stop && SendAll(peer.Get(), junk)) {
        }
    });
    port.CleanRX();
    stop = true;
    shutdown(peer.Get(), SHUT_RDWR); // wakes the flood if it is blocked in a send
    flood.join();
    EXPECT_TRUE(m_log.Has("CleanRX", "End"));
}

TEST_F(ComPortEthTest, ReOpenMakesAFreshConnectionToTheSameTarget) {
    ComPortEth port;
    UniqueFd first = Connect(port);
    EXPECT_EQ(port.ReOpen(), 1);
    EXPECT_EQ(ReadBytes(first.Get(), 1, 2000).size(), 0u); // the old connection was closed
    UniqueFd second = m_server.Accept();
    ASSERT_TRUE(second.IsValid());
    EXPECT_EQ(port.GetHost(), "127.0.0.1");
    EXPECT_EQ(port.GetTcpPort(), m_server.Port());
}

TEST_F(ComPortEthTest, CloseShutsTheConnectionAfterItsPause) {
    ComPortEth port;
    UniqueFd peer = Connect(port);
    Clock::SetScaleForTesting(0.05);
    const uint64_t start = Clock::MonotonicMs();
    EXPECT_EQ(port.Close(), 1);
    EXPECT_GE(Clock::MonotonicMs() - start, 100u); // 2 s scaled by 0.05
    EXPECT_FALSE(port.IsConnected());
    EXPECT_EQ(ReadBytes(peer.Get(), 1, 2000).size(), 0u);
    EXPECT_EQ(port.Close(), 1); // closing a closed port is harmless
}
