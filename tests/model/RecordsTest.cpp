// Information, status, tools, logo and upgrade records: parsing of their texts and their archive keys.
#include "model/CryptoFunctions.h"
#include "model/InfoRecords.h"
#include "model/StatusRecords.h"
#include "model/TCFXDataManager.h"
#include "model/TCFXDataReader.h"
#include "model/TCFXDataWriter.h"
#include "model/ToolsData.h"
#include "tests/model/SampleArchives.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Descriptions(const std::vector<const StatusBitInfo*>& infos) {
    std::vector<std::string> texts;
    for (const StatusBitInfo* info : infos) {
        texts.push_back(info->GetDescription());
    }
    return texts;
}

std::unique_ptr<StatusBitInfo> Bit(int byteRef, int bitRef, const char* text) {
    return std::make_unique<StatusBitInfo>(byteRef, bitRef, text, 1);
}

} // namespace

TEST(StatusBitInfoTest, ParsesByteAndBit) {
    StatusBitInfo info;
    ASSERT_TRUE(info.AddByteBit("2|5"));
    EXPECT_EQ(info.GetByteRef(), 2);
    EXPECT_EQ(info.GetBitRef(), 5);
    for (const char* bad : {"2", "2|5|1", "x|1", "1|", "|1", "1|b", "", "3 |1"}) {
        EXPECT_FALSE(info.AddByteBit(bad)) << bad;
        EXPECT_EQ(info.GetByteRef(), 2);
        EXPECT_EQ(info.GetBitRef(), 5);
    }
    EXPECT_TRUE(info.AddSignal("2"));
    EXPECT_FALSE(info.AddSignal("-"));
    EXPECT_EQ(info.GetSignalFamily(), 2u);
}

TEST(StatusInfoTest, StandardTableReplacementAndLimit) {
    StatusInfoGenData general;
    const size_t standard = general.GetDescriptions().size();
    EXPECT_EQ(general.GetDescriptions()[0]->GetDescription(), "Paper not present");
    EXPECT_TRUE(general.AddStatusBitInfo(Bit(1, 0, "No paper")));
    EXPECT_EQ(general.GetDescriptions().size(), standard);
    EXPECT_EQ(general.GetDescriptions()[0]->GetDescription(), "No paper");
    EXPECT_FALSE(general.AddStatusBitInfo(Bit(5, 0, "beyond")));
    EXPECT_TRUE(general.AddStatusBitInfo(Bit(4, 7, "new")));
    EXPECT_EQ(general.GetDescriptions().size(), standard + 1);
}

TEST(StatusInfoTest, OnlyBitsAvailable) {
    StatusInfoGenData general;
    general.SetStatusBitMaskSupported(0x1);
    EXPECT_EQ(Descriptions(general.GetOnlyBitsAvailable()), std::vector<std::string>{"Paper not present"});
    general.SetStatusBitMaskSupported((1ull << 9) | (1ull << 8) | (1ull << 2));
    EXPECT_EQ(Descriptions(general.GetOnlyBitsAvailable()),
              (std::vector<std::string>{"Near paper end", "Thermal print head lifted", "Cover opened"}));
    // Bytes beyond the 64-bit mask are never reported, however many the record has.
    general.SetNumBytesStatus(2000000000);
    general.SetStatusBitMaskSupported(~0ull);
    EXPECT_TRUE(general.AddStatusBitInfo(Bit(9, 0, "byte nine")));
    EXPECT_EQ(general.GetOnlyBitsAvailable().size(), 18u);

    StatusInfoExtData extended;
    EXPECT_FALSE(extended.AddStatusBitInfo(Bit(1, 0, "no bytes yet")));
    extended.SetNumBytesStatus(3);
    EXPECT_TRUE(extended.AddStatusBitInfo(Bit(3, 1, "c")));
    EXPECT_TRUE(extended.AddStatusBitInfo(Bit(1, 9, "bit out of range")));
    EXPECT_TRUE(extended.AddStatusBitInfo(Bit(1, 4, "a")));
    EXPECT_EQ(Descriptions(extended.GetOnlyBitsAvailable()), (std::vector<std::string>{"a", "c"}));
}

