// The main window against the simulated printer with the large setup (640 items of all kinds, with
// links), in this process over loopback TCP: port choice, read, pages, edits, write, archives, restore,
// and the messages the user sees when something is missing or fails.
#include "tests/comm/session/InProcessPrinter.h"
#include "tests/gui/window/WindowDriver.h"

#include "base/Clock.h"
#include "gui/editors/SetupItemCheckBoxes.h"
#include "gui/editors/SetupItemDateTime.h"
#include "gui/editors/SetupItemNumeric.h"
#include "gui/editors/SetupItemSelection.h"
#include "gui/editors/SetupItemText.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <map>
#include <set>

// Readable failure messages for the recorded message boxes.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

const char* const kPageButtons[] = {"radioButton_SetupCommunication", "radioButton_SetupPrint",
                                    "radioButton_SetupBlackmark",     "radioButton_SetupGeneric",
                                    "radioButton_SetupOrlo",          "radioButton_SetupOrloATB",
                                    "radioButton_SetupOrloBTP",       "radioButton_SetupOrloRFID"};

class WindowSetup : public ::testing::Test {
protected:
    void SetUp() override { Clock::SetScaleForTesting(0.1); }
    void TearDown() override { Clock::SetScaleForTesting(1.0); }

    static sim::Profile Large() { return ShippedProfile("large"); }

    // A window that has read the printer through the PORT dialog and LOAD > From Device.
    std::unique_ptr<MainWindow> ReadWindow(TranscribedPrinter& printer, bool extendedInfo = false) {
        auto window = driver.NewWindow(extendedInfo);
        driver.ChoosePort(*window, printer.Settings());
        WindowDriver::Trigger(*window, "From Device");
        EXPECT_TRUE(WindowDriver::WaitIdle(*window));
        return window;
    }

    template <class Editor> static Editor* EditorOf(MainWindow& window, int id) {
        for (SetupItemBase* widget : window.setupItemWidgets())
            if (widget->getId() == id)
                return qobject_cast<Editor*>(widget);
        return nullptr;
    }

    // Every item's value as a write would send it, by id; clocks aside, the archive keeps them to 128 s.
    static std::map<uint64_t, std::string> Values(const MainWindow& window) {
        std::map<uint64_t, std::string> values;
        for (const auto& item : window.printerData().GetSetupItems())
            if (item->GetType() != PROT_TYPE_DATETIME)
                values[item->GetId()] = item->UIValue();
        return values;
    }

    WindowDriver driver;
};

// Hidden at start: a linked item whose source list holds the link's value.
bool HiddenByLink(const sim::Profile& profile, const sim::SetupItem& item) {
    for (const sim::ItemLink& link : item.links)
        for (const sim::SetupItem& source : profile.items)
            if (source.id == link.sourceId && source.listCurrent == link.valueToCheck)
                return true;
    return false;
}

