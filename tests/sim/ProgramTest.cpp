// The program: what it refuses to start with, and `--usb -- PROGRAM`: the command line, the environment
// the program gets (umockdev's preload, the testbed, the ASan switch on top of the caller's options),
// its exit status passed on, and its end when the simulator is stopped or killed. The program here is
// a shell that reports what it sees.
#include "tests/sim/SimHarness.h"

#include "sim/HostProgram.h"
#include "tests/support/BackgroundProcess.h"
#include "tests/support/ProcessRunner.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace simtest;

namespace {

using Env = std::vector<std::string>;

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
        {{"--usb", "--"}, 2, "-- needs a PROGRAM to run"},
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

// Unset and empty variables are seen by the program in the test below; here, the caller's own preload.
TEST(HostEnvironment, PreloadFirstTestbedAndAsanSwitchAppended) {
    EXPECT_EQ(sim::HostEnvironment("libfoo.so:libbar.so", "detect_leaks=1:abort_on_error=1", "/x"),
              (Env{"LD_PRELOAD=libumockdev-preload.so.0:libfoo.so:libbar.so", "UMOCKDEV_DIR=/x",
                   "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:verify_asan_link_order=0"}));
}

bool Ended(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text))
        return true;
    const size_t close = text.rfind(')');
    return close != std::string::npos && text.size() > close + 2 && text[close + 2] == 'Z';
}

} // namespace

TEST(HostProgram, RunsUnderThePreloadWithTheTestbedAndPassesItsStatusOn) {
    ProcessOptions options;
    options.env = {{"ASAN_OPTIONS", "detect_leaks=0"}, {"LD_PRELOAD", ""}};
    const ProcessResult r = RunProcess(
        DALVORA_SIM_BINARY,
        {"--usb", "--", "sh", "-c",
         R"(printf '%s\n' "$LD_PRELOAD" "$UMOCKDEV_DIR" "$ASAN_OPTIONS"; test -d "$UMOCKDEV_DIR/sys/bus/usb/devices/1-1" && exit 3)"},
        options);
    EXPECT_EQ(r.exitCode, 3) << r.err;
    const size_t first = r.out.find('\n');
    const size_t second = r.out.find('\n', first + 1);
    ASSERT_NE(second, std::string::npos) << r.out;
    const std::string dir = r.out.substr(first + 1, second - first - 1);
    EXPECT_EQ(r.out, "libumockdev-preload.so.0\n" + dir + "\ndetect_leaks=0:verify_asan_link_order=0\n");
    // Standard output is the program's: the simulator says what listens on standard error.
    EXPECT_EQ(r.err.rfind("listening usb ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(" " + dir + "\n"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir)); // the testbed goes with the simulator
    EXPECT_EQ(RunProcess(DALVORA_SIM_BINARY, {"--usb", "--", "sh", "-c", "kill -9 $$"}).exitCode, 128 + 9);
}

TEST(HostProgram, EndsWhenTheSimulatorIsStoppedOrDies) {
    for (int signal : {SIGTERM, SIGKILL}) {
        TempDir tmp; // a killed simulator leaves its testbed behind
        BackgroundProcess sim(DALVORA_SIM_BINARY, {"--usb", "--", "sh", "-c", "echo $$; exec sleep 30"},
                              {"TMPDIR=" + tmp.path()});
        const std::string line = sim.ReadLine(5000);
        ASSERT_FALSE(line.empty());
        const pid_t program = static_cast<pid_t>(std::stol(line));
        const int status = sim.Stop(signal);
        // Stopped, the simulator ends the program and reports how it ended; killed, the program follows.
        EXPECT_EQ(status, signal == SIGTERM ? 128 + SIGTERM : 128 + SIGKILL);
        EXPECT_TRUE(WaitUntil([&] { return Ended(program); }, 2000)) << signal;
    }
}
