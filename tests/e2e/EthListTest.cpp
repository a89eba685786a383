// --ethdevlist as a user runs it, but inside a network namespace of the test's own, joined by a veth
// pair to a second one where the simulator answers discovery: the broadcast never reaches the
// machine's own network.
#include "tests/support/BackgroundProcess.h"
#include "tests/support/NetworkNamespace.h"
#include "tests/support/ProcessRunner.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class EthList : public ::testing::Test {
protected:
    void SetUp() override {
        std::string unavailable = NetworkNamespace::Unavailable();
        if (!unavailable.empty())
            GTEST_SKIP() << unavailable;
        NetworkNamespace::RemoveStale();
        client = std::make_unique<NetworkNamespace>("l");
        printers = std::make_unique<NetworkNamespace>("s");
        std::string error;
        ASSERT_TRUE(client->Valid() && printers->Valid()) << client->Error() << printers->Error();
        ASSERT_TRUE(JoinWithVeth(*client, "10.78.0.1/24", *printers, "10.78.0.2/24", error)) << error;
        ASSERT_TRUE(client->Ip({"route", "add", "default", "dev", VethName('a')})) << client->Error();
    }

    ProcessResult EthDevList(const std::vector<std::string>& options) {
        std::vector<std::string> args{"netns", "exec", client->Name(), DALVORA_BINARY, "--ethdevlist"};
        args.insert(args.end(), options.begin(), options.end());
        return RunProcess(NetworkNamespace::IpProgram(), args);
    }

    std::unique_ptr<NetworkNamespace> client;
    std::unique_ptr<NetworkNamespace> printers;
};

} // namespace

TEST_F(EthList, NoPrinterIsTheDiscoveryFailureAndOneThatAnswersIsListed) {
    ProcessResult none = EthDevList({"-v"});
    EXPECT_EQ(none.exitCode, 255);
    EXPECT_NE(none.out.find("LIST ETH DEVICES ERROR\n\nDevice not found or Generic Error\n"),
              std::string::npos)
        << none.out;
    EXPECT_EQ(none.out.find("LIST ETH DEVICES:"), std::string::npos);

    BackgroundProcess sim(NetworkNamespace::IpProgram(),
                          {"netns", "exec", printers->Name(), DALVORA_SIM_BINARY, "--udp", "0.0.0.0"});
    ASSERT_EQ(sim.ReadLine(10000).rfind("listening udp", 0), 0u);
    ProcessResult r = EthDevList({"-s"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "LIST ETH DEVICES:\n10.78.0.2:9100(Dalvora-Sim)\n\n");
}