TEST_F(WindowSetup, ReadShowsEveryPageAndWriteSendsOnlyTheEdits) {
    TranscribedPrinter printer(Large());
    auto window = driver.NewWindow();
    EXPECT_FALSE(window->findChild<QPushButton*>("pushButton_MenuExtra")->isEnabled());
    // From the keyboard: read and save.
    QApplication::setActiveWindow(window.get());
    QTest::keyClick(window.get(), Qt::Key_R, Qt::ControlModifier);
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(driver.TakeMessages(), QStringList({"Dalvora - Warning|Communication port not defined",
                                                  "Dalvora - Warning|No valid data to save"}));

    window = ReadWindow(printer);
    EXPECT_TRUE(driver.TakeMessages().isEmpty());
    ASSERT_EQ(window->setupItemWidgets().size(), 640);
    EXPECT_EQ(window->findChild<QLabel*>("label_SetupHeader")->text(), "Model: Large\n");
    for (SetupItemBase* widget : window->setupItemWidgets())
        ASSERT_FALSE(widget->isVisible()) << "Info shows only the header";

    const sim::Profile profile = Large();
    for (int page = 0; page < MainWindow::kSetupPageCount; ++page) {
        WindowDriver::Click(*window, kPageButtons[page]);
        int shown = 0;
        for (const sim::SetupItem& item : profile.items) {
            const bool expected =
                MainWindow::checkIdInPageIsVisible(item.id, page) && !HiddenByLink(profile, item);
            EXPECT_EQ(EditorOf<SetupItemBase>(*window, item.id)->isVisible(), expected) << item.id;
            shown += expected;
        }
        EXPECT_GT(shown, 30) << "page " << page;
    }

    // One edit of each kind on the Communication page (ids 1000..1004: list, numeric, text, boxes, date).
    WindowDriver::Click(*window, kPageButtons[0]);
    EditorOf<SetupItemSelection>(*window, 1000)->comboBox()->setCurrentIndex(2);
    EditorOf<SetupItemNumeric>(*window, 1001)->spinBox()->setValue(55.5);
    QLineEdit* text = EditorOf<SetupItemText>(*window, 1002)->lineEdit();
    text->clear();
    QTest::keyClicks(text, "4711");
    EditorOf<SetupItemCheckBoxes>(*window, 1003)->checkBoxes().at(9)->click();
    EditorOf<SetupItemDateTime>(*window, 1004)
        ->dateTimeEdit()
        ->setDateTime(QDateTime(QDate(2027, 3, 4), QTime(5, 6, 7)));

    WindowDriver::Trigger(*window, "To Device");
    ASSERT_TRUE(WindowDriver::WaitIdle(*window));
    EXPECT_EQ(driver.TakeMessages(), QStringList({"Dalvora - Information|Operation success"}));

    std::map<std::string, std::string> sent;
    for (const auto& fields : printer.FieldsOf("C5"))
        sent[fields.at(0)] = fields.at(1);
    std::set<std::string> expectedIds = {"1000", "1001", "1002", "1003"};
    for (const sim::SetupItem& item : profile.items)
        if (item.kind == sim::ItemKind::DateTime)
            expectedIds.insert(std::to_string(item.id)); // a clock always counts as changed
    std::set<std::string> sentIds;
    for (const auto& [id, value] : sent)
        sentIds.insert(id);
    EXPECT_EQ(sentIds, expectedIds);
    EXPECT_EQ(printer.FieldsOf("C5").size(), expectedIds.size()) << "each item once";
    EXPECT_EQ(sent["1000"], "2");
    EXPECT_EQ(sent["1001"], "55.5");
    EXPECT_EQ(sent["1002"], "4711");
    EXPECT_EQ(sent["1003"], "3,3,") << "bit 9 added to the bytes 3, 1";
    EXPECT_EQ(sent["1004"], "2027/03/04 05:06:07");
    const std::vector<std::string> requests = printer.Requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[requests.size() - 2], "C6");
    EXPECT_EQ(requests.back(), "C7");
    // Written values are the new base: nothing counts as edited any more.
    for (SetupItemBase* widget : window->setupItemWidgets())
        EXPECT_FALSE(widget->isValueChanged()) << widget->getId();
}

TEST_F(WindowSetup, LinksActAtOnceOnTheShownPageAndWhenAPageIsShown) {
    TranscribedPrinter printer(Large());
    auto window = ReadWindow(printer);
    WindowDriver::Click(*window, kPageButtons[0]);
    // 10001 (a list on the Print page) hides 10002 when set to 1.
    EditorOf<SetupItemSelection>(*window, 10001)->comboBox()->setCurrentIndex(1);
    WindowDriver::Click(*window, kPageButtons[1]);
    EXPECT_TRUE(EditorOf<SetupItemBase>(*window, 10001)->isVisible());
    EXPECT_FALSE(EditorOf<SetupItemBase>(*window, 10002)->isVisible());
    EditorOf<SetupItemSelection>(*window, 10001)->comboBox()->setCurrentIndex(0);
    EXPECT_TRUE(EditorOf<SetupItemBase>(*window, 10002)->isVisible());
}

