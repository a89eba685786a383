// PrinterData: the archive layout users' files depend on, full round trips, the signature and version
// checks, the groups saved and loaded, and the checks run before a stored setup is written.
#include "model/PrinterData.h"
#include "base/DalvoraException.h"
#include "model/TCFXDataManager.h"
#include "model/TCFXDataReader.h"
#include "model/TCFXDataWriter.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace {

std::unique_ptr<SetupItemTypeList> BaudItem() {
    auto item = std::make_unique<SetupItemTypeList>();
    item->SetId(7);
    item->SetDescription("Baud");
    item->SetFirstValue(0);
    item->SetDefaultValue(1);
    item->SetCurrentValue(2);
    item->SetCurrentUIValue(2);
    item->AddItem("9600", 0);
    item->AddItem("19200", 1);
    return item;
}

void Identity(PrinterData& data, uint64_t capabilities) {
    data.SetGSI(1234);
    data.SetFWRel("1.02");
    data.SetProtocolVersion(std::make_unique<ProtocolVersion>(ProtocolVersion{100}));
    data.GetProtocolDataAvailable()->SetDataAvailable(capabilities);
    data.GetProtocolDataAvailable()->SetDataToSave(capabilities);
}

std::string Save(const PrinterData& data) {
    TCFXDataWriter writer;
    EXPECT_TRUE(writer.openDocument());
    EXPECT_TRUE(data.Serialize_Save(writer));
    return writer.saveToString();
}

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

int LoadError(const std::string& xml, PrinterData& data) {
    try {
        Load(xml, data);
    } catch (const DalvoraException& e) {
        return e.getCode();
    }
    return 0;
}

std::unique_ptr<PrinterData> Printer(std::vector<uint64_t> ids,
                                     std::vector<std::unique_ptr<SetupItemType>> items) {
    auto data = std::make_unique<PrinterData>();
    Identity(*data, 0x11);
    auto list = std::make_unique<SetupItemIDList>();
    for (const uint64_t id : ids) {
        list->AddID(id);
    }
    data->SetSetupItemIDList(std::move(list));
    for (auto& item : items) {
        data->AddSetupItem(std::move(item));
    }
    return data;
}

template <typename Kind> std::unique_ptr<SetupItemType> Item(uint64_t id) {
    auto item = std::make_unique<Kind>();
    item->SetId(id);
    return item;
}

template <typename... Items> std::vector<std::unique_ptr<SetupItemType>> ItemList(Items&&... items) {
    std::vector<std::unique_ptr<SetupItemType>> list;
    (list.push_back(std::forward<Items>(items)), ...);
    return list;
}

} // namespace

TEST(PrinterDataArchiveTest, WorkedExampleElementForElement) {
    PrinterData data;
    Identity(data, 0x11);
    auto ids = std::make_unique<SetupItemIDList>();
    ids->AddID(7);
    data.SetSetupItemIDList(std::move(ids));
    data.AddSetupItem(BaudItem());
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
    EXPECT_EQ(Save(data), expected);
}

