// Printer semantics: values set by the host are staged and become current only with the store
// command, a restart forgets what was not stored, tools change the printer, live status follows the
// profile's schedule.
#include "tests/sim/SimHarness.h"

#include "sim/ItemValues.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {

using namespace std::string_literals;
using Values = std::vector<std::pair<std::string, std::string>>;

std::string CurrentOf(Printer& p, uint32_t id) {
    return sim::CurrentValueText(*p.state.Find(id));
}

TEST(Staging, SetValuesBecomeCurrentOnlyWithStoreAndARestartForgetsTheRest) {
    Printer p(SmallProfile());
    const sim::Outcome set = p.Send(SetValueCommand("7", "1"));
    ASSERT_EQ(set.changes.size(), 1u);
    EXPECT_EQ(set.changes[0].state, "staged");
    (void)p.Send(SetValueCommand("1203", "20.5"));
    (void)p.Send(SetValueCommand("1203", "30")); // the last set wins
    // The item answer still reports the stored value.
    EXPECT_NE(S(p.Send(Command(0x04, {"7"})).answer).find("<0><0><0><2>"), std::string::npos);
    const sim::Outcome store = p.Send(Command(0x06));
    EXPECT_FALSE(store.answered);
    ASSERT_EQ(store.changes.size(), 2u);
    EXPECT_EQ(store.changes[0].from + ">" + store.changes[0].to + " " + store.changes[0].state,
              "0>1 current");
    EXPECT_EQ(CurrentOf(p, 7), "1");
    EXPECT_EQ(CurrentOf(p, 1203), "30.0");

    (void)p.Send(SetValueCommand("7", "0"));
    const sim::Outcome reset = p.Send(Command(0x07));
    EXPECT_TRUE(reset.restart);
    EXPECT_FALSE(reset.answered);
    EXPECT_TRUE(p.Send(Command(0x06)).changes.empty());
    EXPECT_EQ(CurrentOf(p, 7), "1");
}

TEST(Staging, RefusedValuesAreNotStagedAndWhatHostsSendIsTaken) {
    Printer p(SmallProfile());
    for (const auto& [id, value] : Values{{"7", "2"},
                                          {"7", "x"},
                                          {"1203", "80.1"},
                                          {"1203", "9"},
                                          {"8", "10.0.0"},
                                          {"8", "010.0.0.1"},
                                          {"9", "2025/13/01 00:00:00"},
                                          {"10", "255,"},
                                          {"10", "256,1,"},
                                          {"10", "1,2,3,"}})
        EXPECT_EQ(S(p.Send(SetValueCommand(id, value)).answer), "\x02<C5>\x15<ERR03>\x03"s)
            << id << "=" << value;
    EXPECT_TRUE(p.Send(Command(0x06)).changes.empty());
    for (const auto& [id, value] :
         Values{{"1203", "80.0"}, {"8", "192.168.1.20"}, {"9", "2026/12/06 21:00:00"}, {"10", "5,1,"}})
        EXPECT_EQ(S(p.Send(SetValueCommand(id, value)).answer), "\x02<C5>\x06\x03"s) << id << "=" << value;
    (void)p.Send(Command(0x06));
    EXPECT_EQ(CurrentOf(p, 10), "5,1,");
    EXPECT_EQ(CurrentOf(p, 9), "2026/12/06 21:00:00");
}

TEST(Tools, DateToolSetsTheDateItemAndScriptIsKept) {
    Printer p(SmallProfile());
    const sim::Outcome date = p.Send(B("\x1f\xff\x51<1><8><040325101112>"));
    EXPECT_EQ(S(date.answer), "\x02<C81>\x06<1>SET DATETIME DONE\0\x03"s);
    EXPECT_EQ(CurrentOf(p, 9), "2025/03/04 10:11:12");
    EXPECT_EQ(S(p.Send(B("\x1f\xff\x51<1><8><310225000000>")).answer), "\x02<C81>\x15<ERR03>\x03"s);
    Bytes upload = B("\x1f\xff\x51<1><32><7>");
    const Bytes script = {'P', 0x00, 0x02, 0x03,
                          '<', '>',  0x18}; // taken by its length, framing bytes and all
    upload.insert(upload.end(), script.begin(), script.end());
    (void)p.Send(upload);
    EXPECT_EQ(p.state.Scripts(), std::vector<Bytes>{script});
}

TEST(Tools, UnsupportedToolIsRefusedAndFlashResetRestoresDefaults) {
    Printer p(SmallProfile(R"({"tools": {"group1": 64, "answers": {"64": ["RESET OK"]}}})"));
    EXPECT_EQ(S(p.Send(B("\x1f\xff\x51<1><16>")).answer), "\x02<C81>\x15<ERR01>\x03"s);
    EXPECT_EQ(S(p.Send(B("\x1f\xff\x51<2><64>")).answer), "\x02<C81>\x15<ERR01>\x03"s);
    const sim::Outcome reset = p.Send(B("\x1f\xff\x51<1><64>"));
    EXPECT_EQ(S(reset.answer), "\x02<C81>\x06<1>RESET OK\0\x03"s);
    EXPECT_EQ(CurrentOf(p, 1203), "40.0");
    EXPECT_EQ(CurrentOf(p, 10), "0,0,");
}

TEST(LiveStatus, FollowsTheScheduleAndKeepsTheLastStep) {
    Printer p(SmallProfile());
    std::vector<uint8_t> firstBytes;
    for (int i = 0; i < 5; ++i) {
        const std::string a = S(p.Send(Command(0x8A)).answer);
        firstBytes.push_back(static_cast<uint8_t>(a[std::string("\x02<C138><DATABYTES>").size()]));
    }
    EXPECT_EQ(firstBytes, (std::vector<uint8_t>{0, 0, 1, 1, 1}));
}

} // namespace
