// The log (modes, line format, per-line file handling, limits), the console writer and the exception.
#include "base/CmdConsole.h"
#include "base/DalvoraException.h"
#include "base/Log.h"
#include "base/VmComLayerException.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

namespace {

class LogTest : public ::testing::Test {
protected:
    void TearDown() override { Log::SetLogEnable(0, false, nullptr); }

    static std::string CaptureLog(const char* where, const char* text) {
        testing::internal::CaptureStdout();
        Log::WriteLog(where, text);
        return testing::internal::GetCapturedStdout();
    }
};

const std::regex kLineFormat(R"(\[\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\]\[([^\]]*)\](.*))");

} // namespace

TEST_F(LogTest, OffUntilEnabledWithData) {
    EXPECT_EQ(CaptureLog("f", "nothing"), "");
    Log::SetLogEnable(1, false, nullptr);
    EXPECT_EQ(CaptureLog("f", "still nothing"), "");
    Log::SetLogEnable(1, true, nullptr);
    EXPECT_NE(CaptureLog("f", "now"), "");
    // Turning the log off leaves the data flag as it was.
    Log::SetLogEnable(0, false, nullptr);
    EXPECT_TRUE(Log::IsLogDataToo());
    EXPECT_EQ(CaptureLog("f", "off"), "");
}

TEST_F(LogTest, ConsoleLineFormat) {
    Log::SetLogEnable(1, true, nullptr);
    std::string out = CaptureLog("CheckAnswer", "bad checksum");
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), '\n');
    out.pop_back();
    std::smatch match;
    ASSERT_TRUE(std::regex_match(out, match, kLineFormat)) << out;
    EXPECT_EQ(match[1], "CheckAnswer");
    EXPECT_EQ(match[2], "bad checksum");
    EXPECT_TRUE(std::regex_match(CaptureLog("", "Operation Completed"),
                                 std::regex(R"(\[.*\]\[\]Operation Completed\n)")));
}

TEST_F(LogTest, LongTextIsCutToTheLineBuffer) {
    Log::SetLogEnable(1, true, nullptr);
    std::string text(10000, 'x');
    std::string out = CaptureLog("where", text.c_str());
    EXPECT_EQ(out.size(), Log::kLineBufferSize - 1 + 1); // 4095 characters and the line break
    testing::internal::CaptureStdout();
    Log::WriteLogP("where", "%s-%d", text.c_str(), 7);
    EXPECT_EQ(testing::internal::GetCapturedStdout().size(), Log::kLineBufferSize);
}

TEST_F(LogTest, FileNameRules) {
    Log::SetLogEnable(2, true, nullptr);
    EXPECT_EQ(Log::GetFileName(), "status.log");
    Log::SetLogEnable(2, true, "/var/tmp/x");
    EXPECT_EQ(Log::GetFileName(), "/var/tmp/x/status.log");
    std::string fits(Log::kFileNameSize - 1 - 11, 'd'); // with "/status.log": 199 characters
    Log::SetLogEnable(2, true, fits.c_str());
    EXPECT_EQ(Log::GetFileName(), fits + "/status.log");
    // One character more does not fit: refused whole, never cut into another path.
    Log::SetLogEnable(2, true, (fits + "d").c_str());
    EXPECT_EQ(Log::GetFileName(), "status.log");
}

TEST_F(LogTest, FileIsOpenedAndClosedPerLine) {
    TempDir dir;
    Log::SetLogEnable(2, true, dir.path().c_str());
    Log::WriteLog("first", "one");
    Log::WriteLogP("second", "%d", 2);
    std::string path = dir.file("status.log");
    std::string content = ReadWholeFile(path);
    EXPECT_TRUE(std::regex_match(content, std::regex(R"(\[[^\n]*\]\[first\]one\n\[[^\n]*\]\[second\]2\n)")))
        << content;
    // Deleting the file while the program runs: the next line starts a new one.
    ASSERT_EQ(remove(path.c_str()), 0);
    Log::WriteLog("third", "3");
    EXPECT_TRUE(std::regex_match(ReadWholeFile(path), std::regex(R"(\[[^\n]*\]\[third\]3\n)")));
}

TEST_F(LogTest, MissingDirectoryIsASilentNoOp) {
    TempDir dir;
    std::string missing = dir.file("not/there");
    Log::SetLogEnable(2, true, missing.c_str());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Log::WriteLog("f", "lost");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

namespace {

std::string g_lastCallbackText;
int g_callbackCalls = 0;
void RecordCallback(const char* text) {
    g_lastCallbackText = text;
    ++g_callbackCalls;
}

class ConsoleTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_lastCallbackText.clear();
        g_callbackCalls = 0;
    }
    void TearDown() override {
        CmdConsole::iShowToVideo = 0;
        CmdConsole::callback = nullptr;
    }
};

} // namespace

TEST_F(ConsoleTest, SilentWithoutVideoOrCallback) {
    testing::internal::CaptureStdout();
    CmdConsole::WriteToConsoleString("%s", "hidden");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(ConsoleTest, VideoAddsALineBreakAndCallbackGetsTheText) {
    CmdConsole::iShowToVideo = 1;
    CmdConsole::callback = RecordCallback;
    testing::internal::CaptureStdout();
    CmdConsole::WriteToConsoleString("LIST %d\n", 3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "LIST 3\n\n");
    EXPECT_EQ(g_lastCallbackText, "LIST 3\n");

    CmdConsole::iShowToVideo = 0;
    testing::internal::CaptureStdout();
    CmdConsole::WriteToConsoleString("progress %s", "50%");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(g_lastCallbackText, "progress 50%");
}

TEST_F(ConsoleTest, EmptyAndOverlongMessages) {
    CmdConsole::callback = RecordCallback;
    CmdConsole::WriteToConsoleString("%s", "");
    EXPECT_EQ(g_callbackCalls, 0);
    std::string huge(40000, 'm');
    CmdConsole::WriteToConsoleString("%s", huge.c_str());
    EXPECT_EQ(g_callbackCalls, 1);
    EXPECT_EQ(g_lastCallbackText.size(), CmdConsole::kMessageBufferSize - 1);
}

// A handler for std::exception (the last line of defence of a job or the command line) must see both
// of the program's exceptions, with a text that says what failed.
TEST(Exceptions, CatchAllSeesBothWithTheirText) {
    const auto whatOf = [](auto thrown) -> std::string {
        try {
            throw thrown;
        } catch (const std::exception& e) {
            return e.what();
        }
    };
    EXPECT_EQ(whatOf(DalvoraException(14)), "Dalvora error 14");
    EXPECT_EQ(whatOf(DalvoraException(7, "header mismatch")), "header mismatch");
    EXPECT_EQ(whatOf(VmComLayerException(VmComLayerException::kOpenFailed)), "Communication layer error 3");
    EXPECT_EQ(whatOf(VmComLayerException("port gone")), "port gone");
}