TEST(PrinterDataArchiveTest, EverythingRoundTripsThroughAFile) {
    PrinterData data;
    Identity(data, 0x91);
    auto header = std::make_unique<SetupItemHeader>();
    header->AddTextLine("Setup of printer X");
    data.SetSetupItemHeader(std::move(header));
    auto device = std::make_unique<InfoItemPrnDeviceInfo>();
    device->AddTextLine("Serial 1");
    data.SetDeviceInfo(std::move(device));
    auto head = std::make_unique<InfoItemPrnHeadInfo>();
    head->AddTextLine("Head 203 dpi");
    data.SetHeadInfo(std::move(head));
    auto life = std::make_unique<InfoItemPrnLifeInfo>();
    life->AddTextLine("Cuts 77");
    data.SetLifeInfo(std::move(life));
    auto ids = std::make_unique<SetupItemIDList>();
    for (const uint64_t id : {7, 8, 9, 10, 11}) {
        ids->AddID(id);
    }
    data.SetSetupItemIDList(std::move(ids));
    data.AddSetupItem(BaudItem());
    data.AddSetupItem(Item<SetupItemTypeNumeric>(8));
    auto when = std::make_unique<SetupItemTypeDateTime>();
    when->SetId(9);
    when->SetCurUIDateTime(1733500123);
    data.AddSetupItem(std::move(when));
    auto password = std::make_unique<SetupItemTypeString>();
    password->SetId(10);
    password->SetDataMask(SetupItemTypeString::kMaskConfidential);
    password->SetCurUIValue("hunter2");
    data.AddSetupItem(std::move(password));
    auto boxes = std::make_unique<SetupItemTypeCheckbox>();
    boxes->SetId(11);
    boxes->SetNumBits(3);
    ASSERT_TRUE(boxes->AddElement(2, "third"));
    data.AddSetupItem(std::move(boxes));
    data.AddSetupItemLink(std::make_unique<SetupItemLink>(8, 7, LINK_VIEW_HIDE, LINK_VIEW_SHOW, 1));
    data.AddSetupItemLink(std::make_unique<SetupItemLink>(11, 7, LINK_VIEW_DISABLE, LINK_VIEW_SHOW, 0));
    data.GetToolsData().SetTools1(0x7F);
    auto general = std::make_unique<StatusInfoGenData>();
    general->SetStatusBitMaskSupported(0xFF);
    data.SetStatusInfoGenData(std::move(general));
    auto extended = std::make_unique<StatusInfoExtData>();
    extended->SetNumBytesStatus(1);
    ASSERT_TRUE(extended->AddStatusBitInfo(std::make_unique<StatusBitInfo>(1, 3, "Ext bit", 2)));
    data.SetStatusInfoExtData(std::move(extended));

    TempDir dir;
    TCFXDataWriter writer;
    ASSERT_TRUE(writer.openDocument());
    ASSERT_TRUE(data.Serialize_Save(writer));
    ASSERT_TRUE(writer.saveToFile(dir.file("setup.tcfx")));
    const std::string file = ReadWholeFile(dir.file("setup.tcfx"));
    EXPECT_EQ(file.find(Hex("hunter2")), std::string::npos);
    EXPECT_EQ(file.find(Hex("Cuts 77")), std::string::npos);

    TCFXDataReader reader;
    ASSERT_TRUE(reader.openDocumentFromFile(dir.file("setup.tcfx")));
    PrinterData loaded;
    loaded.Serialize_Load(reader);
    EXPECT_EQ(loaded.GetGSI(), 1234u);
    EXPECT_EQ(loaded.GetFWRel(), "1.02");
    EXPECT_EQ(loaded.GetProtocolVersion()->Version, 100u);
    EXPECT_EQ(loaded.GetProtocolDataAvailable()->GetDataToSave(), 0x91u);
    EXPECT_EQ(loaded.GetSetupItemHeader()->GetTextLines(), data.GetSetupItemHeader()->GetTextLines());
    EXPECT_EQ(loaded.GetDeviceInfo()->GetTextLines(), data.GetDeviceInfo()->GetTextLines());
    EXPECT_EQ(loaded.GetHeadInfo()->GetTextLines(), data.GetHeadInfo()->GetTextLines());
    EXPECT_EQ(loaded.GetLifeInfo()->GetTextLines(), std::vector<std::string>{"Cuts 77"});
    EXPECT_EQ(loaded.GetSetupItemIDList()->GetIDs(), data.GetSetupItemIDList()->GetIDs());
    ASSERT_EQ(loaded.GetNumSetupItems(), 5u);
    for (uint32_t i = 0; i < 5; ++i) {
        EXPECT_TRUE(loaded.GetSetupItems()[i]->Equals(*data.GetSetupItems()[i])) << i;
        EXPECT_EQ(loaded.GetSetupItems()[i]->UIValue(), data.GetSetupItems()[i]->UIValue()) << i;
    }
    ASSERT_EQ(loaded.GetSetupItemLinkList()->Size(), 2u);
    ASSERT_EQ(loaded.FindSetupItem(11)->GetLinks().size(), 1u);
    EXPECT_EQ(loaded.FindSetupItem(11)->GetLinks()[0]->GetViewFoundOp(), LINK_VIEW_DISABLE);
    EXPECT_TRUE(loaded.FindSetupItem(7)->GetLinks().empty());
    EXPECT_EQ(loaded.GetToolsData().GetTools1(), 0x7Fu);
    EXPECT_EQ(loaded.GetStatusInfoGenData()->GetStatusBitMaskSupported(), 0xFFu);
    ASSERT_EQ(loaded.GetStatusInfoExtData()->GetDescriptions().size(), 1u);
    EXPECT_EQ(loaded.GetStatusInfoExtData()->GetDescriptions()[0]->GetDescription(), "Ext bit");
    EXPECT_TRUE(loaded.IsThisPrinterCompatible(&data));
}

