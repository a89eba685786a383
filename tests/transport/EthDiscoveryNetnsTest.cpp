// Discovery over a real broadcast: the client runs in one network namespace, the printer in another,
// joined by a veth pair. Nothing here broadcasts in the machine's own namespace.
#include "tests/support/NetworkNamespace.h"
#include "tests/transport/PortTestSupport.h"
#include "transport/ComPortEth.h"

#include "base/Clock.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <set>
#include <thread>

namespace {

const std::string kTag = "<VM><STSMOA><NAME>";

// What one discovery found, and what the printer saw of it.
struct Discovery {
    std::vector<std::string> devices;
    std::string error;
    std::multiset<std::string> queries; // "<bytes> from <port> to <address>"
    std::atomic<uint64_t> flooded{0};
};

// The next datagram on fd, described with its source port and the address it was sent to.
std::string Receive(int fd, sockaddr_in& source) {
    char data[2048];
    char control[256];
    iovec vector{data, sizeof data};
    msghdr message{.msg_name = &source,
                   .msg_namelen = sizeof source,
                   .msg_iov = &vector,
                   .msg_iovlen = 1,
                   .msg_control = control,
                   .msg_controllen = sizeof control,
                   .msg_flags = 0};
    const ssize_t got = recvmsg(fd, &message, 0);
    std::string query = std::string(data, got > 0 ? static_cast<size_t>(got) : 0) + " from " +
                        std::to_string(ntohs(source.sin_port)) + " to ";
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        char text[INET_ADDRSTRLEN] = {};
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO)
            query += inet_ntop(AF_INET, &reinterpret_cast<const in_pktinfo*>(CMSG_DATA(c))->ipi_addr, text,
                               sizeof text);
    }
    return query;
}

class EthDiscoveryNetns : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_unavailable = NetworkNamespace::Unavailable();
        if (!s_unavailable.empty())
            return;
        NetworkNamespace::RemoveStale();
        s_client = std::make_unique<NetworkNamespace>("c");
        s_printers = std::make_unique<NetworkNamespace>("p");
        std::string error;
        const bool ok = s_client->Valid() && s_printers->Valid() &&
                        JoinWithVeth(*s_client, "10.77.0.1/24", *s_printers, "10.77.0.2/24", error) &&
                        // So that the limited broadcast 255.255.255.255 leaves through the veth.
                        s_client->Ip({"route", "add", "default", "dev", VethName('a')});
        if (!ok)
            s_setupError = "cannot set up the namespaces: " + error + s_client->Error() + s_printers->Error();
    }
    static void TearDownTestSuite() {
        s_client.reset();
        s_printers.reset();
    }
    void SetUp() override {
        if (!s_unavailable.empty())
            GTEST_SKIP() << s_unavailable;
        // With the rights to make namespaces, failing to is an error, not a reason to skip.
        ASSERT_EQ(s_setupError, "");
        Clock::SetScaleForTesting(1.0); // a full half-second window, so that the flood has time to run
    }

    // Discovers from the client's namespace while a printer answers every query on port 15000 with
    // `reply`. A flooding printer, from the first query on, also sends it without pause from three
    // threads (so that a busy machine descheduling one leaves no gap) until discovery ends.
    static void Discover(const std::string& reply, bool flood, Discovery& found) {
        ASSERT_TRUE(s_printers->Run([&] {
            const UniqueFd listener = BoundSocket(SOCK_DGRAM, 15000).first;
            ASSERT_TRUE(listener.IsValid());
            const int on = 1;
            setsockopt(listener.Get(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
            sockaddr_in peer{};
            std::future<bool> client = std::async(std::launch::async, [&] {
                return s_client->Run([&] { found.devices = ComPortEth::EnumEthDevices(found.error); });
            });
            auto answer = [&, fd = listener.Get()](const sockaddr_in& to) {
                return sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                              sizeof to);
            };
            std::atomic<bool> ended{false};
            std::vector<std::thread> flooders;
            while (client.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
                if (!WaitReadable(listener.Get(), 20))
                    continue;
                found.queries.insert(Receive(listener.Get(), peer));
                answer(peer);
                if (flood && flooders.empty())
                    for (int i = 0; i < 3; ++i)
                        flooders.emplace_back([&, to = peer] {
                            while (!ended)
                                found.flooded += answer(to) > 0 ? 1 : 0;
                        });
            }
            ended = true;
            for (std::thread& flooder : flooders)
                flooder.join();
            EXPECT_TRUE(client.get()) << "discovery could not enter " << s_client->Name();
        }));
    }

    static inline std::string s_unavailable;
    static inline std::string s_setupError;
    static inline std::unique_ptr<NetworkNamespace> s_client;
    static inline std::unique_ptr<NetworkNamespace> s_printers;
};

} // namespace

TEST_F(EthDiscoveryNetns, PrinterAnswerIsListedWithItsAddressAndName) {
    Discovery found;
    ASSERT_NO_FATAL_FAILURE(Discover(kTag + "<Kiosk-1>", false, found));
    EXPECT_EQ(found.error, "");
    EXPECT_EQ(found.devices, std::vector<std::string>{"10.77.0.2:9100(Kiosk-1)"});

    // The query: 18 bytes from port 15001, to the limited broadcast and to the interface broadcast.
    const std::set<std::string> queries(found.queries.begin(), found.queries.end());
    EXPECT_EQ(queries, (std::set<std::string>{"<VM><STSMOQ><NAME> from 15001 to 255.255.255.255",
                                              "<VM><STSMOQ><NAME> from 15001 to 10.77.0.255"}));
    // Passes repeat for the whole window, not just once.
    EXPECT_GT(found.queries.size(), 2u);
}

TEST_F(EthDiscoveryNetns, BusyDiscoveryPortIsReported) {
    // Another program already holds port 15001 in the client's namespace.
    std::string error;
    ASSERT_TRUE(s_client->Run([&] {
        const auto holder = BoundSocket(SOCK_DGRAM, 15001);
        ASSERT_TRUE(holder.first.IsValid());
        EXPECT_TRUE(ComPortEth::EnumEthDevices(error).empty());
    }));
    EXPECT_EQ(error, "bind socket error");
}

TEST_F(EthDiscoveryNetns, FloodingPrinterCannotHoldDiscoveryPastItsWindow) {
    // After the first query a datagram is almost always waiting (a loaded machine may still leave
    // gaps); discovery must end, and record the printer once, all the same.
    Discovery found;
    ASSERT_NO_FATAL_FAILURE(Discover(kTag + "<Flood>", true, found));
    // Without the flood nothing holds discovery, and the case would prove nothing.
    ASSERT_GT(found.flooded.load(), 0u) << "the flood never started: no query reached the printer";
    EXPECT_EQ(found.devices, std::vector<std::string>{"10.77.0.2:9100(Flood)"});
}
