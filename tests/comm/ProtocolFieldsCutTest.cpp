// Cutting answers into fields: types, values, texts and checksums, the error-answer rules, and the
// texts, contents and numbers of fields (unprintable bytes, NULs and stray brackets inside a field, the
// range of decimal numbers).
#include "tests/comm/AnswerText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::vector<FTYPE> Types(const ProtocolFields& fields) {
    std::vector<FTYPE> types;
    for (const ProtocolFieldInfo& f : fields.Fields())
        types.push_back(f.Type);
    return types;
}

std::string ContentViewOf(const ProtocolFieldInfo& field) {
    std::string scratch;
    return std::string(field.ContentView(scratch));
}

} // namespace

TEST(ProtocolFieldsCut, ValueKinds) {
    // A NUL right after a closing bracket is an empty text.
    ProtocolFields f = Cut(std::string("\x02<C12><123><1.00><C12><C1234><>\0abc\0", 36) + "\x03");
    EXPECT_EQ(Types(f), (std::vector<FTYPE>{FTYPE_STX, FTYPE_VCMDID_VALUE, FTYPE_VINT_VALUE,
                                            FTYPE_VSTRING_VALUE, FTYPE_VSTRING_VALUE, FTYPE_VSTRING_VALUE,
                                            FTYPE_EMPTY, FTYPE_STRING_VALUE, FTYPE_STRING_VALUE, FTYPE_ETX}));
    EXPECT_EQ(f.Field(2)->IntValue, 123);
    EXPECT_FLOAT_EQ(f.Field(2)->FloatValue, 123.0f);
    EXPECT_FLOAT_EQ(f.Field(3)->FloatValue, 1.0f);
    EXPECT_EQ(f.Field(3)->IntValue, 0);
    EXPECT_EQ(*f.Field(1)->Text, "<C12>");
    EXPECT_FALSE(f.Field(6)->Text);
    EXPECT_EQ(f.Field(6)->Checksum, 0u);
    EXPECT_EQ(*f.Field(7)->Text, "");
    EXPECT_EQ(f.Field(7)->Size, 1u);
    EXPECT_EQ(*f.Field(8)->Text, "abc");
    EXPECT_EQ(f.Field(8)->Size, 4u); // the NUL belongs to the field
}

TEST(ProtocolFieldsCut, BytesBeforeStxAndUnfinishedFields) {
    // Control bytes before STX are fields; other bytes there are noise.
    ProtocolFields f = Cut("xy\x03z\x02<C1><1.00");
    EXPECT_EQ(Types(f), (std::vector<FTYPE>{FTYPE_ETX, FTYPE_STX, FTYPE_VSTRING_VALUE}));
    // Shifted by the early ETX, the tag is no longer the second field.
    EXPECT_EQ(*f.Field(2)->Text, "<C1>");
    // Control bytes inside bare text belong to the text (and it never ended here).
    EXPECT_EQ(Types(Cut("\x02<C2>ab\x03"
                        "cd")),
              (std::vector<FTYPE>{FTYPE_STX, FTYPE_VCMDID_VALUE}));
}

TEST(ProtocolFieldsCut, BinaryBlocksHoldAnyByte) {
    std::string payload = std::string("a\x02>\0<b\x80\xff", 8) + "</DATABYTE" + "\x03";
    std::string block = "<DATABYTES>" + payload + "</DATABYTES>";
    ProtocolFields f = Cut("\x02<C50>" + block + "<7>\x03");
    ASSERT_EQ(Types(f), (std::vector<FTYPE>{FTYPE_STX, FTYPE_VCMDID_VALUE, FTYPE_VDATABYTES, FTYPE_VINT_VALUE,
                                            FTYPE_ETX}));
    EXPECT_EQ(std::string(f.Field(2)->Data.begin(), f.Field(2)->Data.end()), payload);
    EXPECT_EQ(f.Field(2)->Size, payload.size());
    EXPECT_EQ(f.Field(2)->Checksum, Sum(block));
    EXPECT_FALSE(f.Field(2)->Text);
    // An empty block.
    ProtocolFields empty = Cut("\x02<C138><DATABYTES></DATABYTES>\x03");
    ASSERT_TRUE(empty.IsType(2, FTYPE_VDATABYTES));
    EXPECT_EQ(empty.Field(2)->Size, 0u);
}

