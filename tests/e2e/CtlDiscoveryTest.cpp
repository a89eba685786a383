// dalvoractl list --discover inside a network namespace of the test's own, joined by a veth pair to a
// second one where the simulator answers discovery and serves its printer port: the printer found by
// broadcast is then asked who it is. The broadcast never reaches the machine's own network.
#include "tests/e2e/CtlRun.h"
#include "tests/support/NetworkNamespace.h"

#include <gtest/gtest.h>

namespace {

TEST(CtlDiscovery, DiscoveredPrintersAreListedWithTheirIdentity) {
    const std::string unavailable = NetworkNamespace::Unavailable();
    if (!unavailable.empty())
        GTEST_SKIP() << unavailable;
    NetworkNamespace::RemoveStale();
    NetworkNamespace client("c");
    NetworkNamespace printers("p");
    std::string error;
    ASSERT_TRUE(client.Valid() && printers.Valid()) << client.Error() << printers.Error();
    ASSERT_TRUE(JoinWithVeth(client, "10.79.0.1/24", printers, "10.79.0.2/24", error)) << error;
    ASSERT_TRUE(client.Ip({"route", "add", "default", "dev", VethName('a')})) << client.Error();

    TempDir dir;
    BackgroundProcess sim(NetworkNamespace::IpProgram(),
                          {"netns", "exec", printers.Name(), "env",
                           std::string("DALVORA_TESTONLY_TIME_SCALE=") + kTimeScale, DALVORA_SIM_BINARY,
                           "--udp", "0.0.0.0", "--tcp", "10.79.0.2:9100"});
    for (int line = 0; line < 2; ++line)
        ASSERT_EQ(sim.ReadLine(10000).rfind("listening", 0), 0u);

    const ProcessResult run = RunProcess(
        NetworkNamespace::IpProgram(),
        {"netns", "exec", client.Name(), "env", std::string("DALVORA_TESTONLY_TIME_SCALE=") + kTimeScale,
         "XDG_STATE_HOME=" + dir.path(), DALVORACTL_BINARY, "--json", "list", "--discover"});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const nlohmann::json listed = nlohmann::json::parse(run.out);
    EXPECT_EQ(SchemaErrors(listed), "");
    ASSERT_EQ(listed["printers"].size(), 1u) << run.out;
    EXPECT_EQ(listed["printers"][0]["printer"], "eth:10.79.0.2:9100");
    EXPECT_EQ(listed["printers"][0]["name"], "Dalvora-Sim");
    EXPECT_EQ(listed["printers"][0]["identity"]["gsi"], "0x0141");
}

} // namespace
