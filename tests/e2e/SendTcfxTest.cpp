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
#include <set>

namespace {

// The printer's setup as the product reads it.
PrinterData ReadPrinter(const SimPrinter& printer) {
    Clock::SetScaleForTesting(std::stod(kTimeScale));
    PrinterComm comm(255, 1);
    PrinterData data;
    data.Init();
    CommLayer layer;
    CommPortSettings settings;
    settings.type = COMM_ETHERNET;
    settings.ipAddress = "127.0.0.1";
    settings.tcpPort = printer.Port();
    comm.PrnCom_Init(&layer, &data, &settings);
    comm.PrnCom_ReadSetupData(&layer, &data, &settings, true);
    return data;
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
        const size_t before = SetValueIds(printer.Log()).size();
        requestsBefore = printer.Log().Requests().size();
        r = Dalvora(Args({"--sendtcfx", "-v", "-lv", "-f", archive, "-od", onlyDiff}, printer.DeviceArgs()));
        return SetValueIds(printer.Log(), before);
    }
    std::vector<std::string> RequestsSinceSend() const {
        std::vector<std::string> all = printer.Log().Requests();
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

    // The list went out with its new choice.
    for (const std::vector<std::string>& fields : printer.Log().FieldsOf("C5")) {
        if (fields.at(0) == Id(*list)) {
            EXPECT_EQ(fields.at(1), std::to_string(list->GetCurrentUIValue()));
        }
    }

    // The same printer (profile) over USB takes the archive read over Ethernet, with the same writes.
    r = DalvoraOverUsb({"--transcript", dir.file("usb.jsonl")},
                       {"--sendtcfx", "-v", "-f", dir.file("edited.tcfx")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const SimTranscript usb(dir.file("usb.jsonl"));
    sent = SetValueIds(usb);
    EXPECT_EQ(std::set<std::string>(sent.begin(), sent.end()), expected);
    after = usb.Requests();
    ASSERT_GE(after.size(), 2u);
    EXPECT_EQ(after[after.size() - 2], "C6");
    EXPECT_EQ(after.back(), "C7");
}

// An archive of another printer is refused before any value is sent; -od 0 writes every item, in the
// printer's order.
TEST_F(SendTcfx, NoneToAnotherPrinterAllItemsWithOdZero) {
    PrinterData data = ReadPrinter(printer);
    TempDir dir;
    const std::string same = SaveArchive(data, dir.file("same.tcfx"));
    data.SetGSI(0x1234);
    ProcessResult r;
    std::vector<std::string> sent = Send(SaveArchive(data, dir.file("other.tcfx")), "0", r);
    EXPECT_EQ(r.exitCode, 14);
    EXPECT_NE(r.out.find("WriteDataToPrinter FAILURE (9)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("GSI Different"), std::string::npos);
    EXPECT_TRUE(sent.empty());
    const std::vector<std::string> after = RequestsSinceSend();
    EXPECT_EQ(std::count(after.begin(), after.end(), "C6") + std::count(after.begin(), after.end(), "C7"), 0);

    sent = Send(same, "0", r);
    ASSERT_EQ(r.exitCode, 0) << r.out;
    std::vector<std::string> all;
    for (const auto& item : data.GetSetupItems())
        all.push_back(Id(*item));
    EXPECT_EQ(sent, all);
}
