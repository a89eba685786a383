// Sample archives: the worked example, a setup using every record, and two older layouts.
#include "tests/model/SampleArchives.h"

#include "model/TCFXDataWriter.h"

#include <memory>

std::string Written(const std::function<void(TCFXDataWriter&)>& save) {
    TCFXDataWriter writer;
    if (!writer.openDocument()) {
        return {};
    }
    save(writer);
    return writer.hasFailed() ? std::string() : writer.saveToString();
}

std::string Saved(const PrinterData& data) {
    bool saved = false;
    std::string xml = Written([&](TCFXDataWriter& writer) { saved = data.Serialize_Save(writer); });
    return saved ? xml : std::string();
}

void Identity(PrinterData& data, uint64_t capabilities) {
    data.SetGSI(1234);
    data.SetFWRel("1.02");
    data.SetProtocolVersion(std::make_unique<ProtocolVersion>(ProtocolVersion{100}));
    data.GetProtocolDataAvailable()->SetDataAvailable(capabilities);
    data.GetProtocolDataAvailable()->SetDataToSave(capabilities);
}

std::unique_ptr<SetupItemTypeList> BaudItem() {
    auto item = std::make_unique<SetupItemTypeList>();
    item->SetId(7);
    item->SetDescription("Baud");
    item->SetDefaultValue(1);
    item->SetCurrentValue(2);
    item->SetCurrentUIValue(2);
    item->AddItem("9600", 0);
    item->AddItem("19200", 1);
    return item;
}

namespace {

void AddEveryKind(PrinterData& data) {
    data.AddSetupItem(BaudItem());
    auto numeric = std::make_unique<SetupItemTypeNumeric>();
    numeric->SetId(8);
    numeric->SetDescription("Darkness");
    numeric->SetMinValue(-5);
    numeric->SetMaxValue(5);
    numeric->SetStepValue(0.5f);
    numeric->SetCurUIValue(1.5f);
    data.AddSetupItem(std::move(numeric));
    auto when = std::make_unique<SetupItemTypeDateTime>();
    when->SetId(9);
    when->SetDescription("Clock");
    when->SetAddDescription("local");
    when->SetCurDateTime(1733500123);
    when->SetCurUIDateTime(1733500123);
    data.AddSetupItem(std::move(when));
    auto secret = std::make_unique<SetupItemTypeString>();
    secret->SetId(10);
    secret->SetDescription("Password");
    secret->SetMaxLen(16);
    secret->SetDataMask(SetupItemTypeString::kMaskConfidential);
    secret->SetCurValue("hunter2");
    secret->SetCurUIValue("hunter3");
    data.AddSetupItem(std::move(secret));
    auto address = std::make_unique<SetupItemTypeString>();
    address->SetId(12);
    address->SetDescription("IP <address>");
    address->SetDataMask(SetupItemTypeString::kMaskIPv4);
    address->SetCurUIValue("192.168.1.20");
    data.AddSetupItem(std::move(address));
    auto boxes = std::make_unique<SetupItemTypeCheckbox>();
    boxes->SetId(11);
    boxes->SetDescription("Options");
    boxes->SetNumBits(10);
    boxes->CurUIValue()[0] = 5;
    boxes->CurUIValue()[1] = 2;
    (void)boxes->AddElement(0, "Cutter");
    (void)boxes->AddElement(9, "Presenter");
    data.AddSetupItem(std::move(boxes));
}

// The layout of archives whose extended status descriptions share the general record's key names.
std::string LegacyStatusNames() {
    PrinterData data;
    Identity(data, 0x80);
    data.SetStatusInfoGenData(std::make_unique<StatusInfoGenData>());
    std::string xml = Saved(data);
    std::string entries = Written([](TCFXDataWriter& tail) {
        tail.addBaseElement("StatusInfoExtData_NumBytesStatus", 30, 1);
        tail.addBaseElement("StatusInfoExtData_StatusBitDescription_Size", 30, 1);
        StatusBitInfo(1, 4, "Extended bit", 1).Serialize_Save(tail, "1.09", 0, "StatusBitInfo_");
        tail.addBaseElement("StatusWayPorts_PortsAvailable_StatusInfoExtData", 11, 1u);
    });
    entries = entries.substr(entries.find("<DataFile>") + 11);
    entries = entries.substr(0, entries.find("</DataFile>"));
    xml.insert(xml.find("\t<FILE_SIGN_END"), entries);
    return xml;
}

// A later file version that also carries interface state.
std::string LaterVersionWithTabStatus() {
    std::string xml = Saved(FullSetup());
    const std::string version = "<FILE_VER T=\"3\">312E3039</FILE_VER>";
    xml.replace(
        xml.find(version), version.size(),
        "<FILE_VER T=\"3\">312E3130</FILE_VER>\n\t<TabStatus_PrinterSetup>5</TabStatus_PrinterSetup>\n"
        "\t<TabStatus_PrinterTools>13</TabStatus_PrinterTools>");
    return xml;
}

} // namespace

PrinterData FullSetup() {
    PrinterData data;
    Identity(data, 0x91);
    auto header = std::make_unique<SetupItemHeader>();
    header->AddTextLine("Printer setup");
    data.SetSetupItemHeader(std::move(header));
    auto device = std::make_unique<InfoItemPrnDeviceInfo>();
    device->AddTextLine("Serial 00042");
    data.SetDeviceInfo(std::move(device));
    auto life = std::make_unique<InfoItemPrnLifeInfo>();
    life->AddTextLine("Cuts 1234");
    data.SetLifeInfo(std::move(life));
    auto ids = std::make_unique<SetupItemIDList>();
    for (const uint64_t id : {7, 8, 9, 10, 12, 11}) {
        ids->AddID(id);
    }
    data.SetSetupItemIDList(std::move(ids));
    AddEveryKind(data);
    data.AddSetupItemLink(std::make_unique<SetupItemLink>(8, 7, LINK_VIEW_HIDE, LINK_VIEW_SHOW, 1));
    data.AddSetupItemLink(std::make_unique<SetupItemLink>(11, 7, LINK_VIEW_DISABLE, LINK_VIEW_SHOW, 2));
    data.GetToolsData().SetTools1(0x5F);
    auto general = std::make_unique<StatusInfoGenData>();
    general->SetStatusBitMaskSupported(0xFFFF);
    data.SetStatusInfoGenData(std::move(general));
    auto extended = std::make_unique<StatusInfoExtData>();
    extended->SetNumBytesStatus(2);
    (void)extended->AddStatusBitInfo(std::make_unique<StatusBitInfo>(2, 1, "Presenter jam", 2));
    data.SetStatusInfoExtData(std::move(extended));
    return data;
}

PrinterData WorkedExample() {
    PrinterData example;
    Identity(example, 0x11);
    auto ids = std::make_unique<SetupItemIDList>();
    ids->AddID(7);
    example.SetSetupItemIDList(std::move(ids));
    example.AddSetupItem(BaudItem());
    return example;
}

std::vector<SampleArchive> MakeSampleArchives() {
    return {
        {"worked_example.tcfx", Saved(WorkedExample()), true},
        {"full_setup.tcfx", Saved(FullSetup()), true},
        {"legacy_status_names.tcfx", LegacyStatusNames(), false},
        {"later_version_tabstatus.tcfx", LaterVersionWithTabStatus(), false},
    };
}
