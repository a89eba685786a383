// The window's two options (its title is checked where the program opens it, in the command-line suite), on
// Qt's offscreen platform (there is no display in CI).
#include "gui/MainWindow.h"
#include "base/HomeDir.h"
#include "base/Log.h"
#include "tests/support/PrivateHome.h"
#include "tests/support/TempDir.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "dalvora_gui_tests";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
    }
    static void TearDownTestSuite() { app.reset(); }
    void TearDown() override { Log::SetLogEnable(0, false, nullptr); }

    static std::unique_ptr<QApplication> app;
};
std::unique_ptr<QApplication> MainWindowTest::app;

} // namespace

TEST_F(MainWindowTest, ExtendedInfoOption) {
    char program[] = "dalvora";
    char option[] = "--SWPRNLIFEINFO";
    char* argv[] = {program, option, nullptr};
    EXPECT_TRUE(MainWindow(2, argv).isExtendedInfoShown());
    char* first[] = {option, nullptr}; // the program path is never taken as an option
    EXPECT_FALSE(MainWindow(1, first).isExtendedInfoShown());
}

TEST_F(MainWindowTest, LogOptionLogsToTheHomeDirectory) {
    if (const std::string why = PrivateHomeUnavailableReason(); !why.empty())
        GTEST_SKIP() << why;
    TempDir privateHome;
    std::string error;
    ASSERT_TRUE(MountPrivateHome(privateHome.path(), error)) << error;
    const std::string home = getHomeDir();
    char program[] = "dalvora";
    char option[] = "--log";
    char* argv[] = {program, option, nullptr};
    MainWindow window(2, argv);
    EXPECT_EQ(Log::GetLogType(), 2u);
    EXPECT_TRUE(Log::IsLogDataToo());
    EXPECT_EQ(Log::GetFileName(), home + "/VELMAR/Dalvora/Log/status.log");
    EXPECT_TRUE(std::filesystem::is_directory(privateHome.file("VELMAR/Dalvora/Log")));
}
