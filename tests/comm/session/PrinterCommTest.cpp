// The session operations driven directly against the in-process printer: what the command line does
// not reach (groups the printer lacks, live status bytes and their capacity rule), the write rules
// (only what changed, read-only and confidential items, nothing to write), and the session errors.
#include "tests/comm/session/InProcessPrinter.h"

#include "base/Clock.h"
#include "base/Log.h"
#include "comm/CommLayer.h"
#include "comm/PrinterComm.h"
#include "model/PrinterData.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace {

class Session : public ::testing::Test {
protected:
    void SetUp() override { Clock::SetScaleForTesting(0.1); }
    void TearDown() override {
        Clock::SetScaleForTesting(1.0);
        Log::SetLogEnable(0, false, nullptr);
    }

    // Init, then the setup read, as every caller starts.
    PrinterData Read(TranscribedPrinter& printer) {
        PrinterData data;
        data.Init();
        CommPortSettings settings = printer.Settings();
        comm.PrnCom_Init(&layer, &data, &settings);
        comm.PrnCom_ReadSetupData(&layer, &data, &settings, false);
        return data;
    }

    // Writes the setup (and, with `logos`, the logos) of `stored` to the printer.
    bool Write(TranscribedPrinter& printer, PrinterData& stored, bool check = true, bool logos = false) {
        ProtocolDataAvailable toSave;
        toSave.SetupDataToSave(false, true);
        toSave.LogoDataToSave(false, logos);
        CommPortSettings settings = printer.Settings();
        return comm.PrnCom_WriteDataToPrinter(&layer, &stored, &toSave, &settings, check);
    }

    static DalvoraError CodeOf(const std::function<void()>& operation) {
        try {
            operation();
        } catch (const DalvoraException& e) {
            return e.getCode();
        }
        return 0;
    }

    PrinterComm comm{255, 1};
    CommLayer layer;
};

sim::SetupItem StringItem(uint32_t id, uint32_t mask, const std::string& value) {
    sim::SetupItem item;
    item.id = id;
    item.kind = sim::ItemKind::String;
    item.text = "Text " + std::to_string(id);
    item.maxLen = 20;
    item.dataMask = mask;
    item.strDefault = item.strCurrent = value;
    return item;
}

// The minimal printer (no clock item, no capability answer) with a read-only and a password item.
sim::Profile WritableProfile() {
    sim::Profile profile = ShippedProfile("minimal");
    profile.items.push_back(StringItem(900, SetupItemTypeString::kMaskReadOnly | 2, "SN-0001"));
    profile.items.push_back(StringItem(901, SetupItemTypeString::kMaskConfidential, "old-secret"));
    return profile;
}

SetupItemTypeString& StringOf(PrinterData& data, uint64_t id) {
    auto* item = dynamic_cast<SetupItemTypeString*>(data.FindSetupItem(id));
    EXPECT_NE(item, nullptr) << id;
    return *item;
}

bool StoredOrReset(const std::vector<std::string>& requests) {
    return std::ranges::any_of(requests, [](const std::string& r) { return r == "C6" || r == "C7"; });
}

std::vector<uint64_t> IdsOf(const PrinterData& data) {
    std::vector<uint64_t> ids;
    for (const auto& item : data.GetSetupItems())
        ids.push_back(item->GetId());
    return ids;
}

std::vector<uint64_t> IdsOf(const sim::Profile& profile) {
    std::vector<uint64_t> ids;
    for (const sim::SetupItem& item : profile.items)
        ids.push_back(item.id);
    return ids;
}

} // namespace

TEST_F(Session, PrinterWithoutCapabilitiesOffersOnlyTheSetup) {
    TranscribedPrinter printer(ShippedProfile("minimal"));
    PrinterData data = Read(printer);
    EXPECT_GT(data.GetNumSetupItems(), 0u);
    CommPortSettings settings = printer.Settings();
    EXPECT_EQ(CodeOf([&] { comm.PrnCom_ReadTools(&layer, &data, &settings); }), kErrorGroupNotOffered);
    EXPECT_EQ(CodeOf([&] { comm.PrnCom_ReadStatusInfo(&layer, &data, &settings); }), kErrorGroupNotOffered);
}