// The two records once shared their key names; each must read back as itself, in both layouts.
TEST(StatusInfoTest, GeneralAndExtendedReadBackEachAsItself) {
    StatusInfoGenData general;
    general.SetStatusPorts(5);
    ASSERT_TRUE(general.AddStatusBitInfo(Bit(2, 7, "general 2.7")));
    StatusInfoExtData extended;
    extended.SetNumBytesStatus(2);
    extended.SetStatusPorts(2);
    ASSERT_TRUE(extended.AddStatusBitInfo(Bit(2, 3, "extended 2.3")));
    TCFXDataReader reader;
    ASSERT_TRUE(reader.openDocumentFromMemory(Written([&](TCFXDataWriter& writer) {
        general.Serialize_Save(writer, "1.09");
        extended.Serialize_Save(writer, "1.09");
    })));
    const auto g = StatusInfoGenData::Serialize_Load(reader, "1.09");
    EXPECT_EQ(g->GetDescriptions().back()->GetDescription(), "general 2.7");
    EXPECT_EQ(g->GetStatusWayPorts().GetPorts(), 5u);
    const auto e = StatusInfoExtData::Serialize_Load(reader, "1.09");
    EXPECT_EQ(Descriptions(e->GetOnlyBitsAvailable()), std::vector<std::string>{"extended 2.3"});
    EXPECT_EQ(e->GetStatusWayPorts().GetPorts(), 2u);

    // The older layout: the extended list repeats the general record's names after its own count.
    TCFXDataReader legacy;
    ASSERT_TRUE(legacy.openDocumentFromMemory(Written([&](TCFXDataWriter& writer) {
        general.Serialize_Save(writer, "1.09");
        writer.addBaseElement("StatusInfoExtData_NumBytesStatus", 30, 1);
        writer.addBaseElement("StatusInfoExtData_StatusBitDescription_Size", 30, 1);
        StatusBitInfo(1, 6, "extended only", 1).Serialize_Save(writer, "1.09", 0, "StatusBitInfo_");
    })));
    EXPECT_EQ(Descriptions(StatusInfoExtData::Serialize_Load(legacy, "1.09")->GetOnlyBitsAvailable()),
              std::vector<std::string>{"extended only"});
    EXPECT_EQ(StatusInfoGenData::Serialize_Load(legacy, "1.09")->GetDescriptions().back()->GetDescription(),
              "general 2.7");
}

TEST(UpgradeDataInfoTest, ModeAndIds) {
    UpgradeDataInfo info;
    EXPECT_TRUE(info.SetUpgradeMode("u3"));
    EXPECT_EQ(info.GetUpgradeMode(), 3u);
    EXPECT_TRUE(info.SetUpgradeMode("<U6>"));
    EXPECT_EQ(info.GetUpgradeMode(), 6u);
    for (const char* bad : {"U7", "U", "U0", "X1", "U12", ""}) {
        EXPECT_FALSE(info.SetUpgradeMode(bad)) << bad;
    }
    EXPECT_EQ(info.GetUpgradeMode(), 6u);
    EXPECT_TRUE(info.SetUpgradeDeviceIDs("<1;2;3>"));
    for (const char* bad : {"1;2", "1;2;3;4", "1;;3", "a;2;3", "1;2;99999999999"}) {
        EXPECT_FALSE(info.SetUpgradeDeviceIDs(bad)) << bad;
    }
    EXPECT_EQ(std::vector<uint64_t>({info.GetFamilyId(), info.GetModelId(), info.GetCustomizationId()}),
              std::vector<uint64_t>({1, 2, 3}));
}

TEST(LogosTest, MaximumCountAndSortedIds) {
    LogosType logos;
    EXPECT_EQ(logos.CalcNumMaxLogo(), 0);
    LogosInfo info;
    info.MaxLogoCount = 8;
    logos.AddLogosInfo(info);
    info.MaxLogoCount = 0;
    logos.AddLogosInfo(info);
    EXPECT_EQ(logos.CalcNumMaxLogo(), LogosType::kUnlimited);
    LogosIDList ids;
    for (const uint64_t id : {5u, 1u, 9u, 5u, 3u}) {
        ids.AddID(id);
    }
    EXPECT_EQ(ids.GetIDs(), (std::vector<uint64_t>{1, 3, 5, 5, 9}));
}