TEST_F(WindowSetup, RestoreDefaultsOnOnePageThenEverywhereThenTheReadValues) {
    TranscribedPrinter printer(Large());
    auto window = ReadWindow(printer);
    WindowDriver::Click(*window, kPageButtons[0]);
    QDoubleSpinBox* communication = EditorOf<SetupItemNumeric>(*window, 1001)->spinBox();
    QDoubleSpinBox* print = EditorOf<SetupItemNumeric>(*window, 10007)->spinBox();
    const double readPrint = print->value();
    communication->setValue(77);
    print->setValue(88);

    driver.restorePageOnly = true;
    WindowDriver::Click(*window, "pushButton_RestoreDefault");
    EXPECT_EQ(communication->value(), 10) << "the item's default";
    EXPECT_EQ(print->value(), 88) << "another page is left alone";

    driver.restorePageOnly = false;
    WindowDriver::Click(*window, "pushButton_RestoreDefault");
    EXPECT_EQ(print->value(), 10) << "all items";
    WindowDriver::Click(*window, "pushButton_RestoreReset");
    EXPECT_EQ(communication->value(), 1) << "the value read";
    EXPECT_EQ(print->value(), readPrint);
    EXPECT_TRUE(driver.TakeMessages().isEmpty());
}

TEST_F(WindowSetup, ArchiveRoundTripRefusedFileAndCommaLocale) {
    TranscribedPrinter printer(Large());
    auto window = ReadWindow(printer);
    WindowDriver::Click(*window, kPageButtons[0]);
    EditorOf<SetupItemSelection>(*window, 1000)->comboBox()->setCurrentIndex(2);
    const TempDir dir;
    driver.NextFileName(QString::fromStdString(dir.file("saved")));
    WindowDriver::Trigger(*window, "To File");
    const auto values = Values(*window);
    EXPECT_EQ(values.at(1000), "2");

    auto fresh = driver.NewWindow();
    for (int load = 0; load < 2; ++load) { // the second one onto the Info page already shown
        driver.NextFileName(QString::fromStdString(dir.file("saved.tcfx")));
        WindowDriver::Trigger(*fresh, "From File");
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(Values(*fresh), values);
    ASSERT_EQ(fresh->setupItemWidgets().size(), 640);
    EXPECT_TRUE(std::none_of(fresh->setupItemWidgets().begin(), fresh->setupItemWidgets().end(),
                             [](SetupItemBase* widget) { return widget->isVisible(); }));

    QFile junk(QString::fromStdString(dir.file("junk.tcfx")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("<DataFile><FILE_SIGN>41</FILE_SIGN></DataFile>");
    junk.close();
    driver.NextFileName(junk.fileName());
    driver.NextFileName(QString::fromStdString(dir.file("missing.tcfx")));
    WindowDriver::Trigger(*fresh, "From File");
    WindowDriver::Trigger(*fresh, "From File");
    EXPECT_EQ(Values(*fresh), values) << "a refused file leaves the data shown";
    EXPECT_EQ(fresh->setupItemWidgets().size(), 640);
    const QString success = "Dalvora - Information|Operation success";
    const QString refused = "Dalvora - Error|Error reading input file";
    EXPECT_EQ(driver.TakeMessages(), QStringList({success, success, success, refused, refused}));

    // Numbers in the file do not follow the user's decimal comma; the upper-case ending is kept.
    const std::string c = dir.file("c.TCFX"), comma = dir.file("comma.tcfx");
    std::setlocale(LC_ALL, "C");
    driver.NextFileName(QString::fromStdString(c));
    WindowDriver::Trigger(*fresh, "To File");
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed; scripts/install-deps.sh generates it";
    driver.NextFileName(QString::fromStdString(comma));
    WindowDriver::Trigger(*fresh, "To File");
    std::setlocale(LC_ALL, "C");
    QFile a(QString::fromStdString(c)), b(QString::fromStdString(comma));
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    const QByteArray bytes = a.readAll();
    EXPECT_TRUE(bytes.contains("<SetupItemTypeNumeric_StepValue_1 T=\"6\">0.5<"));
    EXPECT_EQ(bytes, b.readAll());
}

TEST_F(WindowSetup, UnreadableItemsCountedEmptyPagesHiddenLifeCountersShown) {
    sim::Profile profile = Large();
    // Nothing on the Blackmark and Orlo pages; ATB, BTP and RFID keep the Orlo button.
    std::erase_if(profile.items, [](const sim::SetupItem& item) {
        return MainWindow::checkIdInPageIsVisible(item.id, 2) ||
               MainWindow::checkIdInPageIsVisible(item.id, 4);
    });
    int spoiled = 0;
    for (sim::SetupItem& item : profile.items)
        if (item.kind == sim::ItemKind::Numeric && spoiled < 3) {
            item.numCurrent = item.max + 50; // the window cannot take it
            ++spoiled;
        }
    TranscribedPrinter printer(profile);
    auto window = ReadWindow(printer, true);
    EXPECT_EQ(window->findChild<QLabel*>("label_SetupHeader")->text(),
              "Model: Large\n\nPrinted tickets: 123456\n")
        << "life counters below the device lines with --SWPRNLIFEINFO";
    EXPECT_EQ(driver.TakeMessages(),
              QStringList({"Dalvora - Warning|Attention.\n 3 errors were forund during operation"}));
    EXPECT_TRUE(window->findChild<QWidget*>("page_2")->isVisible());
    EXPECT_FALSE(window->findChild<QWidget*>(kPageButtons[2])->isVisible());
    for (int page : {0, 1, 3, 4, 5, 6, 7})
        EXPECT_TRUE(window->findChild<QWidget*>(kPageButtons[page])->isVisible()) << page;
}

TEST_F(WindowSetup, FailedReadShowsWhatWasReadAndFailedWriteSaysWhy) {
    // The printer refuses every item request, in the read and in the write's own reading.
    TranscribedPrinter printer(ShippedProfile("default"), {"error=C4:05"});
    auto window = driver.NewWindow();
    CommPortSettings noPort = printer.Settings();
    noPort.tcpPort = 0;
    driver.ChoosePort(*window, noPort);
    WindowDriver::Trigger(*window, "About");
    EXPECT_EQ(driver.TakeMessages(), QStringList({"Dalvora - Warning|No valid device selected", "About"}));

    window = ReadWindow(printer);
    EXPECT_EQ(driver.TakeMessages(), QStringList({"Dalvora - Error|Operation failure, error code 105"}));
    EXPECT_TRUE(window->findChild<QWidget*>("page_2")->isVisible());
    // What was read before the failure is shown.
    EXPECT_EQ(window->findChild<QLabel*>("label_SetupHeader")->text(),
              "Model: TK180\nSerial number: SIM000001\nBoot: 1.02\n");

    WindowDriver::Trigger(*window, "To Device");
    ASSERT_TRUE(WindowDriver::WaitIdle(*window));
    EXPECT_EQ(driver.TakeMessages(), QStringList({"Dalvora - Error|Operation failure (errorCode 105)"}));
}

TEST_F(WindowSetup, ClosingTheWindowDuringAReadWaitsForTheJob) {
    TranscribedPrinter printer(ShippedProfile("minimal"), {"delay=300"});
    auto window = driver.NewWindow();
    driver.ChoosePort(*window, printer.Settings());
    WindowDriver::Trigger(*window, "From Device");
    ASSERT_TRUE(WindowDriver::WaitUntil([&] { return !printer.Requests().empty(); }));
    ASSERT_TRUE(window->isJobRunning());
    window.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(driver.TakeMessages().isEmpty()) << "no handler runs for a window that is gone";
    // The read ran to its end before the window went: the last item was asked for.
    const std::vector<std::string> requests = printer.Requests();
    EXPECT_NE(std::find(requests.begin(), requests.end(), "C4"), requests.end())
        << ::testing::PrintToString(requests);
}

} // namespace