TEST(PrinterDataArchiveTest, SignatureAndVersionChecks) {
    PrinterData data;
    EXPECT_EQ(LoadError(Archive("1.08"), data), PrinterData::kErrorBadArchive);
    EXPECT_EQ(LoadError(Archive(""), data), PrinterData::kErrorBadArchive);
    EXPECT_EQ(LoadError(Archive("nan"), data), PrinterData::kErrorBadArchive);
    EXPECT_EQ(LoadError(Archive("1.09", "VM_PRINTSETUP_FILEARCHIVX"), data), PrinterData::kErrorBadArchive);
    EXPECT_EQ(LoadError("<DataFile/>", data), PrinterData::kErrorBadArchive);
    try {
        Load(Archive("1.08"), data);
        ADD_FAILURE() << "no exception";
    } catch (const DalvoraException& e) {
        EXPECT_EQ(e.getMessage(), "File Version not Supported");
    }
    try {
        Load(Archive("1.09", "x"), data);
        ADD_FAILURE() << "no exception";
    } catch (const DalvoraException& e) {
        EXPECT_EQ(e.getMessage(), "File Sign not ok");
    }
    for (const char* accepted : {"1.09", "1.10", "1.1", "2"}) {
        PrinterData fresh;
        EXPECT_EQ(LoadError(Archive(accepted), fresh), 0) << accepted;
        EXPECT_EQ(fresh.GetGSI(), 9u);
    }
}

TEST(PrinterDataArchiveTest, RefusedArchiveLeavesTheDataAsItWas) {
    PrinterData data;
    Identity(data, 0x11);
    data.AddSetupItem(BaudItem());
    EXPECT_EQ(LoadError(Archive("1.08"), data), PrinterData::kErrorBadArchive);
    EXPECT_EQ(data.GetGSI(), 1234u);
    EXPECT_EQ(data.GetNumSetupItems(), 1u);
}

TEST(PrinterDataArchiveTest, GroupsFollowTheSaveMaskAndTheTabStatus) {
    PrinterData data;
    Identity(data, 0x91);
    data.AddSetupItem(BaudItem());
    data.GetProtocolDataAvailable()->SetDataToSave(0x80);
    data.SetStatusInfoGenData(std::make_unique<StatusInfoGenData>());
    std::string xml = Save(data);
    EXPECT_EQ(xml.find("SetupItemType_SIZE"), std::string::npos);
    EXPECT_EQ(xml.find("ToolsData_Tools1"), std::string::npos);
    EXPECT_NE(xml.find("StatusInfoGenData_NumBytesStatus"), std::string::npos);
    EXPECT_EQ(xml.find("TabStatus"), std::string::npos);

    data.GetProtocolDataAvailable()->SetDataToSave(0x91);
    data.GetTabStatus()->Set(TabStatus::PrinterStatus, 13);
    xml = Save(data);
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
    Load(Save(data), loaded);
    EXPECT_EQ(loaded.GetNumSetupItems(), 0u);
}

