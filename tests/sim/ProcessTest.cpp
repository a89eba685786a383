// The real program driven by a raw client: what it refuses to start with, a TCP session (write, store,
// reset and reconnect) and its transcript, one host at a time, faults from both sources on the wire,
// and the discovery responder.
#include "tests/sim/SimHarness.h"

#include "base/Clock.h"
#include "tests/support/ProcessRunner.h"
#include "tests/support/SimTranscript.h"
#include "tests/support/TempDir.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace simtest;

namespace {

using namespace std::string_literals;

TEST(Program, RefusesToStartWithItsReasonAndStatus) {
    TempDir dir;
    dir.write("bad.json", SmallProfile(R"({"gsi": 5})"));
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{}, 2, "nothing to serve"},
        {{"--tcp", "127.0.0.1:0", "--fault", "drip=0:1"}, 1, "fault \"drip=0:1\""},
        {{"--profile", dir.file("bad.json"), "--tcp", "127.0.0.1:0"},
         1,
         dir.file("bad.json") + ": gsi: identity code must be 0x100..0xFFFF"},
        {{"--tcp", "127.0.0.1:0", "--", "true"}, 2, "-- PROGRAM needs --usb"},
        {{"--usb", "--", "/nonexistent/host"},
         127,
         "cannot run /nonexistent/host: No such file or directory"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = RunProcess(DALVORA_SIM_BINARY, c.args);
        EXPECT_EQ(r.exitCode, c.status) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

class TcpSession : public ::testing::Test {
protected:
    void SetUp() override {
        dir.write("p.json", SmallProfile());
        sim = std::make_unique<SimProcess>(std::vector<std::string>{"--profile", dir.file("p.json"), "--tcp",
                                                                    "127.0.0.1:0", "--transcript",
                                                                    dir.file("t.jsonl")},
                                           std::vector<std::string>{"DALVORA_TESTONLY_TIME_SCALE=0.1"});
        port = PortFromLine(sim->ReadLine(), "tcp");
        ASSERT_NE(port, 0);
        ASSERT_TRUE(client.Connect(port));
    }
    Bytes Exchange(const Bytes& request) {
        client.Send(request);
        return client.ReadAnswer();
    }
    TempDir dir;
    std::unique_ptr<SimProcess> sim;
    uint16_t port = 0;
    RawClient client;
};

TEST_F(TcpSession, StoredValueSurvivesTheResetAndTheNewConnection) {
    EXPECT_EQ(S(Exchange(SetValueCommand("7", "1"))), "\x02<C5>\x06\x03"s);
    client.Send(Command(0x06));
    client.Send(Command(0x07));
    EXPECT_TRUE(client.WaitClosed(2000));
    // Restarting: 2000 ms scaled by 0.1, the port refuses connections meanwhile.
    const uint64_t start = Clock::MonotonicMs();
    EXPECT_FALSE(client.Connect(port));
    bool back = false;
    while (!back && Clock::MonotonicMs() - start < 3000) {
        ::usleep(20000);
        back = client.Connect(port);
    }
    ASSERT_TRUE(back);
    EXPECT_GE(Clock::MonotonicMs() - start, 100u);
    // The stored value survived the restart and the new connection.
    EXPECT_NE(S(Exchange(Command(0x04, {"7"}))).find("<0><0><1><2>"), std::string::npos);
    sim->Stop();
    const SimTranscript transcript(dir.file("t.jsonl"));
    EXPECT_EQ(transcript.Requests(), (std::vector<std::string>{"C5", "C6", "C7", "C4"}));
    for (const nlohmann::json& line : transcript.Lines()) {
        if (line.value("request", "") == "C5") {
            EXPECT_EQ(line["received"], sim::ToHex(SetValueCommand("7", "1")));
            EXPECT_EQ(line["answered"], "023c43353e0603");
        } else if (line.value("request", "") == "C6") {
            EXPECT_EQ(line["changes"][0]["to"], "1");
            EXPECT_EQ(line["changes"][0]["state"], "current");
        }
    }
}

TEST_F(TcpSession, OneHostAtATime) {
    EXPECT_EQ(S(Exchange(Command(0x01))), "\x02<C1><1.00>\x03"s);
    RawClient second;
    ASSERT_TRUE(second.Connect(port)); // waits in the backlog
    second.Send(Command(0x01));
    EXPECT_TRUE(second.ReadAnswer(200).empty());
    client.Close();
    EXPECT_EQ(S(second.ReadAnswer(2000)), "\x02<C1><1.00>\x03"s);
}

TEST(ProgramFaults, ProfileSwitchesAndOptionsBothApplyAndADropEndsTheConnection) {
    TempDir dir;
    dir.write("p.json", SmallProfile(R"({"faults": ["no-answer=C1#1"]})"));
    SimProcess sim({"--profile", dir.file("p.json"), "--tcp", "127.0.0.1:0", "--fault", "error=C3:42",
                    "--fault", "drop=C2:3"});
    RawClient client;
    ASSERT_TRUE(client.Connect(PortFromLine(sim.ReadLine(), "tcp")));
    client.Send(Command(0x01));
    EXPECT_TRUE(client.ReadAnswer(300).empty());
    client.Send(Command(0x01));
    EXPECT_EQ(S(client.ReadAnswer()), "\x02<C1><1.00>\x03"s);
    client.Send(Command(0x03));
    EXPECT_EQ(S(client.ReadAnswer()), "\x02<C3>\x15<ERR42>\x03"s);
    client.Send(Command(0x02));
    EXPECT_EQ(S(client.ReadAnswer()), "\x02<C");
    EXPECT_TRUE(client.WaitClosed(2000));
}

TEST(Discovery, AnswersTheQueryToItsSenderOnly) {
    TempDir dir;
    dir.write("p.json", SmallProfile());
    SimProcess sim({"--profile", dir.file("p.json"), "--udp", "127.0.0.1:0"});
    const uint16_t port = PortFromLine(sim.ReadLine(), "udp");
    ASSERT_NE(port, 0);
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto ask = [&](const std::string& datagram) {
        (void)::sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 300) <= 0)
            return std::string();
        char buf[1500];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
    };
    EXPECT_EQ(ask("<VM><STSMOQ><NAME>"), "<VM><STSMOA><NAME><Test-1>");
    EXPECT_EQ(ask("<VM><STSMOQ><NAMEX>"), "");
    EXPECT_EQ(ask("hello"), "");
    ::close(fd);
}

} // namespace
