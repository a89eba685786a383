// The dalvora binary as a user runs it: help and version, the choice between window and command
// line, exit statuses with their messages, and logging to the console and to the home directory.
#include "base/HomeDir.h"
#include "tests/e2e/UsageTextGolden.h"
#include "tests/support/ProcessRunner.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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

const std::regex kLogLine(R"(\[\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\]\[[^\]]*\][^\n]*)");

int CountLogLines(const std::string& text) {
    auto begin = std::sregex_iterator(text.begin(), text.end(), kLogLine);
    return static_cast<int>(std::distance(begin, std::sregex_iterator()));
}

} // namespace

TEST(Cli, HelpIsTheUsageTextExactly) {
    ProcessResult r = Dalvora({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 58);
    EXPECT_EQ(r.out, ExpectedUsageText(kBinary));
    EXPECT_EQ(Dalvora({"--help", "--usbdevlist"}).out, r.out); // answered before anything else
}

TEST(Cli, VersionPrintsOnlyTheRelease) {
    ProcessResult r = Dalvora({"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "Release: 1.1.1\n");
    EXPECT_EQ(Dalvora({"--version", "-v", "--exectool"}).out, "Release: 1.1.1\n");
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

TEST(Cli, ConsoleMessagesOnlyWithVerbose) {
    ProcessResult quiet = Dalvora({"--printerversion"});
    EXPECT_EQ(quiet.exitCode, 13);
    EXPECT_EQ(quiet.out, "");
    ProcessResult verbose = Dalvora({"--printerversion", "-v"});
    EXPECT_EQ(verbose.exitCode, 13);
    EXPECT_NE(verbose.out.find("ARGS: usbdevlist=0"), std::string::npos);
    EXPECT_NE(verbose.out.find("type argument not valid\n"), std::string::npos);
    EXPECT_NE(verbose.out.find("Parameter not OK\n"), std::string::npos);
}

TEST(Cli, ResultLineForToolUpgradeAndArchive) {
    ProcessResult tool = Dalvora({"--exectool", "-rtool", "1-1", "-t", "eth", "-d", "127.0.0.1:9"});
    EXPECT_EQ(tool.exitCode, 14);
    EXPECT_EQ(tool.out, "Result: failure(14)\n");
    EXPECT_EQ(Dalvora({"--exectool", "-s"}).out, "");
    EXPECT_EQ(Dalvora({"--printerversion", "-s"}).out, "");
    // --printerversion wins over --upgrade, and the upgrade flag still asks for the result line.
    ProcessResult both = Dalvora({"--upgrade", "--printerversion", "-lv"});
    EXPECT_NE(both.out.find("[perform_cmdline_operation]operation printerversion"), std::string::npos)
        << both.out;
    EXPECT_NE(both.out.find("Result: failure(13)\n"), std::string::npos);
}

TEST(Cli, PriorityOfOperations) {
    ProcessResult r = Dalvora({"--sendtcfx", "--ethdevlist", "--usbdevlist", "-lv"});
    EXPECT_NE(r.out.find("operation usbdevlist"), std::string::npos) << r.out;
    r = Dalvora({"--usbdevlist", "--exectool", "-lv"});
    EXPECT_NE(r.out.find("operation exectool"), std::string::npos) << r.out;
}

// The list is the operation's output: printed whatever -s says, with success. (The printers found, if
// any, are covered against emulated devices in the USB suite.)
TEST(Cli, UsbListIsPrintedEvenWhenSilent) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--usbdevlist"}, {"--usbdevlist", "-s"}, {"--usbdevlist", "--sendtcfx"}}) {
        ProcessResult r = Dalvora(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out.rfind("LIST USB DEVICES:\n", 0), 0u) << r.out;
        EXPECT_EQ(r.out.back(), '\n');
    }
    EXPECT_NE(Dalvora({"--usbdevlist", "--sendtcfx"}).out.find("Result: success\n"), std::string::npos);
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

TEST(Cli, ConsoleLogAndSilence) {
    ProcessResult logged = Dalvora({"--printerversion", "-lv"});
    EXPECT_EQ(logged.exitCode, 13);
    EXPECT_GE(CountLogLines(logged.out), 2) << logged.out;
    EXPECT_NE(logged.out.find("][]Parameter not OK"), std::string::npos);
    ProcessResult silent = Dalvora({"--printerversion", "-s", "-lv"});
    EXPECT_EQ(silent.exitCode, 13);
    EXPECT_EQ(silent.out, "");
}

// -lf writes to the real home directory, as users get it; whatever the test created is removed.
TEST(Cli, FileLogInTheHomeDirectory) {
    std::string home = getHomeDir();
    ASSERT_FALSE(home.empty());
    std::filesystem::path velmar = std::filesystem::path(home) / "VELMAR";
    std::filesystem::path logFile = velmar / "Dalvora" / "Log" / "status.log";
    bool existed = std::filesystem::exists(velmar);
    std::string before = existed ? ReadWholeFile(logFile) : "";

    ProcessResult r = Dalvora({"--printerversion", "-lf"});
    EXPECT_EQ(r.exitCode, 13);
    EXPECT_EQ(r.out, "");
    ASSERT_TRUE(std::filesystem::is_directory(logFile.parent_path()));
    std::string after = ReadWholeFile(logFile);
    ASSERT_GE(after.size(), before.size());
    std::string added = after.substr(before.size());
    EXPECT_GE(CountLogLines(added), 2) << added;
    EXPECT_NE(added.find("[perform_cmdline_operation]operation printerversion\n"), std::string::npos)
        << added;

    // Silence keeps a file log.
    Dalvora({"--printerversion", "-lf", "-s"});
    EXPECT_GT(ReadWholeFile(logFile).size(), after.size());
    if (!existed)
        std::filesystem::remove_all(velmar);
}