TEST(PrinterDataArchiveTest, DamagedCountsAndKindsAreSurvived) {
    PrinterData data;
    Identity(data, 0x01);
    data.AddSetupItem(BaudItem());
    data.AddSetupItem(Item<SetupItemTypeNumeric>(8));
    std::string xml = Save(data);
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
    const auto items = [] { return ItemList(Item<SetupItemTypeList>(1), Item<SetupItemTypeNumeric>(2)); };
    const auto printer = Printer({1, 2}, items());
    EXPECT_TRUE(Printer({2, 1}, items())->IsThisPrinterCompatible(printer.get()));
    EXPECT_FALSE(Printer({1}, items())->IsThisPrinterCompatible(printer.get()));
    EXPECT_FALSE(Printer({1, 3}, items())->IsThisPrinterCompatible(printer.get()));
    EXPECT_FALSE(
        Printer({1, 2}, ItemList(Item<SetupItemTypeNumeric>(1)))->IsThisPrinterCompatible(printer.get()));
    EXPECT_TRUE(Printer({1, 2}, ItemList())->IsThisPrinterCompatible(printer.get()));
    EXPECT_FALSE(Printer({1, 2}, items())->IsThisPrinterCompatible(Printer({1, 2}, ItemList()).get()));
    auto otherGsi = Printer({1, 2}, items());
    otherGsi->SetGSI(99);
    EXPECT_FALSE(otherGsi->IsThisPrinterCompatible(printer.get()));
    auto otherProtocol = Printer({1, 2}, items());
    otherProtocol->SetProtocolVersion(std::make_unique<ProtocolVersion>(ProtocolVersion{101}));
    EXPECT_FALSE(otherProtocol->IsThisPrinterCompatible(printer.get()));
    EXPECT_FALSE(printer->IsThisPrinterCompatible(nullptr));
}

TEST(PrinterDataTest, CheckDataValuesReportsTheFirstBadField) {
    PrinterData data;
    std::string message;
    EXPECT_TRUE(data.CheckDataValues(ProtocolDataAvailable(), message));
    auto address = std::make_unique<SetupItemTypeString>();
    address->SetDescription("IP address");
    address->SetDataMask(SetupItemTypeString::kMaskIPv4);
    address->SetCurUIValue("10.0.0.1");
    data.AddSetupItem(std::move(address));
    EXPECT_TRUE(data.CheckDataValues(ProtocolDataAvailable(), message));
    auto gateway = std::make_unique<SetupItemTypeString>();
    gateway->SetDescription("Gateway");
    gateway->SetDataMask(SetupItemTypeString::kMaskIPv4);
    gateway->SetCurUIValue("192.168.1.256");
    data.AddSetupItem(std::move(gateway));
    EXPECT_FALSE(data.CheckDataValues(ProtocolDataAvailable(), message));
    EXPECT_EQ(message, "Error on field Gateway:\nThe data must be in IP Format (XXX.XXX.XXX.XXX)");
}

TEST(PrinterDataTest, LifecycleAndCapabilities) {
    PrinterData data;
    EXPECT_TRUE(data.isEmpty());
    ASSERT_NE(data.GetTabStatus(), nullptr);
    ProtocolDataAvailable* caps = data.GetProtocolDataAvailable();
    ASSERT_NE(caps, nullptr);
    EXPECT_TRUE(caps->SetupDataAvailable(false, true));
    EXPECT_TRUE(caps->SetupDataAvailable(true, false));
    EXPECT_FALSE(caps->ToolsAvailable(true, true));
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
    EXPECT_EQ(data.GetProtocolDataAvailable(), nullptr);
    EXPECT_TRUE(data.isEmpty());
}
