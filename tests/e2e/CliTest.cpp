// The dalvora binary as a user runs it: help and version, the choice between window and command
// line, exit statuses with their messages, and logging to the console and to the home directory.
#include "tests/e2e/UsageTextGolden.h"
#include "tests/support/PrivateHome.h"
#include "tests/support/ProcessRunner.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

const std::string kBinary = DALVORA_BINARY;

ProcessResult Dalvora(const std::vector<std::string>& args, ProcessOptions options = {}) {
    options.env.emplace_back("QT_QPA_PLATFORM", "offscreen");
    return RunProcess(kBinary, args, options);
}

// Windowed runs close themselves after a moment and name their window on standard error.
ProcessResult DalvoraWindow(const std::vector<std::string>& args) {
    ProcessOptions options;
    options.env.emplace_back("DALVORA_TESTONLY_QUIT_AFTER_MS", "100");
    return Dalvora(args, options);
}

} // namespace

TEST(Cli, HelpIsTheUsageTextAndVersionOnlyTheRelease) {
    ProcessResult r = Dalvora({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    // The usage text is what scripts and operators read: it stays exactly as it is.
    EXPECT_EQ(r.out, ExpectedUsageText(kBinary));
    EXPECT_EQ(Dalvora({"--help", "--usbdevlist"}).out, r.out); // answered before anything else
    ProcessResult version = Dalvora({"--version", "-v", "--exectool"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "Release: 1.1.1\n");
}

TEST(Cli, WithoutOperationTheWindowOpens) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"-v", "--version"}, {"--SWPRNLIFEINFO"}, {"--help2"}}) {
        ProcessResult r = DalvoraWindow(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.err.find("window: Dalvora - Velmar - ver. 1.1.1"), std::string::npos) << r.err;
    }
    // -v still switches the console writer on in windowed mode: the summary line shows.
    ProcessResult verbose = DalvoraWindow({"-v", "--version"});
    EXPECT_EQ(verbose.out,
              "ARGS: usbdevlist=0 ethdevlist=0 filename= type= device= upg_components_str=0 rtool=0 "
              "toolfilename=\n");
}

// Messages only with -v, log lines with -lv, nothing with -s; the status is the same each time.
TEST(Cli, ConsoleMessagesLogAndSilence) {
    ProcessResult quiet = Dalvora({"--printerversion"});
    EXPECT_EQ(quiet.exitCode, 13);
    EXPECT_EQ(quiet.out, "");
    ProcessResult verbose = Dalvora({"--printerversion", "-v"});
    EXPECT_EQ(verbose.exitCode, 13);
    EXPECT_NE(verbose.out.find("type argument not valid\n"), std::string::npos);
    EXPECT_NE(verbose.out.find("Parameter not OK\n"), std::string::npos);
    ProcessResult logged = Dalvora({"--printerversion", "-lv"});
    EXPECT_EQ(logged.exitCode, 13);
    EXPECT_NE(logged.out.find("][]Parameter not OK"), std::string::npos) << logged.out;
    ProcessResult silent = Dalvora({"--printerversion", "-s", "-lv"});
    EXPECT_EQ(silent.exitCode, 13);
    EXPECT_EQ(silent.out, "");
}

TEST(Cli, ResultLineForToolUpgradeAndArchive) {
    ProcessResult tool = Dalvora({"--exectool", "-rtool", "1-1", "-t", "eth", "-d", "127.0.0.1:9"});
    EXPECT_EQ(tool.exitCode, 14);
    EXPECT_EQ(tool.out, "Result: failure(14)\n");
}

// The list is the operation's output: printed whatever -s says, with success. (The printers found, if
// any, are covered against emulated devices in the USB suite.)
TEST(Cli, UsbListIsPrintedEvenWhenSilent) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--usbdevlist", "-s"}, {"--usbdevlist", "--sendtcfx"}}) {
        ProcessResult r = Dalvora(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out.rfind("LIST USB DEVICES:\n", 0), 0u) << r.out;
        EXPECT_EQ(r.out.find("Result: success\n") != std::string::npos, args[1] == "--sendtcfx") << r.out;
    }
}

TEST(Cli, OverlongArgumentIsAParameterError) {
    std::string tooLong(1024, 'f');
    ProcessResult r = Dalvora({"--sendtcfx", "-f", tooLong, "-t", "eth", "-v"});
    EXPECT_EQ(r.exitCode, 13);
    EXPECT_NE(r.out.find("-f argument longer than 1023 characters"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Parameter not OK\n"), std::string::npos);
    EXPECT_NE(r.out.find("Result: failure(13)\n"), std::string::npos);
    // 1023 characters are taken: the run goes on to the next check.
    ProcessResult fits = Dalvora({"--sendtcfx", "-f", std::string(1023, 'f'), "-v"});
    EXPECT_EQ(fits.exitCode, 13);
    EXPECT_EQ(fits.out.find("longer than"), std::string::npos) << fits.out;
    EXPECT_NE(fits.out.find("type argument not valid\n"), std::string::npos) << fits.out;
}

// -lf writes under the home directory of the password database; here a private one.
TEST(Cli, FileLogInTheHomeDirectory) {
    if (const std::string why = PrivateHomeUnavailableReason(); !why.empty())
        GTEST_SKIP() << why;
    TempDir home;
    const auto run = [&](const std::vector<std::string>& args) {
        ProcessOptions options;
        options.env.emplace_back("QT_QPA_PLATFORM", "offscreen");
        return RunProcess(kUnshareProgram, InPrivateHome(home.path(), kBinary, args), options);
    };
    const std::string logFile = home.file("VELMAR/Dalvora/Log/status.log");

    ProcessResult r = run({"--printerversion", "-lf"});
    EXPECT_EQ(r.exitCode, 13) << r.err;
    EXPECT_EQ(r.out, "");
    const std::string written = ReadWholeFile(logFile);
    const std::regex line(R"(\n\[\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\]\[perform_cmdline_operation\])"
                          R"(operation printerversion\n)");
    EXPECT_TRUE(std::regex_search("\n" + written, line)) << written;

    // Silence keeps a file log.
    run({"--printerversion", "-lf", "-s"});
    EXPECT_GT(ReadWholeFile(logFile).size(), written.size());
}
