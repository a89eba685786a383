// Sending an archive from the command line, with archives the product made itself: the setup read
// with the session code, edited, saved; then dalvora --sendtcfx writes it back to the simulated
// printer, and the printer's transcript says exactly what was sent.
#include "tests/e2e/SimPrinter.h"

#include "base/Clock.h"
#include "comm/CommLayer.h"
#include "comm/PrinterComm.h"
#include "model/PrinterData.h"
#include "model/TCFXDataWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include <sys/stat.h>

namespace {

CommPortSettings SettingsOf(const SimPrinter& printer) {
    CommPortSettings settings;
    settings.type = COMM_ETHERNET;
    settings.ipAddress = "127.0.0.1";
    settings.tcpPort = printer.Port();
    return settings;
}

// The printer's setup as the product reads it.
PrinterData ReadPrinter(const SimPrinter& printer) {
    Clock::SetScaleForTesting(std::stod(kTimeScale));
    PrinterComm comm(255, 1);
    PrinterData data;
    data.Init();
    CommLayer layer;
    CommPortSettings settings = SettingsOf(printer);
    comm.PrnCom_Init(&layer, &data, &settings);
    comm.PrnCom_ReadSetupData(&layer, &data, &settings, true);
    return data;
}

// The same after a reset: the printer is away for a while, so the read is retried until it answers.
PrinterData ReadPrinterOnceBack(const SimPrinter& printer) {
    for (int attempt = 1;; ++attempt) {
        try {
            return ReadPrinter(printer);
        } catch (const DalvoraException&) {
            if (attempt == 50)
                throw;
            Clock::SleepMs(1000);
        }
    }
}

// The setup group chosen for saving, as the window's save dialog does.
std::string SaveArchive(PrinterData& data, const std::string& path) {
    data.GetProtocolDataAvailable()->SetupDataToSave(false, true);
    TCFXDataWriter writer;
    EXPECT_TRUE(writer.openDocument());
    EXPECT_TRUE(data.Serialize_Save(writer));
    EXPECT_TRUE(writer.saveToFile(path));
    return path;
}

std::string Id(const SetupItemType& item) {
    return std::to_string(item.GetId());
}

class SendTcfx : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(printer.Started()); }

    // The set-value ids the send produced (the transcript before it is the archive's own read).
    std::vector<std::string> Send(const std::string& archive, const std::string& onlyDiff, ProcessResult& r) {
        const size_t before = printer.SetValueIds().size();
        requestsBefore = printer.Requests().size();
        r = Dalvora(Args({"--sendtcfx", "-v", "-lv", "-f", archive, "-od", onlyDiff}, printer.DeviceArgs()));
        std::vector<std::string> ids = printer.SetValueIds();
        return {ids.begin() + static_cast<long>(before), ids.end()};
    }
    std::vector<std::string> RequestsSinceSend() const {
        std::vector<std::string> all = printer.Requests();
        return {all.begin() + static_cast<long>(requestsBefore), all.end()};
    }

    SimPrinter printer;
    size_t requestsBefore = 0;
};

} // namespace

TEST_F(SendTcfx, OnlyChangedItemsAndTheDateTimeAreWrittenThenStoredAndReset) {
    PrinterData data = ReadPrinter(printer);
    std::set<std::string> expected;
    SetupItemTypeList* list = nullptr;
    SetupItemTypeNumeric* numeric = nullptr;
    for (const auto& item : data.GetSetupItems()) {
        if (item->GetType() == PROT_TYPE_DATETIME)
            expected.insert(Id(*item)); // a clock always counts as changed
        if (!list)
            if (auto* l = dynamic_cast<SetupItemTypeList*>(item.get()); l && l->GetItems().size() > 1)
                list = l;
        if (!numeric)
            if (auto* n = dynamic_cast<SetupItemTypeNumeric*>(item.get());
                n && n->GetMaxValue() > n->GetCurUIValue())
                numeric = n;
    }
    ASSERT_TRUE(list && numeric);
    ASSERT_FALSE(expected.empty()) << "the default profile has a date/time item";
    const auto& choices = list->GetItems();
    list->SetCurrentUIValue(choices.front().Value == list->GetCurrentUIValue() ? choices.back().Value
                                                                               : choices.front().Value);
    numeric->SetCurUIValue(numeric->GetMaxValue());
    expected.insert({Id(*list), Id(*numeric)});

    TempDir dir;
    ProcessResult r;
    std::vector<std::string> sent = Send(SaveArchive(data, dir.file("edited.tcfx")), "1", r);
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("OPERATION SUCCESS\n"), std::string::npos);
    EXPECT_NE(r.out.find("Result: success\n"), std::string::npos);
    EXPECT_EQ(std::set<std::string>(sent.begin(), sent.end()), expected);
    EXPECT_EQ(sent.size(), expected.size()) << "each item once";
    // Store, then reset, after the last value; nothing after the reset.
    std::vector<std::string> after = RequestsSinceSend();
    ASSERT_GE(after.size(), 2u);
    EXPECT_EQ(after[after.size() - 2], "C6");
    EXPECT_EQ(after.back(), "C7");

    // The printer kept the values: a fresh read, once it is back from its reset, sees them.
    PrinterData again = ReadPrinterOnceBack(printer);
    auto* stored = dynamic_cast<SetupItemTypeList*>(again.FindSetupItem(list->GetId()));
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->GetCurrentUIValue(), list->GetCurrentUIValue());
}

