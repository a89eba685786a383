// Answers other than setup items: version, text pages, id list, masks, line table, upgrade information
// and status, the answers no operation asks for; refusals of malformed and error answers.
#include "tests/comm/AnswerText.h"

#include <gtest/gtest.h>

#include <string>

TEST(ProtocolFieldsAnswers, Version) {
    Parsed p = Parse(Answer("C1", V("1.00")));
    ASSERT_TRUE(p.record);
    EXPECT_EQ(p.record.Get<ProtocolVersion>()->Version, 100u);
    EXPECT_EQ(Parse(Answer("C1", V("2.31"))).record.Get<ProtocolVersion>()->Version, 231u);
    EXPECT_FALSE(Parse(Answer("C1", V("1.0"))).record);
    EXPECT_FALSE(Parse(Answer("C1", V("x.00"))).record);
    EXPECT_FALSE(Parse(Answer("C1", "")).record);
    // A version other than 100 refuses without looking at the answer.
    const ProtocolVersion v101{101}, v100{100};
    p = Parse(Answer("C1", V("1.00")), &v101);
    EXPECT_FALSE(p.record);
    EXPECT_EQ(p.type, OBJTYPE_NONE);
    EXPECT_TRUE(Parse(Answer("C1", V("1.00")), &v100).record);
}

TEST(ProtocolFieldsAnswers, MalformedAndErrorAnswersRefused) {
    EXPECT_FALSE(Parse(V("C1") + V("1.00")).record);         // no STX
    EXPECT_FALSE(Parse(Answer("C7", V("1"))).record);        // unknown tag
    EXPECT_FALSE(Parse("\x02" + V("1") + V("1.00")).record); // no tag
    Parsed p = Parse("\x02" + V("C3") + "\x15" + V("ERR5") + "\x03");
    EXPECT_FALSE(p.record);
    EXPECT_EQ(p.type, OBJTYPE_NONE);
}

// The session logs show the life, device and head pages read; these are the counts.
TEST(ProtocolFieldsAnswers, TextPages) {
    Parsed p = Parse(Answer("C2", V("2") + T("first") + T("second")));
    ASSERT_TRUE(p.record);
    EXPECT_EQ(p.record.Get<SetupItemHeader>()->GetTextLines(), (std::vector<std::string>{"first", "second"}));
    Parsed empty = Parse(Answer("C64", V("0")));
    ASSERT_TRUE(empty.record);
    EXPECT_TRUE(empty.record.Get<ModuleItemPrnModuleList>()->GetTextLines().empty());
    EXPECT_FALSE(Parse(Answer("C2", V("3") + T("first") + T("second"))).record);
    EXPECT_FALSE(Parse(Answer("C2", V("1") + V("first"))).record);
}

TEST(ProtocolFieldsAnswers, IdListWithChecksum) {
    const std::string ids = V("3") + V("30") + V("10") + V("30");
    Parsed p = Parse(Summed("C3", ids));
    ASSERT_TRUE(p.record);
    EXPECT_EQ(p.record.Get<SetupItemIDList>()->GetIDs(), (std::vector<uint64_t>{30, 10, 30}));
    EXPECT_FALSE(Parse(Summed("C3", ids, 1)).record);
    EXPECT_FALSE(Parse(Answer("C3", ids)).record);
    EXPECT_FALSE(Parse(Summed("C3", V("4") + V("30") + V("10") + V("30"))).record);
}

TEST(ProtocolFieldsAnswers, MasksAndTools) {
    Parsed p = Parse(Answer("C40", V("$0x1B5")));
    ASSERT_TRUE(p.record);
    EXPECT_EQ(p.record.Get<ProtocolDataAvailable>()->GetDataAvailable(), 0x1B5u);
    EXPECT_EQ(p.record.Get<ProtocolDataAvailable>()->GetDataToSave(), 0u);
    Parsed t = Parse(Answer("C80", V("$0x80000001") + V("6")));
    ASSERT_TRUE(t.record);
    EXPECT_EQ(std::make_pair(t.record.Get<ToolsData>()->GetTools1(), t.record.Get<ToolsData>()->GetTools2()),
              std::make_pair(0x80000001u, 6u));
    EXPECT_FALSE(Parse(Answer("C80", V("1"))).record);
}