TEST(ToolsDataTest, TableQueries) {
    EXPECT_TRUE(ToolsData::ValidTool(1, 32));
    EXPECT_FALSE(ToolsData::ValidTool(1, 3));
    EXPECT_FALSE(ToolsData::ValidTool(2, 1));
    EXPECT_FALSE(ToolsData::ValidTool(1, 128));
    EXPECT_EQ(std::vector<uint64_t>({ToolsData::GetToolTimeout(1, 5), ToolsData::GetToolTimeout(1, 9),
                                     ToolsData::GetToolTimeout(2, 1)}),
              std::vector<uint64_t>({120000, 1000, 1000}));
    EXPECT_EQ(std::vector<uint64_t>({ToolsData::FromIntToToolMask(7), ToolsData::FromIntToToolMask(0),
                                     ToolsData::FromIntToToolMask(40)}),
              std::vector<uint64_t>({0x40, 0, 0}));
    ToolsData tools;
    tools.SetTools1(0x14);
    tools.SetTools2(0x1);
    EXPECT_TRUE(tools.IsRequestedToolSupported(1, 0x10));
    EXPECT_FALSE(tools.IsRequestedToolSupported(1, 0x01));
    EXPECT_TRUE(tools.IsRequestedToolSupported(2, 0x01));
    EXPECT_FALSE(tools.IsRequestedToolSupported(3, 0xFF));
}

TEST(ToolsDataTest, MaskAboveTheSignedRangeSurvivesAnArchive) {
    ToolsData tools;
    tools.SetTools2(0x80000000u);
    const std::string xml = Written([&](TCFXDataWriter& writer) { tools.Serialize_Save(writer, "1.09"); });
    EXPECT_NE(xml.find("<ToolsData_Tools2 T=\"40\">2147483648<"), std::string::npos);
    TCFXDataReader reader;
    ASSERT_TRUE(reader.openDocumentFromMemory(xml));
    EXPECT_EQ(ToolsData::Serialize_Load(reader, "1.09").GetTools2(), 0x80000000u);
}

// Life lines are encrypted with their own salt; other information lines are cut, not refused.
TEST(InfoRecordsTest, LifeLinesAreStoredEncrypted) {
    InfoItemPrnLifeInfo life;
    life.AddTextLine("Cuts: 1234");
    life.AddTextLine("");
    InfoItemPrnDeviceInfo device;
    device.AddTextLine(std::string(700, 's'));
    const std::string xml = Written([&](TCFXDataWriter& writer) {
        life.Serialize_Save(writer, "1.09");
        device.Serialize_Save(writer, "1.09");
    });
    EXPECT_NE(xml.find(TCFXDataManager::string_to_hex(CryptoFunctions::EncryptStringAES(
                  "Cuts: 1234", CryptoFunctions::kPassword, CryptoFunctions::kSaltLifeInfo))),
              std::string::npos);
    TCFXDataReader reader;
    ASSERT_TRUE(reader.openDocumentFromMemory(xml));
    EXPECT_EQ(InfoItemPrnLifeInfo::Serialize_Load(reader, "1.09")->GetTextLines(), life.GetTextLines());
    EXPECT_EQ(InfoItemPrnDeviceInfo::Serialize_Load(reader, "1.09")->GetTextLines(),
              std::vector<std::string>{std::string(511, 's')});
}

TEST(TabStatusTest, ReadOnlyKeysKeepDefaultsWhenAbsent) {
    TCFXDataReader reader;
    ASSERT_TRUE(
        reader.openDocumentFromMemory("<DataFile><TabStatus_PrinterTools>13</TabStatus_PrinterTools>"
                                      "<TabStatus_AdvancedFonts>8</TabStatus_AdvancedFonts></DataFile>"));
    const auto tabs = TabStatus::Serialize_Load(reader, "1.09");
    EXPECT_TRUE(tabs->IsDisabled(TabStatus::PrinterTools));
    EXPECT_FALSE(tabs->IsDisabled(TabStatus::PrinterSetup));
    EXPECT_EQ(tabs->Get(TabStatus::PrinterSetup), 5u);
    EXPECT_EQ(tabs->NumberOfTabDisabled(), 2);
    EXPECT_EQ(TabStatus().NumberOfTabDisabled(), 0);
}