// The same printer (profile) over USB takes the archive read over Ethernet.
TEST_F(SendTcfx, OverUsbToo) {
    PrinterData data = ReadPrinter(printer);
    auto* list = dynamic_cast<SetupItemTypeList*>(data.FindSetupItem(data.GetSetupItems().front()->GetId()));
    ASSERT_NE(list, nullptr) << "the default profile starts with a list item";
    list->SetCurrentUIValue(list->GetItems().back().Value);
    TempDir dir;
    const std::string archive = SaveArchive(data, dir.file("edited.tcfx"));
    ProcessResult r =
        DalvoraOverUsb({"--transcript", dir.file("usb.jsonl")}, {"--sendtcfx", "-v", "-f", archive});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const std::string transcript = ReadWholeFile(dir.file("usb.jsonl"));
    EXPECT_NE(transcript.find("\"request\":\"C5\",\"received\""), std::string::npos);
    EXPECT_NE(transcript.find("\"request\":\"C6\""), std::string::npos);
    EXPECT_NE(transcript.find("\"request\":\"C7\""), std::string::npos);
}

TEST_F(SendTcfx, AllItemsWithOdZero) {
    PrinterData data = ReadPrinter(printer);
    TempDir dir;
    ProcessResult r;
    std::vector<std::string> sent = Send(SaveArchive(data, dir.file("same.tcfx")), "0", r);
    ASSERT_EQ(r.exitCode, 0) << r.out;
    std::vector<std::string> all;
    for (const auto& item : data.GetSetupItems())
        all.push_back(Id(*item));
    EXPECT_EQ(sent, all) << "every item, in the printer's order";
}

TEST_F(SendTcfx, ArchiveOfAnotherPrinterIsRefusedBeforeAnyValueIsSent) {
    PrinterData data = ReadPrinter(printer);
    data.SetGSI(0x1234);
    TempDir dir;
    ProcessResult r;
    std::vector<std::string> sent = Send(SaveArchive(data, dir.file("other.tcfx")), "1", r);
    EXPECT_EQ(r.exitCode, 14);
    EXPECT_NE(r.out.find("WriteDataToPrinter FAILURE (9)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("GSI Different"), std::string::npos);
    EXPECT_TRUE(sent.empty());
    const std::vector<std::string> after = RequestsSinceSend();
    EXPECT_EQ(std::count(after.begin(), after.end(), "C6"), 0);
}

TEST_F(SendTcfx, UnreadableArchiveIsAFileError) {
    TempDir dir;
    dir.write("broken.tcfx", "<DataFile><nothing/>");
    ProcessResult r;
    Send(dir.file("broken.tcfx"), "1", r);
    EXPECT_EQ(r.exitCode, 11);
    EXPECT_NE(r.out.find("Read tcfx file FAILURE\n"), std::string::npos) << r.out;
    Send(dir.file("missing.tcfx"), "1", r);
    EXPECT_EQ(r.exitCode, 11);
    // A FIFO would block the reader until someone writes into it: refused as a file error at once.
    ASSERT_EQ(mkfifo(dir.file("fifo.tcfx").c_str(), 0600), 0);
    Send(dir.file("fifo.tcfx"), "1", r);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 11);
}
