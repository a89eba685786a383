// Field texts, contents and numbers as the cutter makes them: cleaning of unprintable bytes, NULs and
// stray brackets inside a field, the range of decimal numbers, and checksums of long fields.
#include "comm/ProtocolFields.h"

#include <gtest/gtest.h>

#include <string>

namespace {

ProtocolFields Cut(const std::string& answer) {
    ProtocolFields fields;
    fields.CreateFields(reinterpret_cast<const uint8_t*>(answer.data()), static_cast<int>(answer.size()));
    return fields;
}

uint64_t Sum(const std::string& bytes) {
    uint64_t sum = 0;
    for (unsigned char c : bytes)
        sum += c;
    return sum;
}

std::string ContentViewOf(const ProtocolFieldInfo& field) {
    std::string scratch;
    return std::string(field.ContentView(scratch));
}

} // namespace

TEST(ProtocolFieldsText, UnprintableBytesBecomeSpaces) {
    // 0x7F and 0x1F each alone among printable bytes, then bytes with the high bit set.
    const std::string text = std::string("abcdefg\x7f\x1f"
                                         "bcdefghij\x01\x80\xff~ p printable words here!") +
                             '\0';
    const std::string bracketed = "<a\x05"
                                  "b\xc3\xa9 long printable tail>";
    ProtocolFields f = Cut("\x02<C2>" + text + bracketed + "\x03");
    ASSERT_TRUE(f.IsType(2, FTYPE_STRING_VALUE));
    EXPECT_EQ(*f.Field(2)->Text, "abcdefg  bcdefghij   ~ p printable words here!");
    EXPECT_EQ(std::string(f.Field(2)->Data.begin(), f.Field(2)->Data.end()), text); // raw bytes kept
    EXPECT_EQ(f.Field(2)->Checksum, Sum(text));
    ASSERT_TRUE(f.IsType(3, FTYPE_VSTRING_VALUE));
    EXPECT_EQ(*f.Field(3)->Text, "<a b   long printable tail>");
    EXPECT_EQ(f.Field(3)->Content(), "a b   long printable tail");
}

TEST(ProtocolFieldsText, NulInsideBracketsEndsTheText) {
    const std::string field("<12\0 34>", 8);
    ProtocolFields f = Cut("\x02<C2>" + field + "\x03");
    ASSERT_TRUE(f.IsType(2, FTYPE_VSTRING_VALUE)); // the NUL is no digit
    EXPECT_EQ(*f.Field(2)->Text, "<12");
    EXPECT_EQ(f.Field(2)->Content(), "12");
    EXPECT_FLOAT_EQ(f.Field(2)->FloatValue, 12.0f);
    EXPECT_EQ(f.Field(2)->Size, 8u);
    EXPECT_EQ(f.Field(2)->Checksum, Sum(field));
}

TEST(ProtocolFieldsText, ContentDropsEveryBracket) {
    ProtocolFields f = Cut("\x02<C<4><12<3><$0x<1F><a<b><<><plain>\x03");
    EXPECT_TRUE(f.IsType(1, FTYPE_VCMDID_VALUE));
    EXPECT_EQ(f.Field(1)->Content(), "C4");
    ASSERT_TRUE(f.IsType(2, FTYPE_VINT_VALUE));
    EXPECT_EQ(f.Field(2)->IntValue, 123);
    ASSERT_TRUE(f.IsType(3, FTYPE_VINT_VALUE));
    EXPECT_EQ(f.Field(3)->IntValue, 0x1F);
    EXPECT_EQ(f.Field(4)->Content(), "ab");
    ASSERT_TRUE(f.IsType(5, FTYPE_VINT_VALUE)); // only brackets: a number without digits
    EXPECT_EQ(f.Field(5)->Content(), "");
    EXPECT_EQ(f.Field(5)->IntValue, 0);
    EXPECT_EQ(f.Field(6)->Content(), "plain");
    // The copy-free content is the same text, whether it can point into the field or not.
    for (const ProtocolFieldInfo& field : f.Fields())
        EXPECT_EQ(ContentViewOf(field), field.Content()) << (field.Text ? *field.Text : "(no text)");
}

TEST(ProtocolFieldsText, DecimalNumbersOfAnyLength) {
    ProtocolFields f = Cut("\x02<C1><123456789><16777217><1234567890><0001><4294967297>"
                           "<99999999999999999999><000000000000123>\x03");
    ASSERT_EQ(f.Fields().size(), 10u);
    for (size_t i = 2; i < 9; ++i)
        ASSERT_TRUE(f.IsType(i, FTYPE_VINT_VALUE)) << i;
    EXPECT_EQ(f.Field(2)->IntValue, 123456789);
    EXPECT_EQ(f.Field(2)->FloatValue, 123456792.0f); // the nearest float
    EXPECT_EQ(f.Field(3)->IntValue, 16777217);
    EXPECT_EQ(f.Field(3)->FloatValue, 16777216.0f);
    EXPECT_EQ(f.Field(4)->IntValue, 1234567890);
    EXPECT_EQ(f.Field(4)->FloatValue, 1234567936.0f);
    EXPECT_EQ(f.Field(5)->IntValue, 1);
    // Past the int range the value is cut to its low 32 bits; past the long range it is 0.
    EXPECT_EQ(f.Field(6)->IntValue, 1);
    EXPECT_EQ(f.Field(6)->FloatValue, 4294967296.0f);
    EXPECT_EQ(f.Field(7)->IntValue, 0);
    EXPECT_FLOAT_EQ(f.Field(7)->FloatValue, 1e20f);
    EXPECT_EQ(f.Field(8)->IntValue, 123); // many digits, most of them leading zeros
}

TEST(ProtocolFieldsText, ChecksumsOfLongFields) {
    std::string text;
    for (int i = 1; i < 256; ++i) // control bytes and brackets inside a text belong to it
        text += static_cast<char>(i);
    text = "x" + text + text + '\0';
    std::string payload(1000, '\0');
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>(i * 31 + 7);
    const std::string block = "<DATABYTES>" + payload + "</DATABYTES>";
    ProtocolFields f = Cut("\x02<C50>" + text + block + "\x03");
    ASSERT_TRUE(f.IsType(2, FTYPE_STRING_VALUE));
    EXPECT_EQ(f.Field(2)->Checksum, Sum(text));
    ASSERT_TRUE(f.IsType(3, FTYPE_VDATABYTES));
    EXPECT_EQ(f.Field(3)->Checksum, Sum(block));
    EXPECT_EQ(std::string(f.Field(3)->Data.begin(), f.Field(3)->Data.end()), payload);
}

TEST(ProtocolFieldsText, BinaryBlockOpenersAndUnfinishedBlocks) {
    // A bracketed field that ends in the opener starts a block; the bytes before the opener count for
    // nothing, not even the checksum.
    ProtocolFields f = Cut("\x02<C50><x<DATABYTES>ab</DATABYTES><DATABYTES>abc</DATABYTE\x03");
    ASSERT_EQ(f.Fields().size(), 3u); // the second block never ends: it and the ETX in it are gone
    ASSERT_TRUE(f.IsType(2, FTYPE_VDATABYTES));
    EXPECT_EQ(std::string(f.Field(2)->Data.begin(), f.Field(2)->Data.end()), "ab");
    EXPECT_EQ(f.Field(2)->Checksum, Sum("<DATABYTES>ab</DATABYTES>"));
}
