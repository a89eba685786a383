// PrinterData: the archive layout users' files depend on, full round trips, the signature and version
// checks, the groups saved and loaded, and the checks run before a stored setup is written.
#include "model/PrinterData.h"
#include "base/DalvoraException.h"
#include "model/TCFXDataManager.h"
#include "model/TCFXDataReader.h"
#include "tests/model/SampleArchives.h"

#include <gtest/gtest.h>

namespace {

void Load(const std::string& xml, PrinterData& data) {
    TCFXDataReader reader;
    ASSERT_TRUE(reader.openDocumentFromMemory(xml));
    data.Serialize_Load(reader);
}

std::string Hex(const char* text) {
    return TCFXDataManager::string_to_hex(text);
}

std::string Archive(const std::string& version, const std::string& sign = "VM_PRINTSETUP_FILEARCHIVE") {
    return "<DataFile><FILE_SIGN>" + Hex(sign.c_str()) + "</FILE_SIGN><FILE_VER>" + Hex(version.c_str()) +
           "</FILE_VER><GSI>9</GSI><ProtocollDataAvailable_DataAvailable>1</"
           "ProtocollDataAvailable_DataAvailable>"
           "</DataFile>";
}

// The code and message of a refused load; {0, ""} when the archive loads.
std::pair<int, std::string> LoadError(const std::string& xml, PrinterData& data) {
    try {
        Load(xml, data);
    } catch (const DalvoraException& e) {
        return {e.getCode(), e.getMessage()};
    }
    return {0, ""};
}

// A printer with these ids in its list and these items, each an id and a kind (list or numeric).
std::unique_ptr<PrinterData> Printer(const std::vector<uint64_t>& ids,
                                     const std::vector<std::pair<uint64_t, uint8_t>>& items) {
    auto data = std::make_unique<PrinterData>();
    Identity(*data, 0x11);
    auto list = std::make_unique<SetupItemIDList>();
    for (const uint64_t id : ids) {
        list->AddID(id);
    }
    data->SetSetupItemIDList(std::move(list));
    for (const auto& [id, kind] : items) {
        std::unique_ptr<SetupItemType> item;
        if (kind == PROT_TYPE_LIST) {
            item = std::make_unique<SetupItemTypeList>();
        } else {
            item = std::make_unique<SetupItemTypeNumeric>();
        }
        item->SetId(id);
        data->AddSetupItem(std::move(item));
    }
    return data;
}

} // namespace

