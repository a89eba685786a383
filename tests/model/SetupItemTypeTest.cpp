// The five setup item kinds: shown values, change tests, the IPv4 check and their archive keys.
#include "model/SetupItemType.h"
#include "model/CryptoFunctions.h"
#include "model/TCFXDataManager.h"
#include "model/TCFXDataReader.h"
#include "model/TCFXDataWriter.h"
#include "tests/model/SampleArchives.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <string>

namespace {

std::unique_ptr<SetupItemType> RoundTrip(const SetupItemType& item, int index, std::string* xml = nullptr) {
    const std::string doc =
        Written([&](TCFXDataWriter& writer) { item.Serialize_Save(writer, "1.09", index); });
    if (xml != nullptr) {
        *xml = doc;
    }
    TCFXDataReader reader;
    EXPECT_TRUE(reader.openDocumentFromMemory(doc));
    return SetupItemType::Serialize_Load(reader, "1.09", index, item.GetType());
}

template <typename Kind> const Kind& As(const std::unique_ptr<SetupItemType>& item) {
    const auto* kind = dynamic_cast<const Kind*>(item.get());
    EXPECT_NE(kind, nullptr);
    static const Kind empty;
    return kind != nullptr ? *kind : empty;
}

SetupItemTypeNumeric Numeric(float step, float value) {
    SetupItemTypeNumeric item;
    item.SetStepValue(step);
    item.SetCurUIValue(value);
    return item;
}

SetupItemTypeString IpItem(const char* value) {
    SetupItemTypeString item;
    item.SetDataMask(SetupItemTypeString::kMaskIPv4);
    item.SetCurUIValue(value);
    return item;
}

} // namespace

TEST(SetupItemNumericTest, ShownWithTheDecimalsOfTheStep) {
    const struct {
        float step;
        float value;
        const char* shown;
    } cases[] = {{1.0f, 2.0f, "2"},
                 {0.5f, 2.0f, "2.0"},
                 {0.25f, -1.5f, "-1.50"},
                 {0.001f, 0.5f, "0.500"},
                 {0.01f, 1.236f, "1.24"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Numeric(c.step, c.value).UIValue(), c.shown) << c.step;
    }
}

TEST(SetupItemNumericTest, SameValueWithinATenthOfTheStep) {
    EXPECT_TRUE(Numeric(1.0f, 2.0f).SameValue(Numeric(1.0f, 2.09f)));
    EXPECT_FALSE(Numeric(1.0f, 2.0f).SameValue(Numeric(1.0f, 2.11f)));
    EXPECT_FALSE(Numeric(1.0f, 2.0f).SameValue(SetupItemTypeList()));
}

TEST(SetupItemStringTest, IPv4Check) {
    std::string message;
    for (const char* bad : {"192.168.1.256", "010.0.0.1", "1.2.3", "1.2.3.4.5", "1.2.3.4 ", "a.b.c.d", ""}) {
        EXPECT_FALSE(IpItem(bad).CheckFieldValueIsCorrect(message)) << bad;
    }
    for (const char* good : {"10.0.0.1", "255.255.255.255", "0.0.0.0", "199.249.100.9"}) {
        EXPECT_TRUE(IpItem(good).CheckFieldValueIsCorrect(message)) << good;
    }
    SetupItemTypeString plain;
    plain.SetCurUIValue("not an address");
    EXPECT_TRUE(plain.CheckFieldValueIsCorrect(message));
}

TEST(SetupItemStringTest, ValueIsCutAt511Characters) {
    SetupItemTypeString item;
    item.SetCurUIValue(std::string(600, 'x'));
    EXPECT_EQ(item.UIValue(), std::string(511, 'x'));
}

TEST(SetupItemCheckboxTest, ValueTextAndComparisonUseTheMeaningfulBytes) {
    SetupItemTypeCheckbox a;
    a.SetNumBits(12);
    a.CurUIValue()[0] = 5;
    a.CurUIValue()[1] = 1;
    a.CurUIValue()[2] = 9; // beyond the 12 bits
    EXPECT_EQ(a.UIValue(), "5,1,");
    SetupItemTypeCheckbox b = a;
    b.CurUIValue()[2] = 0;
    EXPECT_TRUE(a.SameValue(b));
    b.CurUIValue()[1] = 3;
    EXPECT_FALSE(a.SameValue(b));
    a.SetNumBits(100000);
    EXPECT_EQ(a.MeaningfulBytes(), 512u);
    a.SetNumBits(-5);
    EXPECT_EQ(a.UIValue(), "");
}

