// The upgrade page against the simulated printer's U1 loader in this process: the progress texts in
// the waiting dialog, the release question, the component dialog and what the printer received, and
// closing the window while an upgrade waits for an answer.
#include "tests/comm/session/InProcessPrinter.h"
#include "tests/e2e/UpgradeFiles.h"
#include "tests/gui/window/WindowDriver.h"

#include "base/Clock.h"
#include "base/CmdConsole.h"
#include "firmware/PSWComponents.h"
#include "gui/dialogs/AskDialog.h"
#include "gui/dialogs/UpgElementsDialog.h"
#include "gui/jobs/UpgradeDeviceController.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include <thread>

namespace {

// A printer the fixture packages fit, in mode U1, reporting this firmware release until it installs
// the package's.
sim::Profile U1Printer(const std::string& release) {
    sim::Profile profile = ShippedProfile("default");
    profile.firmware = release;
    profile.upgrade.emplace();
    profile.upgrade->mode = "U1";
    profile.upgrade->settings = "1;";
    profile.upgrade->deviceIds = "1;2;3";
    profile.upgrade->firmwareAfter = "3.13";
    return profile;
}

QString LabelText(QDialog& dialog, const char* name) {
    return dialog.findChild<QLabel*>(name)->text();
}

class WindowUpgrade : public ::testing::Test {
protected:
    void SetUp() override { Clock::SetScaleForTesting(0.1); }
    void TearDown() override { Clock::SetScaleForTesting(1.0); }

    std::unique_ptr<MainWindow> Window(TranscribedPrinter& printer) {
        auto window = driver.NewWindow();
        driver.ChoosePort(*window, printer.Settings());
        return window;
    }
    void Open(MainWindow& window, const std::string& path) {
        driver.NextFileName(QString::fromStdString(path));
        WindowDriver::Click(window, "pushButton_UpgradeOpen");
    }
    void Perform(MainWindow& window) {
        WindowDriver::Click(window, "pushButton_UpgradePerform");
        EXPECT_TRUE(WindowDriver::WaitIdle(window));
    }

