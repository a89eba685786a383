// The main of the window's suites: one QApplication on Qt's offscreen platform (CI has no display),
// alive for every test of the process.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window's writes add audit lines: a suite run by hand keeps them out of the user's home.
    if (qEnvironmentVariableIsEmpty("XDG_STATE_HOME"))
        qputenv("XDG_STATE_HOME", "/tmp/dalvora-test-state");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
