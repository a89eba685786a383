// The real program driven by a raw client: a TCP session (handshake, setup read, write, store,
// reset and reconnect), the pty line with its baud-rate rule, the discovery responder and the
// transcript, plus the command line itself.
#include "tests/sim/SimHarness.h"

#include "base/Clock.h"
#include "tests/support/ProcessRunner.h"
#include "tests/support/TempDir.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using namespace simtest;

namespace {

using namespace std::string_literals;

const std::vector<std::string> kFastClock = {"DALVORA_TESTONLY_TIME_SCALE=0.1"};

std::vector<nlohmann::json> ReadTranscript(const std::string& path) {
    std::vector<nlohmann::json> lines;
    std::string text = ReadWholeFile(path);
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t nl = text.find('\n', pos);
        lines.push_back(nlohmann::json::parse(text.substr(pos, nl - pos)));
        pos = nl + 1;
    }
    return lines;
}

TEST(Program, HelpAndBadArguments) {
    const ProcessResult help = RunProcess(DALVORA_SIM_BINARY, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--tcp ADDR:PORT"), std::string::npos);
    const ProcessResult none = RunProcess(DALVORA_SIM_BINARY, {});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.err.find("nothing to serve"), std::string::npos);
    const ProcessResult badFault =
        RunProcess(DALVORA_SIM_BINARY, {"--tcp", "127.0.0.1:0", "--fault", "drip=0:1"});
    EXPECT_EQ(badFault.exitCode, 1);
    EXPECT_NE(badFault.err.find("fault \"drip=0:1\""), std::string::npos);
}

TEST(Program, BadProfileIsRefusedWithItsReason) {
    TempDir dir;
    dir.write("bad.json", SmallProfile(R"({"gsi": 5})"));
    const ProcessResult r =
        RunProcess(DALVORA_SIM_BINARY, {"--profile", dir.file("bad.json"), "--tcp", "127.0.0.1:0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(dir.file("bad.json") + ": gsi: identity code must be 0x100..0xFFFF"),
              std::string::npos)
        << r.err;
}

class TcpSession : public ::testing::Test {
protected:
    void SetUp() override {
        dir.write("p.json", SmallProfile());
        sim = std::make_unique<SimProcess>(std::vector<std::string>{"--profile", dir.file("p.json"), "--tcp",
                                                                    "127.0.0.1:0", "--transcript",
                                                                    transcript()},
                                           kFastClock);
        port = PortFromLine(sim->ReadLine(), "tcp");
        ASSERT_NE(port, 0);
        ASSERT_TRUE(client.Connect(port));
    }
    std::string transcript() const { return dir.file("t.jsonl"); }
    Bytes Exchange(const Bytes& request) {
        client.Send(request);
        return client.ReadAnswer();
    }
    TempDir dir;
    std::unique_ptr<SimProcess> sim;
    uint16_t port = 0;
    RawClient client;
};

TEST_F(TcpSession, HandshakeReadWriteStoreResetAndReconnect) {
    client.Send(B("\x1c<EPOS>\x18\x1d\x49\x01"));
    EXPECT_EQ(S(client.ReadCount(1)), "\x41");
    client.Send(B("\x18\x1d\x49\x03"));
    EXPECT_EQ(S(client.ReadCount(6)), "FW 1.0");
    EXPECT_EQ(S(Exchange(Command(0x01))), "\x02<C1><1.00>\x03"s);
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
    const auto lines = ReadTranscript(transcript());
    std::vector<std::string> requests;
    for (const auto& l : lines)
        if (l.contains("request"))
            requests.push_back(l["request"]);
    EXPECT_EQ(requests,
              (std::vector<std::string>{"EPOS", "CAN", "GSI", "CAN", "FWREL", "C1", "C5", "C6", "C7", "C4"}));
    const auto store = std::find_if(lines.begin(), lines.end(),
                                    [](const auto& l) { return l.value("request", "") == "C6"; });
    ASSERT_NE(store, lines.end());
    EXPECT_EQ((*store)["changes"][0]["to"], "1");
    EXPECT_EQ((*store)["changes"][0]["state"], "current");
    const auto set = std::find_if(lines.begin(), lines.end(),
                                  [](const auto& l) { return l.value("request", "") == "C5"; });
    EXPECT_EQ((*set)["received"], sim::ToHex(SetValueCommand("7", "1")));
    EXPECT_EQ((*set)["answered"], "023c43353e0603");
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

TEST(ProgramFaults, ProfileSwitchesAndOptionsBothApply) {
    TempDir dir;
    dir.write("p.json", SmallProfile(R"({"faults": ["no-answer=C1#1"]})"));
    SimProcess sim({"--profile", dir.file("p.json"), "--tcp", "127.0.0.1:0", "--fault", "error=C3:42"});
    const uint16_t port = PortFromLine(sim.ReadLine(), "tcp");
    RawClient client;
    ASSERT_TRUE(client.Connect(port));
    client.Send(Command(0x01));
    EXPECT_TRUE(client.ReadAnswer(300).empty());
    client.Send(Command(0x01));
    EXPECT_EQ(S(client.ReadAnswer()), "\x02<C1><1.00>\x03"s);
    client.Send(Command(0x03));
    EXPECT_EQ(S(client.ReadAnswer()), "\x02<C3>\x15<ERR42>\x03"s);
}

TEST(ProgramFaults, DroppedAnswerEndsTheConnection) {
    TempDir dir;
    dir.write("p.json", SmallProfile());
    SimProcess sim({"--profile", dir.file("p.json"), "--tcp", "127.0.0.1:0", "--fault", "drop=C2:3"});
    RawClient client;
    ASSERT_TRUE(client.Connect(PortFromLine(sim.ReadLine(), "tcp")));
    client.Send(Command(0x02));
    EXPECT_EQ(S(client.ReadCount(3)), "\x02<C");
    EXPECT_TRUE(client.WaitClosed(2000));
}

int OpenPtyAt(const std::string& path, speed_t speed) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return -1;
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

Bytes ReadFor(int fd, int ms) {
    Bytes out;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0)
            return out;
        uint8_t buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            return out;
        out.insert(out.end(), buf, buf + n);
        if (FrameComplete(out))
            return out;
    }
}

TEST(PtyLine, AnswersOnlyAtTheProfilesBaudRate) {
    TempDir dir;
    dir.write("p.json", SmallProfile()); // 19200 baud
    const std::string link = dir.file("ttySIM");
    SimProcess sim({"--profile", dir.file("p.json"), "--pty", link});
    const std::string line = sim.ReadLine();
    ASSERT_EQ(line.rfind("listening pty " + link + " /dev/pts/", 0), 0u) << line;
    for (speed_t wrong : {B115200, B9600, B38400}) {
        const int fd = OpenPtyAt(link, wrong);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "\x18\x1d\x49\x01", 4), 4);
        EXPECT_TRUE(ReadFor(fd, 150).empty()) << "answered at a wrong rate";
        ::close(fd);
    }
    const int fd = OpenPtyAt(link, B19200);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "\x18\x1d\x49\x01", 4), 4);
    EXPECT_EQ(S(ReadFor(fd, 1000)), "\x41");
    const Bytes cmd = Command(0x03);
    ASSERT_EQ(::write(fd, cmd.data(), cmd.size()), static_cast<ssize_t>(cmd.size()));
    EXPECT_EQ(S(ReadFor(fd, 1000)), "\x02<C3><5><7><1203><8><9><10><208>\x03"s);
    ::close(fd);
    sim.Stop();
    EXPECT_NE(::access(link.c_str(), F_OK), 0) << "the symlink outlived the simulator";
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
