// Setup item answers ("<C4>"): links, the five kinds, their range checks and repairs, and refusals.
#include "base/Log.h"
#include "tests/comm/AnswerText.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

namespace {

// STX, tag, body, checksum, ETX. `delta` spoils the checksum.
std::string ItemAnswer(const std::string& body, int delta = 0) {
    return Summed("C4", body, delta);
}

// Item 101, no links, description without an additional one.
std::string Head(int kind, const std::string& links = V("0")) {
    return V("101") + links + V(std::to_string(kind)) + T("Speed") + V("0");
}

std::string ListBody(int first, int def, int cur, int count) {
    std::string body =
        V(std::to_string(first)) + V(std::to_string(def)) + V(std::to_string(cur)) + V(std::to_string(count));
    for (int i = 0; i < count; ++i)
        body += T("element" + std::to_string(i));
    return body;
}

} // namespace

TEST(ProtocolFieldsItem, ListItemWithLinks) {
    const std::string links = V("2") + V("H") + V("7") + V("1") + V("D,H") + V("8") + V("3");
    Parsed p = Parse(ItemAnswer(Head(1, links) + ListBody(1, 2, 3, 3)));
    ASSERT_TRUE(p.record);
    auto* list = p.record.Item<SetupItemTypeList>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetId(), 101u);
    EXPECT_EQ(list->GetDescription(), "Speed");
    ASSERT_EQ(list->GetItems().size(), 3u);
    EXPECT_EQ(list->GetItems()[2], (ListItem{"element2", 3}));
    EXPECT_EQ(list->GetCurrentValue(), 3);
    EXPECT_EQ(p.errors, 0u);

    ASSERT_EQ(p.record.Links().size(), 2u);
    ASSERT_EQ(list->GetLinks().size(), 2u);
    EXPECT_EQ(list->GetLinks()[1], p.record.Links()[1].get());
    const SetupItemLink& second = *p.record.Links()[1];
    EXPECT_EQ(std::vector<int64_t>(
                  {int64_t(second.GetIdDst()), int64_t(second.GetIdSrc()), second.GetValueToCheck()}),
              std::vector<int64_t>({101, 8, 3}));
}

TEST(ProtocolFieldsItem, ViewOperationRules) {
    struct Case {
        const char* text;
        int found;
        int fail;
    };
    for (const Case& c :
         {Case{"H", LINK_VIEW_HIDE, LINK_VIEW_SHOW}, Case{"S", 0, 1}, Case{"D", 2, 0},
          Case{"D,H", LINK_VIEW_DISABLE, LINK_VIEW_HIDE}, Case{"S,D", 0, 2}, Case{"H,S", 1, 0}}) {
        const std::string links = V("1") + V(c.text) + V("7") + V("1");
        Parsed p = Parse(ItemAnswer(Head(1, links) + ListBody(1, 1, 1, 1)));
        ASSERT_TRUE(p.record) << c.text;
        EXPECT_EQ(p.record.Links()[0]->GetViewFoundOp(), c.found) << c.text;
        EXPECT_EQ(p.record.Links()[0]->GetViewFailOp(), c.fail) << c.text;
    }
    for (const char* bad : {"H,D,S", "H,", ",H"}) {
        const std::string links = V("1") + V(bad) + V("7") + V("1");
        EXPECT_FALSE(Parse(ItemAnswer(Head(1, links) + ListBody(1, 1, 1, 1))).record) << bad;
    }
}