TEST_F(Session, LiveStatusIsCopiedOnlyWhenItFits) {
    TranscribedPrinter printer(ShippedProfile("default"));
    PrinterData data;
    data.Init();
    CommPortSettings settings = printer.Settings();
    std::array<unsigned char, 64> out{};
    out.fill(0xEE);
    int length = -1;
    comm.PrnCom_GetPrinterStatusGeneral(&layer, &data, &settings, out.data(), 2, &length);
    EXPECT_EQ(length, 0) << "four bytes do not fit two";
    EXPECT_EQ(out[0], 0xEE);
    comm.PrnCom_GetPrinterStatusGeneral(&layer, &data, &settings, out.data(), static_cast<int>(out.size()),
                                        &length);
    EXPECT_EQ(length, 4);
    // No length: nothing is copied.
    out.fill(0xEE);
    comm.PrnCom_GetPrinterStatusGeneral(&layer, &data, &settings, out.data(), static_cast<int>(out.size()),
                                        nullptr);
    EXPECT_EQ(out[0], 0xEE);
}

TEST_F(Session, SilentLiveStatusIsThirteen) {
    TranscribedPrinter printer(ShippedProfile("default"), {"no-answer=C138"});
    PrinterData data;
    data.Init();
    CommPortSettings settings = printer.Settings();
    int length = 0;
    EXPECT_EQ(
        CodeOf([&] { comm.PrnCom_GetPrinterStatusGeneral(&layer, &data, &settings, nullptr, 0, &length); }),
        kErrorNoStatusAnswer);
    EXPECT_EQ(layer.GetComPort(), nullptr) << "the port is closed on the failure";
}

TEST_F(Session, OnlyChangedSkipsReadOnlyAndUnchangedAndNothingIsNothing) {
    TranscribedPrinter printer(WritableProfile());
    PrinterData stored = Read(printer);

    // Same values: nothing written, no store, no reset.
    const size_t before = printer.Requests().size();
    EXPECT_FALSE(Write(printer, stored));
    std::vector<std::string> requests = printer.Requests();
    EXPECT_FALSE(StoredOrReset({requests.begin() + static_cast<long>(before), requests.end()}));
    EXPECT_TRUE(printer.FieldsOf("C5").empty());

    // A read-only value that differs is left out; only the edited one goes.
    StringOf(stored, 900).SetCurUIValue("SN-9999");
    StringOf(stored, 251).SetCurUIValue("EDITED");
    EXPECT_TRUE(Write(printer, stored));
    auto sets = printer.FieldsOf("C5");
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0][0], "251");
    EXPECT_EQ(sets[0][1], "EDITED");
    EXPECT_TRUE(StoredOrReset(printer.Requests())); // their order is the command line's send test's
}

TEST_F(Session, ConfidentialValueNeverReachesTheLog) {
    TranscribedPrinter printer(WritableProfile());
    PrinterData stored = Read(printer);
    TempDir logDir;
    Log::SetLogEnable(2, true, logDir.path().c_str());
    StringOf(stored, 901).SetCurUIValue("new-secret");
    EXPECT_TRUE(Write(printer, stored));
    Log::SetLogEnable(0, false, nullptr);
    const std::string log = ReadWholeFile(logDir.file("status.log"));
    EXPECT_NE(log.find("PrnCom_WriteDataToPrinter"), std::string::npos);
    EXPECT_EQ(log.find("new-secret"), std::string::npos);
    EXPECT_EQ(log.find("old-secret"), std::string::npos) << "nor the value read from the printer";
    ASSERT_EQ(printer.FieldsOf("C5").size(), 1u);
    EXPECT_EQ(printer.FieldsOf("C5")[0][1], "new-secret") << "the printer gets the value itself";
}