    WindowDriver driver;
    TempDir dir;
};

TEST_F(WindowUpgrade, ChosenComponentsAreSentAndEachProgressTextOfAPackageIsShown) {
    TranscribedPrinter printer(U1Printer("3.12"));
    auto window = Window(printer);
    QStringList shown;
    QObject::connect(window.get(), &MainWindow::upgradeMessageShown, [&](const QString& t) { shown << t; });
    driver.answerOther = [](QDialog& dialog) {
        if (qobject_cast<UpgElementsDialog*>(&dialog) == nullptr)
            return int(QDialog::Rejected);
        for (const char* name : {"checkBox_Fonts", "checkBox_Logos"})
            dialog.findChild<QCheckBox*>(name)->setChecked(false);
        return int(QDialog::Accepted);
    };
    Open(*window, WriteUpgradePackage(dir, {.modules = "fdlo"}).path);
    EXPECT_EQ(window->findChild<QPushButton*>("pushButton_UpgradePerform")->text(), "START UPGRADE");
    Perform(*window);

    EXPECT_EQ(driver.TakeMessages(), QStringList{"Dalvora - Info|Device upgrade successfull"});
    EXPECT_EQ(printer.TransferOrder(), (std::vector<std::string>{"module:D", "firmware:image", "module:E"}));
    // In the procedure's order; other texts may come between them.
    const QStringList expected{"Sending Flash Disk...", "Programming Flash Disk...",
                               "Programming OK!",       "Programming Firmware...",
                               "Sending modules...",    "Programming modules..."};
    auto next = shown.cbegin();
    for (const QString& text : expected) {
        next = std::find(next, shown.cend(), text);
        ASSERT_NE(next, shown.cend()) << text.toStdString() << " not shown after the text before it";
    }

    // The ending is compared in lower case; a module's texts leave the dialog's message alone.
    const int shownBefore = shown.size();
    Open(*window, WriteModule(dir, 'F', "fonts.MOD").path);
    EXPECT_TRUE(window->findChild<QLabel*>("label_UpgradeInfo")->text().startsWith("MODULE INFO:\n"));
    EXPECT_EQ(window->findChild<QPushButton*>("pushButton_UpgradePerform")->text(), "SEND MODULE");
    WindowDriver::Click(*window, "pushButton_UpgradePerform");
    CmdConsole::WriteToConsoleString("Sending modules..."); // as a procedure would while the module goes
    EXPECT_TRUE(WindowDriver::WaitIdle(*window));
    EXPECT_EQ(driver.TakeMessages(), QStringList{"Dalvora - Info|Module sent to the printer successfully"});
    EXPECT_EQ(printer.TransferOrder().back(), "module:F");
    EXPECT_EQ(shown.size(), shownBefore);
}

TEST_F(WindowUpgrade, ReleaseQuestionNoKeepsThePrintersFirmwareAndYesSendsIt) {
    for (const bool yes : {false, true}) {
        TranscribedPrinter printer(U1Printer("3.20")); // newer than the package's 3.13
        auto window = Window(printer);
        QStringList questions;
        driver.answerOther = [&](QDialog& dialog) {
            questions << dialog.windowTitle() + "|" + LabelText(dialog, "labelMessage");
            dialog.findChild<QPushButton*>(yes ? "pushButton_OK" : "pushButton_Cancel")->click();
            return dialog.result();
        };
        Open(*window, WriteUpgradePackage(dir, {}).path);
        Perform(*window);

        EXPECT_EQ(questions,
                  QStringList{"Dalvora - Upgrade firmware|You are going to update the firmware with a "
                              "version (3.13) identical or very obsolete respect to that (3.20) "
                              "present on your printer.\nDo you want to continue anyway ?"});
        EXPECT_EQ(printer.TransferOrder(),
                  yes ? std::vector<std::string>{"firmware:image"} : std::vector<std::string>{});
    }
}

TEST_F(WindowUpgrade, ComponentDialogKeepsTheAfterCodesAndAllRequiredLocksEveryPresentBox) {
    PSWComponents offered;
    for (const int code : {PSW_COMPONENT_SOFTWARE, PSW_COMPONENT_FONTS_AFTER, PSW_COMPONENT_FLASHDISK_BEFORE})
        offered.Add(code);
    UpgElementsDialog choice(offered, false);
    EXPECT_TRUE(choice.findChild<QCheckBox*>("checkBox_Fonts")->isEnabled());
    EXPECT_TRUE(choice.findChild<QCheckBox*>("checkBox_Logos")->isHidden());
    choice.findChild<QCheckBox*>("checkBox_FlashDisk")->setChecked(false);
    int count = 0;
    EXPECT_EQ(choice.getModulesFromUIAvailable(&count)->Values(),
              (std::vector<int>{PSW_COMPONENT_SOFTWARE, PSW_COMPONENT_FONTS_AFTER}));
    EXPECT_EQ(count, 2);

    offered.Add(PSW_COMPONENT_LOGOS_AFTER);
    offered.Add(PSW_COMPONENT_OTHER_AFTER);
    UpgElementsDialog whole(offered, true);
    EXPECT_EQ(LabelText(whole, "label"), "All components will be upgraded");
    for (QCheckBox* box : whole.findChildren<QCheckBox*>())
        EXPECT_TRUE(box->isChecked() && !box->isEnabled()) << box->objectName().toStdString();
    EXPECT_EQ(whole.getModulesFromUIAvailable(&count)->Values(), offered.Values());
}

TEST_F(WindowUpgrade, ClosingWhileTheQuestionIsPendingNeitherHangsNorSendsTheFirmware) {
    TranscribedPrinter printer(U1Printer("3.20"));
    auto window = Window(printer);
    driver.answerOther = [](QDialog&) -> int {
        ADD_FAILURE() << "nobody is there to answer";
        return QDialog::Accepted;
    };
    Open(*window, WriteUpgradePackage(dir, {}).path);
    WindowDriver::Click(*window, "pushButton_UpgradePerform");
    // No events are processed here, so the question stays undelivered while the worker waits for it.
    QElapsedTimer limit;
    limit.start();
    while (window->upgradeJob()->question().isEmpty() && limit.elapsed() < 120000)
        std::this_thread::yield();
    ASSERT_FALSE(window->upgradeJob()->question().isEmpty());

    EXPECT_FALSE(window->close()); // an upgrade is never cut
    window.reset();
    EXPECT_TRUE(printer.TransferOrder().empty());
}

} // namespace