TEST(ProtocolFieldsItem, ListRangeRepairs) {
    struct Case {
        int def, cur, count;  // elements 1..count
        int wantDef, wantCur; // after the repair
        uint64_t errors;
    };
    for (const Case& c : {
             Case{2, 7, 3, 2, 2, 1}, // current out, default in: current := default
             Case{9, 7, 3, 9, 7, 2}, // both out: no repair
             Case{9, 3, 3, 3, 3, 1}, // default out, current in: default := current
             Case{4, 1, 3, 1, 1, 1}, // just past the last element is out
             Case{1, 1, 0, 1, 1, 2}, // no elements: both out
         }) {
        Parsed p = Parse(ItemAnswer(Head(1) + ListBody(1, c.def, c.cur, c.count)));
        ASSERT_TRUE(p.record) << c.def << "/" << c.cur;
        auto* list = p.record.Item<SetupItemTypeList>();
        EXPECT_EQ(list->GetDefaultValue(), c.wantDef) << c.def << "/" << c.cur;
        EXPECT_EQ(list->GetCurrentValue(), c.wantCur) << c.def << "/" << c.cur;
        EXPECT_EQ(list->GetCurrentUIValue(), c.cur) << "the UI value keeps what was received";
        EXPECT_EQ(p.errors, c.errors) << c.def << "/" << c.cur;
    }
}

TEST(ProtocolFieldsItem, RefusesWrongChecksumUnknownKindAndShortAnswers) {
    const std::string body = Head(1, V("1") + V("H") + V("7") + V("1")) + ListBody(1, 2, 2, 3);
    EXPECT_TRUE(Parse(ItemAnswer(body)).record);
    EXPECT_FALSE(Parse(ItemAnswer(body, 1)).record);
    EXPECT_FALSE(Parse(ItemAnswer(Head(6) + ListBody(1, 1, 1, 1))).record); // no such kind
    EXPECT_FALSE(Parse(ItemAnswer(Head(0) + ListBody(1, 1, 1, 1))).record);
    // Every answer cut short after some field: the checksum field goes missing or moves.
    const std::string full = ItemAnswer(body);
    for (size_t cut = 2; cut < full.size() - 1; ++cut) {
        Parsed p = Parse(full.substr(0, cut));
        EXPECT_FALSE(p.record) << cut;
        EXPECT_EQ(p.type, OBJTYPE_NONE);
    }
}

TEST(ProtocolFieldsItem, AdditionalDescriptionAndLongTexts) {
    const std::string longText(600, 'a');
    const std::string body =
        V("5") + V("0") + V("1") + T(longText) + V("1") + T("more") + ListBody(0, 0, 0, 1);
    Parsed p = Parse(ItemAnswer(body));
    ASSERT_TRUE(p.record);
    EXPECT_EQ(p.record.Get<SetupItemType>()->GetDescription(), std::string(511, 'a'));
    EXPECT_EQ(p.record.Get<SetupItemType>()->GetAddDescription(), "more");
}

TEST(ProtocolFieldsItem, NumericValuesAndChecks) {
    Parsed p = Parse(ItemAnswer(Head(2) + V("0.5") + V("10") + V("0.5") + V("2") + V("3.5")));
    ASSERT_TRUE(p.record);
    auto* n = p.record.Item<SetupItemTypeNumeric>();
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(std::vector<float>({n->GetMinValue(), n->GetMaxValue(), n->GetStepValue(), n->GetDefValue(),
                                  n->GetCurValue(), n->GetCurUIValue()}),
              std::vector<float>({0.5f, 10, 0.5f, 2, 3.5f, 3.5f}));
    EXPECT_EQ(p.errors, 0u);

    // min >= max, step 0, default above max, current above max: four errors, item kept.
    p = Parse(ItemAnswer(Head(2) + V("5") + V("5") + V("0") + V("6") + V("7")));
    ASSERT_TRUE(p.record);
    EXPECT_EQ(p.errors, 4u);
    EXPECT_FLOAT_EQ(p.record.Item<SetupItemTypeNumeric>()->GetCurValue(), 7.0f);

    p = Parse(ItemAnswer(Head(2) + V("5") + V("9") + V("1") + V("4") + V("1")));
    EXPECT_EQ(p.errors, 2u);

    // An empty value is refused.
    EXPECT_FALSE(Parse(ItemAnswer(Head(2) + V("0") + V("10") + "<>" + V("2") + V("3"))).record);
    EXPECT_FALSE(Parse(ItemAnswer(Head(2) + V("0") + V("10") + T("1") + V("2") + V("3"))).record);
}