TEST(PrinterDataArchiveTest, WorkedExampleElementForElement) {
    const std::string expected =
        "<?xml version=\"1.0\"?>\n<DataFile>\n"
        "\t<FILE_SIGN T=\"3\">" +
        Hex("VM_PRINTSETUP_FILEARCHIVE") +
        "</FILE_SIGN>\n"
        "\t<FILE_VER T=\"3\">312E3039</FILE_VER>\n"
        "\t<GSI T=\"11\">1234</GSI>\n"
        "\t<FWRel T=\"3\">312E3032</FWRel>\n"
        "\t<ProtVersion_Version T=\"11\">100</ProtVersion_Version>\n"
        "\t<ProtocollDataAvailable_DataAvailable T=\"11\">17</ProtocollDataAvailable_DataAvailable>\n"
        "\t<ProtocollDataAvailable_DataToSave T=\"11\">17</ProtocollDataAvailable_DataToSave>\n"
        "\t<SetupItemHeader_ListHeaderTextLines T=\"100\" Size=\"0\" />\n"
        "\t<InfoItemPrnDeviceInfo_ListPrnDeviceInfoTextLines T=\"100\" Size=\"0\" />\n"
        "\t<InfoItemPrnHeadInfo_ListPrnHeadInfoTextLines T=\"100\" Size=\"0\" />\n"
        "\t<InfoItemPrnLifeInfo_ListPrnLifeInfoTextLines T=\"100\" Size=\"0\" />\n"
        "\t<SetupItemIDList_ListId T=\"113\" Size=\"1\">\n"
        "\t\t<TLISTUINT64>7</TLISTUINT64>\n"
        "\t</SetupItemIDList_ListId>\n"
        "\t<SetupLinkItems_SIZE T=\"30\">0</SetupLinkItems_SIZE>\n"
        "\t<SetupItemType_SIZE T=\"30\">1</SetupItemType_SIZE>\n"
        "\t<SetupItemType_TYPE_0 T=\"2\">1</SetupItemType_TYPE_0>\n"
        "\t<SetupItemTypeList_Id_0 T=\"11\">7</SetupItemTypeList_Id_0>\n"
        "\t<SetupItemTypeList_Type_0 T=\"2\">1</SetupItemTypeList_Type_0>\n"
        "\t<SetupItemTypeList_Description_0 T=\"3\">42617564</SetupItemTypeList_Description_0>\n"
        "\t<SetupItemTypeList_AddDescription_0 T=\"3\" />\n"
        "\t<SetupItemTypeList_FirstValue_0 T=\"30\">0</SetupItemTypeList_FirstValue_0>\n"
        "\t<SetupItemTypeList_DefaultValue_0 T=\"30\">1</SetupItemTypeList_DefaultValue_0>\n"
        "\t<SetupItemTypeList_CurrentValue_0 T=\"30\">2</SetupItemTypeList_CurrentValue_0>\n"
        "\t<SetupItemTypeList_CurrentUIValue_0 T=\"30\">2</SetupItemTypeList_CurrentUIValue_0>\n"
        "\t<SetupItemTypeList_Items_0 T=\"1002\" Size=\"2\">\n"
        "\t\t<LISTLISTITEM Index=\"0\" Text=\"39363030\" />\n"
        "\t\t<LISTLISTITEM Index=\"1\" Text=\"3139323030\" />\n"
        "\t</SetupItemTypeList_Items_0>\n"
        "\t<ToolsData_Tools1 T=\"40\">0</ToolsData_Tools1>\n"
        "\t<ToolsData_Tools2 T=\"40\">0</ToolsData_Tools2>\n"
        "\t<FILE_SIGN_END T=\"3\">" +
        Hex("VM_PRINTSETUP_FILEARCHIVE_END") +
        "</FILE_SIGN_END>\n"
        "</DataFile>\n";
    EXPECT_EQ(Saved(WorkedExample()), expected);
}

// The corpus test saves each loaded sample again unchanged, so every value survives a load; what it
// cannot see is how the loaded links hang on their items, and whether the setup still fits its printer.
TEST(PrinterDataArchiveTest, LoadedLinksHangOnTheirItemsAndTheSetupFitsItsPrinter) {
    PrinterData data = FullSetup();
    PrinterData loaded;
    Load(Saved(data), loaded);
    ASSERT_EQ(loaded.FindSetupItem(11)->GetLinks().size(), 1u);
    EXPECT_EQ(loaded.FindSetupItem(11)->GetLinks()[0]->GetViewFoundOp(), LINK_VIEW_DISABLE);
    EXPECT_EQ(loaded.FindSetupItem(8)->GetLinks().size(), 1u);
    EXPECT_TRUE(loaded.FindSetupItem(7)->GetLinks().empty());
    EXPECT_TRUE(loaded.IsThisPrinterCompatible(&data));
}

