// Answers compared byte for byte with frames worked out by hand from the answer layouts: field order,
// bare texts with their NUL, and the checksum (low 8 bits of the byte sum of the tag field and every
// value field before it).
#include "tests/sim/SimHarness.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {

using namespace std::string_literals;

class AnswerBytes : public ::testing::Test {
protected:
    Printer printer{SmallProfile()};
    std::string Answer(const Bytes& request) { return S(printer.Send(request).answer); }
};

TEST_F(AnswerBytes, IdListCarriesItsChecksum) {
    // 240 + 175 + 177 + 320 + 178 + 179 + 219 = 1488; 1488 mod 256 = 208.
    EXPECT_EQ(Answer(Command(0x03)), "\x02<C3><5><7><1203><8><9><10><208>\x03"s);
}

TEST_F(AnswerBytes, ListItem) {
    // <C4> 241, <7> 177, <0> links 170, <1> kind 171, "Speed\0" 497, <0> flag, first, default and
    // current 4 x 170, <2> 172, "Low\0" 306, "High\0" 384: 2798 mod 256 = 238.
    EXPECT_EQ(Answer(Command(0x04, {"7"})), "\x02<C4><7><0><1>Speed\0<0><0><0><0><2>Low\0High\0<238>\x03"s);
}

TEST_F(AnswerBytes, NumericItemWithTwoPartLinkAndTheStepsDecimals) {
    EXPECT_EQ(Answer(Command(0x04, {"1203"})),
              "\x02<C4><1203><1><H,D><7><1><2>Width\0<0><10.0><80.0><0.5><40.0><72.5><200>\x03"s);
}

TEST_F(AnswerBytes, SetValueChecksumAndRefusalsWithTheirErrorNumbers) {
    // 1F FF 05 <7><1>: 639 mod 256 = 127.
    EXPECT_EQ(Answer(B("\x1f\xff\x05<7><1><127>")), "\x02<C5>\x06\x03"s);
    EXPECT_EQ(Answer(B("\x1f\xff\x05<7><1><126>")), "\x02<C5>\x15<ERR04>\x03"s);
    EXPECT_EQ(Answer(Command(0x04, {"4242"})), "\x02<C4>\x15<ERR02>\x03"s);
    EXPECT_EQ(Answer(SetValueCommand("7", "5")), "\x02<C5>\x15<ERR03>\x03"s);
    EXPECT_EQ(Answer(SetValueCommand("4242", "1")), "\x02<C5>\x15<ERR02>\x03"s);
    EXPECT_EQ(Answer(Command(0x30)), "\x02<C48>\x15<ERR01>\x03"s);
    EXPECT_EQ(Answer(Command(0x20)), "\x02<C32>\x15<ERR01>\x03"s); // no life information in this profile
}

TEST_F(AnswerBytes, BareTextAndBinaryBlock) {
    EXPECT_EQ(Answer(Command(0x02)), "\x02<C2><1>LINE ONE\0\x03"s);
    EXPECT_EQ(Answer(Command(0x80)), "\x02<C128><1><DATABYTES>\x01\0\0\0</DATABYTES><0>\x03"s);
}

TEST(AnswerBytesIdentity, OneByteAndEscapedIdentityCodes) {
    Printer oneByte(SmallProfile());
    EXPECT_EQ(S(oneByte.Send(B("\x1d\x49\x01")).answer), "\x41");
    EXPECT_EQ(S(oneByte.Send(B("\x1d\x49\x03")).answer), "FW 1.0");
    Printer escaped(SmallProfile(R"({"gsi": "0x1234"})"));
    EXPECT_EQ(S(escaped.Send(B("\x1d\x49\x01")).answer), "\xff");
    EXPECT_EQ(S(escaped.Send(B("\x1d\x49\xff")).answer), "\x12\x34");
    // 0x1FF would read back as the escape byte, so it takes the escaped form too.
    Printer edge(SmallProfile(R"({"gsi": "0x1FF"})"));
    EXPECT_EQ(S(edge.Send(B("\x1d\x49\x01")).answer), "\xff");
}

// A stall struck at one answer holds that answer alone, on top of any delay for all of them.
TEST(AnswerDelivery, LateHoldsOnlyTheChosenAnswer) {
    Printer printer(SmallProfile());
    sim::FaultSet set;
    sim::AddFault(set, "late=GSI#2:300");
    sim::AddFault(set, "delay=5");
    printer.faults = sim::FaultInjector(set);
    std::vector<uint32_t> waits;
    for (int i = 0; i < 3; ++i)
        waits.push_back(printer.Send(B("\x1d\x49\x01")).delivery.delayMs);
    EXPECT_EQ(waits, (std::vector<uint32_t>{5, 305, 5}));
}

TEST(AnswerDelivery, SplitCutsOnlyTheChosenAnswerInPieces) {
    Printer printer(SmallProfile());
    sim::FaultSet set;
    sim::AddFault(set, "split=FWREL#2:1:7");
    printer.faults = sim::FaultInjector(set);
    std::vector<std::pair<uint32_t, uint32_t>> pieces;
    for (int i = 0; i < 3; ++i) {
        const sim::Delivery d = printer.Send(B("\x1d\x49\x03")).delivery;
        pieces.emplace_back(d.dripBytes, d.dripIntervalMs);
    }
    EXPECT_EQ(pieces, (std::vector<std::pair<uint32_t, uint32_t>>{{0, 0}, {1, 7}, {0, 0}}));
}

} // namespace