// An answer that arrives late carries the record of the item asked for before: it is a wrong answer,
// retried like a record that cannot be extracted, never taken as the item asked for now.
TEST_F(Session, LateItemAnswerIsRetriedNotTaken) {
    const sim::Profile profile = WritableProfile();
    const std::vector<uint64_t> ids = IdsOf(profile);
    TranscribedPrinter printer(profile, {"stale=C4#3"}); // the third item gets the second's record
    TempDir logDir;
    Log::SetLogEnable(2, true, logDir.path().c_str());
    const PrinterData data = Read(printer);
    Log::SetLogEnable(0, false, nullptr);
    EXPECT_EQ(IdsOf(data), ids);
    const std::string log = ReadWholeFile(logDir.file("status.log"));
    const std::string third = std::to_string(ids[2]);
    EXPECT_NE(log.find("ExtractIDInfo ID:" + third + " Error(Retry 1 of 3)"), std::string::npos) << log;
    EXPECT_EQ(log.find("ExtractIDInfo ID:" + third + " OK"), log.rfind("ExtractIDInfo ID:" + third + " OK"))
        << "accepted once, on the retry";

    // A late answer is one of the item's three attempts: with two bad records after it the read ends.
    TranscribedPrinter late(profile, {"stale=C4#2", "wrong-checksum=C4#3", "wrong-checksum=C4#4"});
    PrinterData lost;
    lost.Init();
    CommPortSettings settings = late.Settings();
    EXPECT_EQ(CodeOf([&] { comm.PrnCom_ReadSetupData(&layer, &lost, &settings, false); }), kErrorNoAnswer);
}

TEST_F(Session, LateItemAnswerInTheWritesOwnReadChangesNothing) {
    const sim::Profile profile = WritableProfile();
    // The first read takes one request per item; the write's read of the printer comes next.
    const size_t secondOfTheWritesRead = profile.items.size() + 2;
    TranscribedPrinter printer(profile, {"stale=C4#" + std::to_string(secondOfTheWritesRead)});
    PrinterData stored = Read(printer);
    EXPECT_FALSE(Write(printer, stored));
    EXPECT_TRUE(printer.FieldsOf("C5").empty()) << "no item lost its counterpart";
}

// A different identity is refused from the command line's send; this is the group check.
TEST_F(Session, LogosOnAPrinterWithoutThemAreRefusedWithNine) {
    TranscribedPrinter printer(WritableProfile());
    PrinterData stored = Read(printer);
    EXPECT_EQ(CodeOf([&] { Write(printer, stored, false, true); }), kErrorNotCompatible);
    EXPECT_TRUE(printer.FieldsOf("C5").empty());
}

TEST_F(Session, RefusedValueStopsTheWriteWithItsCode) {
    TranscribedPrinter printer(WritableProfile(), {"error=C5:04"});
    PrinterData stored = Read(printer);
    StringOf(stored, 251).SetCurUIValue("EDITED");
    EXPECT_EQ(CodeOf([&] { Write(printer, stored); }), 104);
    EXPECT_FALSE(StoredOrReset(printer.Requests()));
    EXPECT_EQ(layer.GetComPort(), nullptr);
}

TEST_F(Session, NoPrinterOrNoPortKindIsSix) {
    PrinterData data;
    data.Init();
    CommPortSettings nowhere;
    nowhere.type = COMM_ETHERNET;
    nowhere.ipAddress = "127.0.0.1";
    nowhere.tcpPort = 9; // nothing listens on discard
    EXPECT_EQ(CodeOf([&] { comm.PrnCom_Init(&layer, &data, &nowhere); }), kErrorDeviceNotFound);
    EXPECT_EQ(CodeOf([&] { comm.PrnCom_ReadSetupData(&layer, &data, &nowhere, false); }),
              kErrorDeviceNotFound);
    CommPortSettings none;
    EXPECT_EQ(CodeOf([&] { comm.PrnCom_Init(&layer, &data, &none); }), kErrorDeviceNotFound);
    EXPECT_EQ(CodeOf([&] { comm.OpenCommunicationPort(&layer, &none); }), kErrorDeviceNotFound);
    // An Ethernet name the frame layer cannot hold is refused, never cut into another address.
    CommPortSettings longName = nowhere;
    longName.ipAddress = "printer-in-the-hall";
    longName.tcpPort = 9100;
    EXPECT_EQ(CodeOf([&] { comm.OpenCommunicationPort(&layer, &longName); }), kErrorDeviceNotFound);
    EXPECT_FALSE(data.GetGSI().has_value());
}

TEST(PrinterCommNames, UsbNameSplitsIntoThreeParts) {
    std::string vid, pid, serial;
    EXPECT_TRUE(PrinterComm::ExtractUsbParamsFromName("1F5B|0101|SIM|01", vid, pid, serial));
    EXPECT_EQ(vid + "/" + pid + "/" + serial, "1F5B/0101/SIM|01");
    PrinterComm::ExtractUsbParamsFromName("1F5B", vid, pid, serial);
    EXPECT_EQ(vid + "/" + pid + "/" + serial, "1F5B//");
}