TEST(PrinterDataArchiveTest, SignatureAndVersionChecks) {
    const std::pair<int, std::string> badVersion{PrinterData::kErrorBadArchive, "File Version not Supported"};
    const std::pair<int, std::string> badSign{PrinterData::kErrorBadArchive, "File Sign not ok"};
    PrinterData data;
    Identity(data, 0x11);
    data.AddSetupItem(BaudItem());
    for (const char* refused : {"1.08", "", "nan"}) {
        EXPECT_EQ(LoadError(Archive(refused), data), badVersion) << refused;
    }
    EXPECT_EQ(LoadError(Archive("1.09", "VM_PRINTSETUP_FILEARCHIVX"), data), badSign);
    EXPECT_EQ(LoadError("<DataFile/>", data), badSign);
    EXPECT_EQ(data.GetGSI(), 1234u) << "a refused archive leaves the data as it was";
    EXPECT_EQ(data.GetNumSetupItems(), 1u);
    for (const char* accepted : {"1.09", "1.10", "1.1", "2"}) {
        PrinterData fresh;
        EXPECT_EQ(LoadError(Archive(accepted), fresh).first, 0) << accepted;
        EXPECT_EQ(fresh.GetGSI(), 9u);
    }
}

TEST(PrinterDataArchiveTest, GroupsFollowTheSaveMaskAndTheTabStatus) {
    PrinterData data;
    Identity(data, 0x91);
    data.AddSetupItem(BaudItem());
    data.GetProtocolDataAvailable()->SetDataToSave(0x80);
    data.SetStatusInfoGenData(std::make_unique<StatusInfoGenData>());
    std::string xml = Saved(data);
    EXPECT_EQ(xml.find("SetupItemType_SIZE"), std::string::npos);
    EXPECT_EQ(xml.find("ToolsData_Tools1"), std::string::npos);
    EXPECT_NE(xml.find("StatusInfoGenData_NumBytesStatus"), std::string::npos);
    EXPECT_EQ(xml.find("TabStatus"), std::string::npos);

    data.GetProtocolDataAvailable()->SetDataToSave(0x91);
    data.GetTabStatus()->Set(TabStatus::PrinterStatus, 13);
    xml = Saved(data);
    EXPECT_NE(xml.find("SetupItemType_SIZE"), std::string::npos);
    EXPECT_EQ(xml.find("StatusInfoGenData_NumBytesStatus"), std::string::npos);

    // Loading: a disabled setup group in the file, or no setup bit, leaves the setup unread.
    const size_t end = xml.find("\t<FILE_SIGN_END");
    PrinterData loaded;
    Load(xml.substr(0, end) + "<TabStatus_PrinterSetup>8</TabStatus_PrinterSetup>" + xml.substr(end), loaded);
    EXPECT_EQ(loaded.GetNumSetupItems(), 0u);
    EXPECT_EQ(loaded.GetSetupItemIDList(), nullptr);
    EXPECT_TRUE(loaded.GetTabStatus()->IsDisabled(TabStatus::PrinterSetup));
    Load(xml, loaded);
    EXPECT_EQ(loaded.GetNumSetupItems(), 1u);
    data.GetProtocolDataAvailable()->SetDataAvailable(0x90);
    Load(Saved(data), loaded);
    EXPECT_EQ(loaded.GetNumSetupItems(), 0u);
}

TEST(PrinterDataArchiveTest, DamagedCountsAndKindsAreSurvived) {
    PrinterData data;
    Identity(data, 0x01);
    data.AddSetupItem(BaudItem());
    data.AddSetupItem(BaudItem());
    data.GetSetupItems()[1]->SetId(8);
    std::string xml = Saved(data);
    const auto replace = [&](const std::string& from, const std::string& to) {
        const size_t at = xml.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        xml.replace(at, from.size(), to);
    };
    replace(">2</SetupItemType_SIZE>", ">2147483647</SetupItemType_SIZE>");
    replace("<SetupLinkItems_SIZE T=\"30\">0<", "<SetupLinkItems_SIZE T=\"30\">999999999<");
    replace("<SetupItemType_TYPE_0 T=\"2\">1<", "<SetupItemType_TYPE_0 T=\"2\">9<");
    PrinterData loaded;
    Load(xml, loaded);
    ASSERT_EQ(loaded.GetNumSetupItems(), 1u);
    EXPECT_EQ(loaded.GetSetupItems()[0]->GetId(), 8u);
}