TEST(ProtocolFieldsCut, ChecksumsAndTheAnswerSum) {
    std::string text("name\0", 5);
    ProtocolFields f = Cut("\x02<C3><2><10><11>" + text + "\x03");
    EXPECT_EQ(f.Field(0)->Checksum, 2u);
    EXPECT_EQ(f.Field(1)->Checksum, Sum("<C3>"));
    EXPECT_EQ(f.Field(3)->Checksum, Sum("<10>"));
    EXPECT_EQ(f.Field(5)->Checksum, Sum(text));

    ProtocolFields good = Cut(Summed("C3", "<2><10><11>"));
    EXPECT_TRUE(good.ChecksumMatches(5));
    EXPECT_FALSE(Cut(Summed("C3", "<2><10><11>", 1)).ChecksumMatches(5));
    EXPECT_FALSE(good.ChecksumMatches(9)); // past the end
    EXPECT_FALSE(good.ChecksumMatches(6)); // not a number field
}

// "$0x" marks a number, read as hexadecimal; the other hexadecimal values are in the answer cases.
TEST(ProtocolFieldsCut, HexadecimalFields) {
    ProtocolFields f = Cut("\x02<C80><$0x><$0><$1x>\x03");
    EXPECT_EQ(Types(f), (std::vector<FTYPE>{FTYPE_STX, FTYPE_VCMDID_VALUE, FTYPE_VINT_VALUE, FTYPE_VINT_VALUE,
                                            FTYPE_VSTRING_VALUE, FTYPE_ETX}));
    EXPECT_EQ(f.Field(2)->IntValue, 0);
}

TEST(ProtocolFieldsCheck, ErrorPositiveAndMalformedAnswers) {
    struct Case {
        std::string answer;
        bool error;
        DalvoraError code;
    };
    const std::vector<Case> cases = {
        {"\x02<C3>\x15<ERR5>\x03", true, 105},
        {"\x02<C3>\x15<ERR150>\x03", true, 150},
        {"\x02<C3>\x15<ERR>\x03", true, 101},
        {"\x02<C3>\x15<ERRx>\x03", true, 101},
        {"\x02<C3><1><5><9>\x03", false, 0},
        {"\x02<C3>\x15<5>\x03", false, 0}, // a NAK without an ERR text
        {"<C3>\x03", true, 13},
        {"\x02<X3>\x03", true, 13},
        {"", true, 13},
        {"\x02", true, 13},
        {"\x02<C3>", false, 0}, // short lists are never read past their end
    };
    for (const Case& c : cases) {
        DalvoraError code = 0;
        EXPECT_EQ(Cut(c.answer).CheckAnswer(&code), c.error) << c.answer;
        EXPECT_EQ(code, c.code) << c.answer;
    }
}

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
    ProtocolFields f = Cut("\x02<C1><1234567890><000000000000123><99999999999999999999>\x03");
    ASSERT_EQ(f.Fields().size(), 6u);
    for (size_t i = 2; i < 5; ++i)
        ASSERT_TRUE(f.IsType(i, FTYPE_VINT_VALUE)) << i;
    EXPECT_EQ(f.Field(2)->IntValue, 1234567890);
    EXPECT_EQ(f.Field(3)->IntValue, 123); // many digits, most of them leading zeros
    // Past the long range the integer is 0; the float still holds the magnitude.
    EXPECT_EQ(f.Field(4)->IntValue, 0);
    EXPECT_FLOAT_EQ(f.Field(4)->FloatValue, 1e20f);
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