// No operation asks for logos or the font module, but a confused printer may still send such an
// answer: each is taken whole or refused, never read past its fields or its binary block.
TEST(ProtocolFieldsAnswers, AnswersNoOperationAsksFor) {
    const std::string first =
        V("1") + V("4") + V("BMP") + V("Y") + V("M1") + V("5") + V("200X100F") + V("6") + V("7");
    const std::string second =
        V("2") + V("8") + V("PCX") + V("N") + V("M2") + V("0") + V("12") + V("0") + V("0");
    Parsed p = Parse(Answer("C48", V("2") + first + second + V("Y")));
    ASSERT_TRUE(p.record);
    EXPECT_EQ(p.record.Get<LogosType>()->GetLogosInfos()[0].Height, 100);
    EXPECT_FALSE(Parse(Answer("C48", V("2") + first + second)).record);
    EXPECT_FALSE(Parse(Answer("C48", V("2") + first + V("Y"))).record);

    EXPECT_TRUE(Parse(Summed("C49", V("2") + V("9") + V("4"))).record);
    EXPECT_FALSE(Parse(Summed("C49", V("2") + V("9") + V("4"), -1)).record);
    EXPECT_FALSE(Parse(Summed("C49", V("3") + V("9") + V("4"))).record);

    const std::string image("\x02<>\x00\x03\x15zz", 8);
    const auto logo = [&](const std::string& size, const std::string& count, int delta = 0) {
        return Parse(Summed("C50", V("3") + V("BMP") + T("l") + V(size) + V(count) + B(image), delta)).record;
    };
    ASSERT_TRUE(logo("64x32", "8"));
    EXPECT_EQ(logo("64x32", "8").Get<LogoItem>()->Image, std::vector<uint8_t>(image.begin(), image.end()));
    EXPECT_FALSE(logo("64x32", "9"));
    EXPECT_FALSE(logo("64x32x2", "8"));
    EXPECT_FALSE(logo("64x32", "8", 1));

    const std::string bytes("\x00\x01</>\x02", 6);
    EXPECT_TRUE(Parse(Summed("C96", V("6") + B(bytes))).record);
    EXPECT_FALSE(Parse(Summed("C96", V("5") + B(bytes))).record);
    EXPECT_FALSE(Parse(Summed("C96", V("6") + B(bytes), 1)).record);
}

TEST(ProtocolFieldsAnswers, LineTable) {
    const std::string longLine(200, 'x');
    Parsed p = Parse(Answer("C81", V("0") + V("2") + T("first") + T(longLine)));
    ASSERT_TRUE(p.record);
    const std::vector<char>& buffer = p.record.Get<LineTable>()->Buffer;
    ASSERT_EQ(buffer.size(), 2u + 2 * 128);
    EXPECT_EQ(std::string(buffer.data(), 2), "02");
    EXPECT_STREQ(buffer.data() + 2, "first");
    EXPECT_EQ(std::string(buffer.data() + 130), std::string(127, 'x'));
    EXPECT_FALSE(Parse(Answer("C81", V("0") + V("3") + T("first") + T("x"))).record);
    EXPECT_FALSE(Parse(Answer("C81", V("0") + V("100"))).record);
}