TEST(PrinterDataTest, CompatibilityWithAPrinter) {
    const std::vector<std::pair<uint64_t, uint8_t>> items{{1, PROT_TYPE_LIST}, {2, PROT_TYPE_NUMERIC}};
    const auto printer = Printer({1, 2}, items);
    EXPECT_TRUE(Printer({2, 1}, items)->IsThisPrinterCompatible(printer.get()));
    EXPECT_FALSE(Printer({1}, items)->IsThisPrinterCompatible(printer.get()));
    EXPECT_FALSE(Printer({1, 3}, items)->IsThisPrinterCompatible(printer.get()));
    EXPECT_FALSE(Printer({1, 2}, {{1, PROT_TYPE_NUMERIC}})->IsThisPrinterCompatible(printer.get()));
    EXPECT_TRUE(Printer({1, 2}, {})->IsThisPrinterCompatible(printer.get()));
    EXPECT_FALSE(Printer({1, 2}, items)->IsThisPrinterCompatible(Printer({1, 2}, {}).get()));
    auto otherGsi = Printer({1, 2}, items);
    otherGsi->SetGSI(99);
    EXPECT_FALSE(otherGsi->IsThisPrinterCompatible(printer.get()));
    auto otherProtocol = Printer({1, 2}, items);
    otherProtocol->SetProtocolVersion(std::make_unique<ProtocolVersion>(ProtocolVersion{101}));
    EXPECT_FALSE(otherProtocol->IsThisPrinterCompatible(printer.get()));
    EXPECT_FALSE(printer->IsThisPrinterCompatible(nullptr));
}

TEST(PrinterDataTest, CheckDataValuesReportsTheFirstBadField) {
    PrinterData data;
    std::string message;
    EXPECT_TRUE(data.CheckDataValues(ProtocolDataAvailable(), message));
    for (const auto& [name, value] :
         {std::pair{"IP address", "10.0.0.1"}, {"Gateway", "192.168.1.256"}, {"Netmask", "255.255.0"}}) {
        auto address = std::make_unique<SetupItemTypeString>();
        address->SetDescription(name);
        address->SetDataMask(SetupItemTypeString::kMaskIPv4);
        address->SetCurUIValue(value);
        data.AddSetupItem(std::move(address));
    }
    EXPECT_FALSE(data.CheckDataValues(ProtocolDataAvailable(), message));
    EXPECT_EQ(message, "Error on field Gateway:\nThe data must be in IP Format (XXX.XXX.XXX.XXX)");
}

TEST(PrinterDataTest, CapabilityBitsAndReset) {
    PrinterData data;
    EXPECT_TRUE(data.isEmpty());
    ProtocolDataAvailable* caps = data.GetProtocolDataAvailable();
    ASSERT_NE(caps, nullptr);
    EXPECT_TRUE(caps->SetupDataAvailable(false, true));
    EXPECT_TRUE(caps->SetupDataAvailable(true, false)) << "a query changes nothing";
    EXPECT_FALSE(data.isEmpty());
    EXPECT_TRUE(caps->SetupDataAvailable(false, false));
    EXPECT_FALSE(caps->SetupDataAvailable(true, true));
    caps->SetDataAvailable(0x1FF);
    caps->SetDataToSave(0x3);
    caps->SetToSaveAllTheDataAvailable();
    EXPECT_EQ(caps->GetDataAvailable(), 0xB5u);
    EXPECT_EQ(caps->GetDataToSave(), 0xB5u);
    data.AddSetupItem(BaudItem());
    data.SetGSI(5);
    data.Reset();
    EXPECT_TRUE(data.isEmpty());
    EXPECT_EQ(data.GetNumSetupItems(), 0u);
    EXPECT_FALSE(data.GetGSI().has_value());
    data.DeInit();
    EXPECT_TRUE(data.isEmpty()) << "without a capability record";
}