TEST(SetupItemCheckboxTest, ElementsDescribeOneBitInsideTheArrays) {
    SetupItemTypeCheckbox item;
    ASSERT_TRUE(item.AddElement(11, "bit eleven"));
    EXPECT_EQ(item.GetElements()[0].ByteIndex, 1);
    EXPECT_EQ(item.GetElements()[0].BitMask, 8);
    EXPECT_FALSE(item.AddElement(-1, "x"));
    EXPECT_FALSE(item.AddElement(4096, "x"));
    for (int i = 1; i < 512; ++i) {
        ASSERT_TRUE(item.AddElement(i, "e"));
    }
    EXPECT_FALSE(item.AddElement(0, "one too many"));
}

TEST(SetupItemTest, DateTimeShownInLocalTime) {
    setenv("TZ", "UTC", 1);
    tzset();
    SetupItemTypeDateTime item;
    item.SetCurUIDateTime(1733500123);
    EXPECT_EQ(item.UIValue(), "2024/12/06 15:48:43");
}

TEST(SetupItemArchiveTest, DateTimeKeepsExactSecondsAndTheListKindsKey) {
    SetupItemTypeDateTime item;
    item.SetId(4000000000u);
    item.SetAddDescription("local time");
    item.SetCurDateTime(1733500123);
    item.SetCurUIDateTime(1733500001);
    std::string xml;
    const auto loaded = RoundTrip(item, 2, &xml);
    EXPECT_NE(xml.find("<SetupItemTypeList_AddDescription_2 T=\"3\">"), std::string::npos);
    EXPECT_EQ(xml.find("SetupItemTypeDateTime_AddDescription"), std::string::npos);
    const auto& d = As<SetupItemTypeDateTime>(loaded);
    EXPECT_EQ(d.GetAddDescription(), "local time");
    EXPECT_EQ(std::vector<int64_t>(
                  {int64_t(d.GetId()), int64_t(d.GetCurDateTime()), int64_t(d.GetCurUIDateTime())}),
              std::vector<int64_t>({4000000000, 1733500123, 1733500001}));

    // Archives holding the times as single-precision floats (rounded to 128 s) still load.
    TCFXDataReader old;
    ASSERT_TRUE(old.openDocumentFromMemory(
        "<DataFile><SetupItemTypeDateTime_CurDateTime_0>1733500160"
        "</SetupItemTypeDateTime_CurDateTime_0>"
        "<SetupItemTypeList_AddDescription_0>41</SetupItemTypeList_AddDescription_0>"
        "</DataFile>"));
    const auto fromOld = SetupItemType::Serialize_Load(old, "1.09", 0, PROT_TYPE_DATETIME);
    EXPECT_EQ(As<SetupItemTypeDateTime>(fromOld).GetCurDateTime(), 1733500160);
    EXPECT_EQ(As<SetupItemTypeDateTime>(fromOld).GetAddDescription(), "A");
}

TEST(SetupItemArchiveTest, ConfidentialStringIsStoredOnlyEncrypted) {
    SetupItemTypeString item;
    item.SetDataMask(SetupItemTypeString::kMaskConfidential | 0x40);
    item.SetDefValue("default");
    item.SetCurValue("Printer-Pass1");
    item.SetCurUIValue("Edited-Pass2");
    std::string xml;
    const auto loaded = RoundTrip(item, 1, &xml);
    EXPECT_EQ(xml.find(TCFXDataManager::string_to_hex("Pass")), std::string::npos);
    EXPECT_NE(xml.find(TCFXDataManager::string_to_hex("default")), std::string::npos);
    const std::string expected = TCFXDataManager::string_to_hex(CryptoFunctions::EncryptStringAES(
        "Printer-Pass1", CryptoFunctions::kPassword, CryptoFunctions::kSaltStringItem));
    EXPECT_NE(xml.find(">" + expected + "<"), std::string::npos);
    const auto& s = As<SetupItemTypeString>(loaded);
    EXPECT_EQ(s.GetCurValue() + "/" + s.GetCurUIValue() + "/" + s.GetDefValue(),
              "Printer-Pass1/Edited-Pass2/default");
}

