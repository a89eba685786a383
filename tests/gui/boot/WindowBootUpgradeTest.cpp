// The upgrade page driving the Renesas boot loader (modes U2 and U4) of the simulated USB printer. The
// suite runs as the simulator's host program (see CMakeLists.txt here): the simulator starts it under
// umockdev's preload, so the window's own libusb code finds the printer, and then the boot device the
// simulator plugs in its place. Each ctest entry runs the case of its simulator's mode.
#include "tests/e2e/UpgradeFiles.h"
#include "tests/gui/window/WindowDriver.h"
#include "tests/support/SimTranscript.h"

#include "comm/CommLayer.h"
#include "gui/dialogs/AskDialog.h"
#include "gui/dialogs/UpgElementsDialog.h"
#include "gui/jobs/UpgradeDeviceController.h"
#include "gui/port/PortEnumeration.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

namespace {

constexpr const char* kTranscriptVariable = "DALVORA_TEST_SIM_TRANSCRIPT";
constexpr const char* kRestartQuestion =
    "Dalvora - Restart the printer|The new firmware is installed. Switch the printer off and on again, then "
    "answer YES to send the remaining modules.\nNO ends the upgrade here.";
// The default printer's release ("TK180 FW ...") compares above the package's: the upgrade asks this.
constexpr const char* kReleaseTitle = "Dalvora - Upgrade firmware";

class WindowBootUpgrade : public ::testing::Test {
protected:
    void SetUp() override {
        const char* transcript = std::getenv(kTranscriptVariable);
        if (transcript == nullptr || std::getenv("UMOCKDEV_DIR") == nullptr)
            GTEST_SKIP() << "runs only as the host program of dalvora-printer-sim --usb (its ctest entry)";
        m_transcript = std::make_unique<SimTranscript>(transcript);
        std::string error;
        const std::vector<std::string> printers = CommLayer::EnumUsbPRNDevices(error);
        ASSERT_EQ(printers.size(), 1u) << error;
        // The driver lists no devices; here the emulated bus is the only one the process sees.
        PortEnumeration::forNewDialogs().usbPrinters = CommLayer::EnumUsbPRNDevices;
        m_port.type = COMM_USB_PRN;
        m_port.usbDeviceName = printers.front();
        // Every component is kept; the questions are recorded and answered yes unless told otherwise.
        driver.answerOther = [this](QDialog& dialog) {
            if (qobject_cast<UpgElementsDialog*>(&dialog) != nullptr)
                return int(QDialog::Accepted);
            const QString question =
                dialog.windowTitle() + "|" + dialog.findChild<QLabel*>("labelMessage")->text();
            questions << question;
            const bool yes = question != kRestartQuestion || restartedYes;
            dialog.findChild<QPushButton*>(yes ? "pushButton_OK" : "pushButton_Cancel")->click();
            return dialog.result();
        };
    }

    // Opens the package and starts the upgrade on the USB printer.
    void Start(MainWindow& window, const UpgradeFile& file) {
        driver.ChoosePort(window, m_port);
        driver.NextFileName(QString::fromStdString(file.path));
        WindowDriver::Click(window, "pushButton_UpgradeOpen");
        WindowDriver::Click(window, "pushButton_UpgradePerform");
    }
    // The same, waiting for the upgrade's end.
    void Upgrade(MainWindow& window, const UpgradeFile& file) {
        Start(window, file);
        EXPECT_TRUE(WindowDriver::WaitIdle(window));
    }

    const SimTranscript& Transcript() const { return *m_transcript; }

    WindowDriver driver;
    TempDir dir;
    QStringList questions;
    bool restartedYes = true;

private:
    std::unique_ptr<SimTranscript> m_transcript;
    CommPortSettings m_port;
};

void ExpectImageReceived(const SimTranscript& transcript, const UpgradeFile& file) {
    const std::vector<SimTransfer> transfers = transcript.Transfers();
    ASSERT_FALSE(transfers.empty());
    EXPECT_EQ(transfers[0].sha256, Sha256Of(file.firmware));
    EXPECT_EQ(transfers[0].bytes, file.firmware.size());
}

TEST_F(WindowBootUpgrade, U2ProgramsTheImageThroughTheBootLoaderThenSendsTheModules) {
    const UpgradeFile file = WriteUpgradePackage(dir, {.modules = "fl"});
    Upgrade(*driver.NewWindow(), file);

    EXPECT_EQ(driver.TakeMessages(), QStringList{"Dalvora - Info|Device upgrade successfull"});
    ASSERT_EQ(questions.size(), 1);
    EXPECT_EQ(questions.front().section('|', 0, 0), kReleaseTitle);
    EXPECT_EQ(Transcript().TransferOrder(),
              (std::vector<std::string>{"firmware:renesas", "module:F", "module:L"}));
    ExpectImageReceived(Transcript(), file);
    EXPECT_EQ(Transcript().Count("R31"), 1); // the boot loader was reset
}

// U4 cannot reset the boot loader: the modules wait until the user says the printer was restarted. A
// user who says no gets a failure with the firmware in place and no module sent after it; a window
// closed while the question waits answers no for the user and does not hang. (This printer's release
// stays below the package's, so the restart request is the only question.)
TEST_F(WindowBootUpgrade, U4SendsTheModulesOnlyOnceTheUserSaysThePrinterWasRestarted) {
    const UpgradeFile file = WriteUpgradePackage(dir, {.modules = "d"});
    Upgrade(*driver.NewWindow(), file);
    EXPECT_EQ(driver.TakeMessages(), QStringList{"Dalvora - Info|Device upgrade successfull"});
    EXPECT_EQ(questions, QStringList{kRestartQuestion});
    EXPECT_EQ(Transcript().TransferOrder(), (std::vector<std::string>{"firmware:renesas", "module:D"}));
    ExpectImageReceived(Transcript(), file);

    restartedYes = false;
    questions.clear();
    Upgrade(*driver.NewWindow(), file);
    EXPECT_EQ(driver.TakeMessages(), QStringList{"Dalvora - Error|Operation failure, error code 10001"});
    EXPECT_EQ(questions, QStringList{kRestartQuestion});
    EXPECT_EQ(Transcript().TransferOrder(),
              (std::vector<std::string>{"firmware:renesas", "module:D", "firmware:renesas"}));

    questions.clear();
    auto window = driver.NewWindow();
    Start(*window, file);
    // No events are processed here, so the question stays undelivered while the worker waits for it.
    QElapsedTimer limit;
    limit.start();
    while (window->upgradeJob()->question().isEmpty() && limit.elapsed() < 120000)
        std::this_thread::yield();
    EXPECT_EQ(window->upgradeJob()->questionTitle(), "Restart the printer");
    window.reset();
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_EQ(
        Transcript().TransferOrder(),
        (std::vector<std::string>{"firmware:renesas", "module:D", "firmware:renesas", "firmware:renesas"}));
    EXPECT_EQ(Transcript().Count("R31"), 0);
}

} // namespace