TEST(ProtocolFieldsItem, DateTimeReadByPosition) {
    for (const char* text : {"2024/03/05 14:07:09", "2024-03-05T14:07:09"}) {
        Parsed p = Parse(ItemAnswer(Head(3) + V(text)));
        ASSERT_TRUE(p.record) << text;
        auto* item = p.record.Item<SetupItemTypeDateTime>();
        const time_t when = static_cast<time_t>(item->GetCurDateTime());
        std::tm tm{};
        localtime_r(&when, &tm);
        EXPECT_EQ(std::vector<int>({tm.tm_year, tm.tm_mon, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec}),
                  std::vector<int>({124, 2, 5, 14, 7, 9}));
        EXPECT_EQ(item->GetCurUIDateTime(), item->GetCurDateTime());
    }
    EXPECT_FALSE(Parse(ItemAnswer(Head(3) + V("2024/03/05 14:07"))).record);
    EXPECT_FALSE(Parse(ItemAnswer(Head(3) + V("20240305"))).record); // cut as a number
    EXPECT_FALSE(Parse(ItemAnswer(Head(3) + T("2024/03/05 14:07:09"))).record);
}

TEST(ProtocolFieldsItem, StringItem) {
    Parsed p = Parse(ItemAnswer(Head(4) + V("1") + V("15") + V("$0x201") + T("192.168.0.1") + T("10.0.0.2")));
    ASSERT_TRUE(p.record);
    auto* s = p.record.Item<SetupItemTypeString>();
    EXPECT_EQ(std::vector<uint64_t>({uint64_t(s->GetMinLen()), uint64_t(s->GetMaxLen()), s->GetDataMask()}),
              std::vector<uint64_t>({1, 15, 0x201}));
    EXPECT_EQ(s->GetDefValue() + "/" + s->GetCurValue() + "/" + s->GetCurUIValue(),
              "192.168.0.1/10.0.0.2/10.0.0.2");

    EXPECT_FALSE(Parse(ItemAnswer(Head(4) + V("1") + V("15") + V("0") + T("a") + T("b"))).record);
    EXPECT_FALSE(Parse(ItemAnswer(Head(4) + V("1") + V("15") + V("1") + T("a") + V("b"))).record);
}

// What the log holds after one answer has been cut and parsed.
std::string LogOfParse(const std::string& answer, Parsed& parsed) {
    TempDir dir;
    Log::SetLogEnable(2, true, dir.path().c_str());
    parsed = Parse(answer);
    Log::SetLogEnable(0, false, nullptr);
    return ReadWholeFile(dir.file("status.log"));
}

