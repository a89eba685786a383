// The tools and status pages against the simulated printer in this process: the rows a tool mask shows,
// a tool's answer and a script upload, the status indicators refreshed from the live status, a failed
// read, the polling's stop, and a printer without status.
#include "tests/comm/session/InProcessPrinter.h"
#include "tests/gui/window/WindowDriver.h"

#include "base/Clock.h"
#include "comm/AnswerRecord.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

void PrintTo(const QString& text, std::ostream* out);

namespace {

class WindowToolsStatus : public ::testing::Test {
protected:
    void SetUp() override { Clock::SetScaleForTesting(0.1); }
    void TearDown() override { Clock::SetScaleForTesting(1.0); }

    std::unique_ptr<MainWindow> ReadWindow(TranscribedPrinter& printer,
                                           const std::vector<std::string>& options = {}) {
        auto window = driver.NewWindow(options);
        driver.ChoosePort(*window, printer.Settings());
        WindowDriver::Trigger(*window, "From Device");
        EXPECT_TRUE(WindowDriver::WaitIdle(*window));
        return window;
    }

    WindowDriver driver;
};

template <class Widget = QWidget> Widget* Find(MainWindow& window, const QString& name) {
    return window.findChild<Widget*>(name);
}

// The indicators of a group, as "text" or "text*" when checked.
QStringList Indicators(MainWindow& window, const char* group) {
    QStringList shown;
    for (QRadioButton* button : Find<QGroupBox>(window, group)->findChildren<QRadioButton*>())
        shown << button->text() + (button->isChecked() ? "*" : "");
    return shown;
}

// Two general and two extended bits on the same bytes and bits, each answer walking its own schedule.
sim::Profile TwinBits() {
    sim::Profile profile = ShippedProfile("default");
    sim::StatusSection& status = *profile.status;
    status.generalMask = 0x201; // byte 1 bit 0, byte 2 bit 1
    status.generalBits = {{1, 0, 1, "Gen paper", "", 2}, {2, 1, 2, "Gen cover", "", 1}};
    status.extendedBytes = 2;
    status.extendedBits = {{1, 0, 3, "Ext presenter", "", 0}, {2, 1, 4, "Ext bin", "", 2}};
    status.generalSchedule = {{{1, 0, 0, 0}, 1}, {{0, 2, 0, 0}, 1}};
    status.extendedSchedule = {{{0, 2}, 1}, {{1, 0}, 1}};
    return profile;
}

TEST_F(WindowToolsStatus, ToolMaskChoosesTheRowsAndAnswersAreShownLineByLine) {
    sim::Profile profile = ShippedProfile("default");
    profile.tools->group1 = 0x14;
    profile.tools->answerLines[0x10] = {"Head OK", "Dots: 640"};
    profile.tools->answerLines[0x04] = {};
    TranscribedPrinter printer(profile, {"error=C81#3:05"});
    auto window = ReadWindow(printer);
    WindowDriver::Click(*window, "radioButton_Tools");
    QStringList shown;
    for (int id = 1; id <= MainWindow::kToolRowCount; ++id) {
        auto* button = Find<QPushButton>(*window, QString("pushButton_Tool%1").arg(id));
        EXPECT_EQ(Find(*window, QString("label_Tool%1").arg(id))->isVisible(), button->isVisible());
        if (button->isVisible())
            shown << button->text();
    }
    EXPECT_EQ(shown, QStringList({"PRINT DEVICE SETUP", "HEAD TEST"}));

    for (const char* tool : {"pushButton_Tool5", "pushButton_Tool3", "pushButton_Tool5"}) {
        WindowDriver::Click(*window, tool);
        ASSERT_TRUE(WindowDriver::WaitIdle(*window));
    }
    const QStringList messages = driver.TakeMessages();
    ASSERT_EQ(messages.size(), 3);
    EXPECT_EQ(messages[0], "Dalvora - Info|Head OK\nDots: 640\n");
    EXPECT_EQ(messages[1], "Dalvora - Info|Operation Success") << "an answer without lines";
    EXPECT_TRUE(messages[2].startsWith("Dalvora - Error|Exec Tool On Printer Failed, error code "));
    EXPECT_EQ(printer.FieldsOf("C81"),
              (std::vector<std::vector<std::string>>{{"1", "16"}, {"1", "4"}, {"1", "16"}}));
}

TEST_F(WindowToolsStatus, UploadToolSendsTheChosenFileOrSaysWhyNot) {
    TranscribedPrinter printer(ShippedProfile("default"));
    auto window = ReadWindow(printer);
    const TempDir dir;
    const QByteArray script("PRINT \"hello\"\r\nCUT\r\n\x00\x02\xff", 21);
    QFile file(QString::fromStdString(dir.file("job.spt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(script) == script.size());
    file.close();
    driver.NextFileName(file.fileName());
    driver.NextFileName(""); // the dialog cancelled
    driver.NextFileName(QString::fromStdString(dir.file("missing.spt")));
    for (int run = 0; run < 3; ++run) {
        WindowDriver::Click(*window, "pushButton_Tool6");
        ASSERT_TRUE(WindowDriver::WaitIdle(*window));
    }
    EXPECT_EQ(driver.TakeMessages(),
              QStringList({"Dalvora - Info|UPLOAD SPTFILE DONE\n", "Dalvora - Error|Error reading input file",
                           "Dalvora - Error|Load file error"}));
    const std::vector<std::string> sent = printer.ReceivedOf("C81");
    ASSERT_EQ(sent.size(), 1u) << "nothing runs without a script";
    EXPECT_NE(sent[0].find(script.toHex().toStdString()), std::string::npos) << sent[0];
    EXPECT_EQ(printer.FieldsOf("C81")[0], (std::vector<std::string>{"1", "32", "21"}));
}

QString AnswerText(const std::string& bytes) {
    auto table = std::make_unique<LineTable>();
    table->Buffer.assign(bytes.begin(), bytes.end());
    const AnswerRecord answer(OBJTYPE_LINE_TABLE, std::move(table));
    return MainWindow::ToolAnswerText(&answer);
}

TEST(ToolAnswerText, ReadsNoMoreThanTheAnswerHolds) {
    const std::string full(LineTable::kSlotSize, 'a');
    const std::string slot = "b" + std::string(LineTable::kSlotSize - 1, '\0');
    EXPECT_EQ(AnswerText("02" + full + slot + "c"), QString::fromStdString(full) + "\nb\n")
        << "a full slot ends at its edge, the count limits the lines";
    EXPECT_EQ(AnswerText("09" + slot + "xy"), "b\nxy\n") << "a count beyond the buffer";
    EXPECT_EQ(AnswerText("x1" + slot), "");
    EXPECT_EQ(AnswerText("0"), "");
    EXPECT_EQ(MainWindow::ToolAnswerText(nullptr), "");
}

TEST_F(WindowToolsStatus, EachIndicatorFollowsItsOwnAnswerAndAFailureOnlyTheCommunicationOne) {
    TranscribedPrinter printer(TwinBits(), {"error=C138#3:05"});
    auto window = ReadWindow(printer);
    WindowDriver::Click(*window, "radioButton_Status");
    auto* communication = Find<QRadioButton>(*window, "radioButton_CommunicationStatusError");
    EXPECT_FALSE(communication->isChecked() || communication->isEnabled());
    EXPECT_TRUE(Find(*window, "pushButton_pollStatus")->isHidden()) << "only with --SWPOLLSTATUS";

    const auto getStatus = [&] {
        WindowDriver::Click(*window, "pushButton_getStatus");
        return WindowDriver::WaitIdle(*window);
    };
    const auto all = [&] {
        return Indicators(*window, "groupBox_Status") + Indicators(*window, "groupBox_Warning") +
               Indicators(*window, "groupBox_Error");
    };
    ASSERT_TRUE(getStatus());
    EXPECT_EQ(all(), QStringList({"Ext presenter", "Gen cover", "Gen paper*", "Ext bin*"}));
    ASSERT_TRUE(getStatus());
    const QStringList second = {"Ext presenter*", "Gen cover*", "Gen paper", "Ext bin"};
    EXPECT_EQ(all(), second);
    EXPECT_TRUE(driver.TakeMessages().isEmpty());

    ASSERT_TRUE(getStatus()); // refused by the printer
    EXPECT_TRUE(communication->isChecked());
    EXPECT_EQ(all(), second) << "a failed read leaves the indicators";
    const QStringList messages = driver.TakeMessages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Dalvora - Error|Operation failure, error code "))
        << messages[0].toStdString();
    ASSERT_TRUE(getStatus());
    EXPECT_FALSE(communication->isChecked());
}

TEST_F(WindowToolsStatus, PollingRunsCyclesBackToBackAndStopWaitsForTheRunningOne) {
    // Every cycle fails, which polling shows only on the communication indicator.
    TranscribedPrinter printer(TwinBits(), {"error=C138:05"});
    auto window = ReadWindow(printer, {"--SWPOLLSTATUS"});
    WindowDriver::Click(*window, "radioButton_Status");
    auto* poll = Find<QPushButton>(*window, "pushButton_pollStatus");
    QWidget* areas[] = {Find(*window, "pushButton_getStatus"), Find(*window, "groupBox_MainLateralMenu"),
                        Find(*window, "frame_1")};
    const auto enabled = [&] {
        return areas[0]->isEnabled() + areas[1]->isEnabled() + areas[2]->isEnabled();
    };
    ASSERT_TRUE(poll->isVisible());

    poll->click();
    EXPECT_EQ(poll->text(), "STOP");
    EXPECT_EQ(enabled(), 0);
    ASSERT_TRUE(WindowDriver::WaitUntil([&] { return printer.FieldsOf("C138").size() >= 3; }));
    EXPECT_TRUE(Find<QRadioButton>(*window, "radioButton_CommunicationStatusError")->isChecked());

    poll->click(); // stop: the cycle under way goes on
    const size_t atStop = printer.FieldsOf("C138").size();
    EXPECT_TRUE(window->isJobRunning());
    EXPECT_EQ(poll->text(), "STOP");
    EXPECT_EQ(enabled(), 0);
    poll->click();
    ASSERT_TRUE(WindowDriver::WaitUntil([&] { return enabled() == 3; }));
    EXPECT_FALSE(window->isJobRunning()) << "no cycle after the stop";
    EXPECT_LE(printer.FieldsOf("C138").size() - atStop, 1u);
    EXPECT_EQ(poll->text(), "POLL STATUS");
    EXPECT_EQ(driver.TakeMessages(), QStringList({"Dalvora - Warning|Please wait and retry"}))
        << "failed cycles show no message";
}

TEST_F(WindowToolsStatus, PrinterWithoutStatusHidesTheStatusButton) {
    sim::Profile without = ShippedProfile("default");
    *without.capabilities &= ~0x80u;
    TranscribedPrinter bare(without), full(TwinBits());
    auto window = ReadWindow(bare);
    auto* communication = Find<QRadioButton>(*window, "radioButton_CommunicationStatusError");
    EXPECT_TRUE(Find(*window, "radioButton_Status")->isHidden());
    EXPECT_TRUE(communication->isChecked());

    // The next printer read in the same window has status again.
    driver.ChoosePort(*window, full.Settings());
    WindowDriver::Trigger(*window, "From Device");
    ASSERT_TRUE(WindowDriver::WaitIdle(*window));
    EXPECT_FALSE(Find(*window, "radioButton_Status")->isHidden());
    EXPECT_FALSE(communication->isChecked());
    EXPECT_EQ(Indicators(*window, "groupBox_Error"), QStringList({"Gen paper", "Ext bin"}));
}

} // namespace