TEST(SetupItemArchiveTest, ConfidentialValueThatIsNotEncryptedLoadsEmpty) {
    TCFXDataReader reader;
    ASSERT_TRUE(reader.openDocumentFromMemory(
        "<DataFile><SetupItemTypeString_DataMask_0>1</SetupItemTypeString_DataMask_0>"
        "<SetupItemTypeString_CurValue_0>" +
        TCFXDataManager::string_to_hex("clear text!") + "</SetupItemTypeString_CurValue_0></DataFile>"));
    const auto loaded = SetupItemType::Serialize_Load(reader, "1.09", 0, PROT_TYPE_STRING);
    EXPECT_EQ(As<SetupItemTypeString>(loaded).GetCurValue(), "");
}

// Elements and current user-interface bytes also travel in the full sample; here the other arrays.
TEST(SetupItemArchiveTest, CheckboxesStoreOnlyTheMeaningfulBytes) {
    SetupItemTypeCheckbox item;
    item.SetAddDescription("flags");
    item.SetNumBits(12);
    item.DefValue()[0] = 1;
    item.CurValue()[1] = 0x0F;
    item.CurUIValue()[0] = 255;
    item.CurUIValue()[5] = 77; // beyond the meaningful bytes: not stored
    std::string xml;
    const auto loaded = RoundTrip(item, 4, &xml);
    EXPECT_NE(xml.find("<SetupItemTypeCheckboxes_AddDescription_4 T=\"11\">"), std::string::npos);
    EXPECT_NE(xml.find("<SetupItemTypeCheckboxes_CurUIValue_Size_4 T=\"30\">2<"), std::string::npos);
    const auto& c = As<SetupItemTypeCheckbox>(loaded);
    EXPECT_EQ(c.GetAddDescription(), "flags");
    EXPECT_EQ(std::vector<int>({c.GetNumBits(), c.GetDefValue()[0], c.GetCurValue()[1], c.GetCurUIValue()[0],
                                c.GetCurUIValue()[5]}),
              std::vector<int>({12, 1, 0x0F, 255, 0}));
}

TEST(SetupItemArchiveTest, DamagedItemsStayInsideTheirLimits) {
    const std::string hugeText = TCFXDataManager::string_to_hex(std::string(5000, 'd'));
    TCFXDataReader reader;
    ASSERT_TRUE(reader.openDocumentFromMemory(
        "<DataFile>"
        "<SetupItemTypeCheckboxes_Description_0>" +
        hugeText +
        "</SetupItemTypeCheckboxes_Description_0>"
        "<SetupItemTypeCheckboxes_CurUIValue_Size_0>100000</SetupItemTypeCheckboxes_CurUIValue_Size_0>"
        "<SetupItemTypeCheckboxes_CurUIValue_0_511>300</SetupItemTypeCheckboxes_CurUIValue_0_511>"
        "<SetupItemTypeCheckboxes_NumBits_0>99999</SetupItemTypeCheckboxes_NumBits_0>"
        "<SetupItemTypeCheckboxes_Elements_Size_0>2147483647</SetupItemTypeCheckboxes_Elements_Size_0>"
        "<SetupItemTypeCheckboxes_Elements_Position_0_0>5000</SetupItemTypeCheckboxes_Elements_Position_0_0>"
        "<SetupItemTypeCheckboxes_Elements_Position_0_1>-3</SetupItemTypeCheckboxes_Elements_Position_0_1>"
        "<SetupItemTypeCheckboxes_Elements_Position_0_2>7</SetupItemTypeCheckboxes_Elements_Position_0_2>"
        "<SetupItemTypeCheckboxes_Elements_ByteIndex_0_2>9999</"
        "SetupItemTypeCheckboxes_Elements_ByteIndex_0_2>"
        "</DataFile>"));
    const auto loaded = SetupItemType::Serialize_Load(reader, "1.09", 0, PROT_TYPE_CHECKBOXES);
    const auto& c = As<SetupItemTypeCheckbox>(loaded);
    EXPECT_EQ(c.GetDescription().size(), 511u);
    EXPECT_EQ(c.GetNumBits(), 4096);
    EXPECT_EQ(c.GetCurUIValue()[511], 300 % 256);
    ASSERT_EQ(c.GetElements().size(), 1u);
    EXPECT_EQ(std::make_pair(c.GetElements()[0].Position, c.GetElements()[0].ByteIndex),
              std::make_pair(7, 0));
    EXPECT_EQ(SetupItemType::Serialize_Load(reader, "1.09", 0, 6), nullptr);
}