// Every layout of a password item that the parser takes: the value fields move with the links, the
// additional description and the field types of the limits and the mask.
TEST(ProtocolFieldsItem, PasswordValuesNeverReachTheLog) {
    struct Shape {
        const char* name;
        std::string links;
        std::string description;
        std::string limitsAndMask;
    };
    const std::string plain = T("Password") + V("0");
    const std::string twice = T("Password") + V("1") + T("Of the printer's web page");
    const std::vector<Shape> shapes = {
        {"bare", V("0"), plain, V("0") + V("16") + V("1")},
        {"one link", V("1") + V("H") + V("7") + V("1"), plain, V("0") + V("16") + V("1")},
        {"two links, a two-part and an empty operation",
         V("2") + V("D,H") + V("7") + V("1") + T("") + V("8") + V("2"), plain, V("0") + V("16") + V("1")},
        {"link operation as bare text", V("1") + T("H") + V("7") + V("1"), plain, V("0") + V("16") + V("1")},
        {"additional description", V("0"), twice, V("0") + V("16") + V("1")},
        {"links and additional description", V("1") + V("H") + V("7") + V("1"), twice,
         V("0") + V("16") + V("1")},
        {"hexadecimal mask with other bits", V("0"), plain, V("0") + V("16") + V("$0x0201")},
        {"mask and limits as texts", V("0"), twice, V("0 ") + V("16 ") + V("65x")},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        const std::string answer =
            ItemAnswer(V("300") + shape.links + V("4") + shape.description + shape.limitsAndMask +
                       T("default-secret") + T("current-secret"));
        Parsed parsed;
        const std::string log = LogOfParse(answer, parsed);
        ASSERT_TRUE(parsed.record) << log;
        auto* item = parsed.record.Item<SetupItemTypeString>();
        ASSERT_NE(item, nullptr);
        ASSERT_NE(item->GetDataMask() & SetupItemTypeString::kMaskConfidential, 0u);
        EXPECT_EQ(item->GetCurValue(), "current-secret") << "the record keeps the values";
        EXPECT_EQ(log.find("secret"), std::string::npos) << log;
        EXPECT_NE(log.find("Found Field: Value TEXT: ********"), std::string::npos) << log;
        EXPECT_NE(log.find(" -> ********"), std::string::npos) << log;
        const size_t parseBegin = log.find("[ExtractIDInfo_TypeString_Prot100]Begin");
        EXPECT_EQ(parseBegin, log.rfind("[ExtractIDInfo_TypeString_Prot100]Begin"))
            << "the parse is logged once";
        EXPECT_LT(log.find("Fields Found: End"), parseBegin) << "after the fields, as always";
    }

    // Without the confidential bit the values are logged like any text.
    Parsed parsed;
    const std::string log =
        LogOfParse(ItemAnswer(Head(4) + V("0") + V("16") + V("2") + T("shown") + T("too")), parsed);
    ASSERT_TRUE(parsed.record);
    EXPECT_NE(log.find("Found Field: Value TEXT: shown"), std::string::npos) << log;
    EXPECT_EQ(log.find("********"), std::string::npos) << log;
}

TEST(ProtocolFieldsItem, CheckboxSizeRule) {
    std::string elements;
    for (int bit = 0; bit < 9; ++bit)
        elements += T("bit" + std::to_string(bit)) + V(std::to_string(bit == 8 ? 12 : bit));
    EXPECT_FALSE(Parse(ItemAnswer(Head(5) + V("9") + V("0,0") + V("255") + elements)).record);

    Parsed p = Parse(ItemAnswer(Head(5) + V("9") + V("3,0") + V("255,1") + elements));
    ASSERT_TRUE(p.record);
    auto* c = p.record.Item<SetupItemTypeCheckbox>();
    EXPECT_EQ(std::vector<int>({c->GetNumBits(), c->GetDefValue()[0], c->GetCurValue()[0],
                                c->GetCurValue()[1], c->GetCurUIValue()[1]}),
              std::vector<int>({9, 3, 255, 1, 1}));
    ASSERT_EQ(c->GetElements().size(), 9u);
    EXPECT_EQ(c->GetElements()[8].Text, "bit8");
    EXPECT_EQ(c->GetElements()[8].ByteIndex, 1);
    EXPECT_EQ(c->GetElements()[8].BitMask, 0x10);
}

TEST(ProtocolFieldsItem, CheckboxLimitsRefused) {
    // A value list longer than the 512-byte arrays.
    std::string bytes;
    for (int i = 0; i < 513; ++i)
        bytes += i ? ",1" : "1";
    EXPECT_FALSE(Parse(ItemAnswer(Head(5) + V("1") + V(bytes) + V("1") + T("a") + V("0"))).record);
    // More elements than an item holds.
    EXPECT_FALSE(Parse(ItemAnswer(Head(5) + V("513") + V("1") + V("1") + T("a") + V("0"))).record);
    // A bit outside the arrays, a label that is not text, a missing element.
    EXPECT_FALSE(Parse(ItemAnswer(Head(5) + V("1") + V("1") + V("1") + T("a") + V("4096"))).record);
    EXPECT_FALSE(Parse(ItemAnswer(Head(5) + V("1") + V("1") + V("1") + V("a") + V("0"))).record);
    EXPECT_FALSE(Parse(ItemAnswer(Head(5) + V("2") + V("1") + V("1") + T("a") + V("0"))).record);
    EXPECT_TRUE(Parse(ItemAnswer(Head(5) + V("1") + V("1") + V("1") + T("a") + V("0"))).record);
}