TEST(ProtocolFieldsAnswers, UpgradeInformation) {
    Parsed p = Parse(Answer("C112", V("U2") + V("5") + V("1;2;3")));
    ASSERT_TRUE(p.record);
    const UpgradeDataInfo& info = *p.record.Get<UpgradeDataInfo>();
    EXPECT_EQ(info.GetUpgradeMode(), 2u);
    EXPECT_EQ(info.GetConfigurationSettings(), "5;");
    EXPECT_EQ(info.GetModelId(), 2u);
    const auto settings = [](const std::string& field) {
        return Parse(Answer("C112", V("U1") + field + V("1;2;3")))
            .record.Get<UpgradeDataInfo>()
            ->GetConfigurationSettings();
    };
    EXPECT_EQ(settings("<>"), "");
    EXPECT_EQ(settings(V("a=1")), "a=1");
    EXPECT_FALSE(Parse(Answer("C112", V("U7") + V("5") + V("1;2;3"))).record);
    EXPECT_FALSE(Parse(Answer("C112", V("U1") + T("5") + V("1;2;3"))).record);
    EXPECT_FALSE(Parse(Answer("C112", V("U1") + V("5") + V("1;2"))).record);
}

TEST(ProtocolFieldsAnswers, GeneralStatusDescriptions) {
    const std::string bit = V("1|0") + V("7") + T("Paper end") + V("1") + T("Load paper") + V("2");
    const std::string other = V("2|3") + V("ID8") + T("x") + V("0") + V("1");
    Parsed p = Parse(Answer("C128", V("5") + B(std::string("\x01\x02\x00\x80", 4)) + V("1") + bit));
    ASSERT_TRUE(p.record);
    const StatusInfoGenData& gen = *p.record.Get<StatusInfoGenData>();
    EXPECT_EQ(gen.GetStatusBitMaskSupported(), 0x80000201u);
    EXPECT_EQ(gen.GetStatusWayPorts().GetPorts(), 5u);
    const StatusBitInfo* found = nullptr;
    for (const auto& d : gen.GetDescriptions())
        if (d->GetByteRef() == 1 && d->GetBitRef() == 0)
            found = d.get();
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->GetDescription() + "/" + found->GetAddDescription(), "Paper end/Load paper");
    EXPECT_EQ(std::make_pair(found->GetId(), found->GetSignalFamily()), std::make_pair(7, 2u));

    EXPECT_FALSE(Parse(Answer("C128", V("5") + B("\x01\x02\x03") + V("0"))).record);
    EXPECT_FALSE(Parse(Answer("C128", V("5") + B("abcd") + V("2") + bit)).record);
    EXPECT_FALSE(Parse(Answer("C128", V("5") + B("abcd") + V("1") + other)).record); // id not decimal
    EXPECT_FALSE(
        Parse(Answer("C128", V("5") + B("abcd") + V("1") + V("1-0") + V("7") + T("x") + V("0") + V("1")))
            .record);

    // The extended status reads its descriptions the same way, after its byte count.
    Parsed ext = Parse(Answer("C129", V("1") + V("4") + V("0")));
    ASSERT_TRUE(ext.record);
    EXPECT_EQ(ext.record.Get<StatusInfoExtData>()->GetNumBytesStatus(), 4);
    EXPECT_TRUE(ext.record.Get<StatusInfoExtData>()->GetDescriptions().empty());
}

TEST(ProtocolFieldsAnswers, LiveStatusBytes) {
    Parsed p = Parse(Answer("C138", B(std::string("\x00\x03>\x02", 4))));
    ASSERT_TRUE(p.record);
    EXPECT_EQ(p.record.Get<StatusData>()->Bytes, (std::vector<uint8_t>{0, 3, '>', 2}));
    EXPECT_FALSE(Parse(Answer("C138", B("abc"))).record);
    EXPECT_FALSE(Parse(Answer("C138", V("1"))).record);

    Parsed ext = Parse(Answer("C139", B("abcdef")));
    ASSERT_TRUE(ext.record);
    EXPECT_EQ(ext.record.Get<StatusData>()->Length(), 6u);
    EXPECT_TRUE(Parse(Answer("C139", B(std::string(512, 'a')))).record);
    EXPECT_FALSE(Parse(Answer("C139", B(std::string(513, 'a')))).record);
}
