// Discovery over a real broadcast: the client runs in one network namespace, responders in another,
// joined by a veth pair. Nothing here broadcasts in the machine's own namespace.
#include "tests/support/NetworkNamespace.h"
#include "transport/ComPortEth.h"
#include "transport/UniqueFd.h"

#include "base/Clock.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace {

constexpr const char* kClientAddress = "10.77.0.1";
constexpr const char* kPrinterAddress = "10.77.0.2";
const std::string kTag = "<VM><STSMOA><NAME>";

struct Query {
    std::string bytes;
    std::string destination;
    uint16_t sourcePort = 0;
};

// Answers every query that reaches port 15000 in its namespace with a fixed list of datagrams.
class Responder {
public:
    // A flooding responder keeps sending its replies, without pause, from the first query on.
    Responder(const std::string& ns, std::vector<std::string> replies, bool flood = false)
        : m_replies(std::move(replies)), m_flood(flood) {
        std::promise<bool> ready;
        std::future<bool> started = ready.get_future();
        m_thread = std::thread([this, ns, promise = std::move(ready)]() mutable { Serve(ns, promise); });
        m_ready = started.get();
    }
    ~Responder() { Stop(); }

    bool Ready() const { return m_ready; }
    // Flooding threads that entered the namespace, and those that could not.
    int FloodersIn() const { return m_floodersIn; }
    int FloodersOut() const { return m_floodersOut; }
    // Datagrams the flooders sent.
    uint64_t Flooded() const { return m_flooded; }
    void Stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    std::vector<Query> Queries() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_queries;
    }

private:
    void Serve(const std::string& ns, std::promise<bool>& ready) {
        if (!EnterNamespace(ns)) {
            ready.set_value(false);
            return;
        }
        UniqueFd listener(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        const int on = 1;
        setsockopt(listener.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        setsockopt(listener.Get(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_port = htons(15000);
        if (bind(listener.Get(), reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
            ready.set_value(false);
            return;
        }
        ready.set_value(true);
        while (!m_stop) {
            pollfd entry{listener.Get(), POLLIN, 0};
            if (poll(&entry, 1, 20) <= 0)
                continue;
            sockaddr_in source{};
            const Query query = Receive(listener.Get(), source);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_queries.push_back(query);
            }
            if (m_flood && m_flooders.empty())
                StartFlood(ns, source);
            for (const std::string& reply : m_replies)
                sendto(listener.Get(), reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&source),
                       sizeof source);
        }
        for (std::thread& flooder : m_flooders)
            flooder.join();
    }

    // Several senders, so that a busy machine descheduling one of them does not leave a gap.
    void StartFlood(const std::string& ns, sockaddr_in target) {
        for (int i = 0; i < 3; ++i)
            m_flooders.emplace_back([this, ns, target] {
                if (!EnterNamespace(ns)) {
                    ++m_floodersOut;
                    return;
                }
                ++m_floodersIn;
                UniqueFd sender(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
                while (!m_stop)
                    for (const std::string& reply : m_replies)
                        if (sendto(sender.Get(), reply.data(), reply.size(), 0,
                                   reinterpret_cast<const sockaddr*>(&target), sizeof target) > 0)
                            ++m_flooded;
            });
    }

    static Query Receive(int fd, sockaddr_in& source) {
        char data[2048];
        char control[256];
        iovec vector{data, sizeof data};
        msghdr message{};
        message.msg_name = &source;
        message.msg_namelen = sizeof source;
        message.msg_iov = &vector;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t got = recvmsg(fd, &message, 0);
        Query query;
        query.bytes.assign(data, got > 0 ? static_cast<size_t>(got) : 0);
        query.sourcePort = ntohs(source.sin_port);
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                const auto* info = reinterpret_cast<const in_pktinfo*>(CMSG_DATA(c));
                char text[INET_ADDRSTRLEN] = {};
                inet_ntop(AF_INET, &info->ipi_addr, text, sizeof text);
                query.destination = text;
            }
        }
        return query;
    }

    std::vector<std::string> m_replies;
    bool m_flood = false;
    std::vector<std::thread> m_flooders;
    std::atomic<int> m_floodersIn{0};
    std::atomic<int> m_floodersOut{0};
    std::atomic<uint64_t> m_flooded{0};
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    bool m_ready = false;
    std::mutex m_mutex;
    std::vector<Query> m_queries;
};

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
                        JoinWithVeth(*s_client, std::string(kClientAddress) + "/24", *s_printers,
                                     std::string(kPrinterAddress) + "/24", error) &&
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

    static std::vector<std::string> Enumerate(std::string& error) {
        std::vector<std::string> devices;
        EXPECT_TRUE(s_client->Run([&] { devices = ComPortEth::EnumEthDevices(error); }));
        return devices;
    }

    static inline std::string s_unavailable;
    static inline std::string s_setupError;
    static inline std::unique_ptr<NetworkNamespace> s_client;
    static inline std::unique_ptr<NetworkNamespace> s_printers;
};

} // namespace

TEST_F(EthDiscoveryNetns, PrinterAnswerIsListedWithItsAddressAndName) {
    Responder printer(s_printers->Name(), {kTag + "<Kiosk-1>"});
    ASSERT_TRUE(printer.Ready());
    std::string error;
    const std::vector<std::string> devices = Enumerate(error);
    printer.Stop();
    EXPECT_EQ(error, "");
    EXPECT_EQ(devices, std::vector<std::string>{"10.77.0.2:9100(Kiosk-1)"});

    // The query: 18 bytes from port 15001, to the limited broadcast and to the interface broadcast.
    std::set<std::string> destinations;
    for (const Query& query : printer.Queries()) {
        EXPECT_EQ(query.bytes, "<VM><STSMOQ><NAME>");
        EXPECT_EQ(query.sourcePort, 15001);
        destinations.insert(query.destination);
    }
    EXPECT_EQ(destinations, (std::set<std::string>{"255.255.255.255", "10.77.0.255"}));
    // Passes repeat for the whole window, not just once.
    EXPECT_GT(printer.Queries().size(), 2u);
}

TEST_F(EthDiscoveryNetns, BusyDiscoveryPortIsReported) {
    // Another program already holds port 15001 in the client's namespace.
    std::string error;
    ASSERT_TRUE(s_client->Run([&] {
        UniqueFd holder(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(15001);
        ASSERT_EQ(bind(holder.Get(), reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
        EXPECT_TRUE(ComPortEth::EnumEthDevices(error).empty());
    }));
    EXPECT_EQ(error, "bind socket error");
}

TEST_F(EthDiscoveryNetns, FloodingPrinterCannotHoldDiscoveryPastItsWindow) {
    // After the first query a datagram is almost always waiting (a loaded machine may still leave
    // gaps); discovery must end, and record the printer once, all the same.
    Responder flood(s_printers->Name(), {kTag + "<Flood>"}, true);
    ASSERT_TRUE(flood.Ready());
    std::string error;
    const std::vector<std::string> devices = Enumerate(error);
    flood.Stop();
    // The flood starts at discovery's first query; without it nothing holds discovery, and the case
    // would prove nothing.
    ASSERT_EQ(flood.FloodersOut(), 0) << "flooders could not enter " << s_printers->Name();
    ASSERT_EQ(flood.FloodersIn(), 3) << "the flood never started: no query reached the printer";
    EXPECT_GT(flood.Flooded(), 0u);
    EXPECT_EQ(devices, std::vector<std::string>{"10.77.0.2:9100(Flood)"});
}
