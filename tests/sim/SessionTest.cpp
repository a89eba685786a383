// Printer semantics: values set by the host are staged and become current only with the store
// command, a restart forgets what was not stored, tools change the printer, live status follows the
// profile's schedule.
#include "tests/sim/SimHarness.h"

#include "sim/ItemValues.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {

using namespace std::string_literals;

std::string CurrentOf(Printer& p, uint32_t id) {
    return sim::CurrentValueText(*p.state.Find(id));
}

TEST(Staging, SetValuesBecomeCurrentOnlyAfterStore) {
    Printer p(SmallProfile());
    const sim::Outcome set = p.Send(SetValueCommand("7", "1"));
    ASSERT_EQ(set.changes.size(), 1u);
    EXPECT_EQ(set.changes[0].state, "staged");
    EXPECT_EQ(CurrentOf(p, 7), "0");
    // The item answer still reports the stored value.
    EXPECT_NE(S(p.Send(Command(0x04, {"7"})).answer).find("<0><0><0><2>"), std::string::npos);
    const sim::Outcome store = p.Send(Command(0x06));
    EXPECT_FALSE(store.answered);
    ASSERT_EQ(store.changes.size(), 1u);
    EXPECT_EQ(store.changes[0].from, "0");
    EXPECT_EQ(store.changes[0].to, "1");
    EXPECT_EQ(store.changes[0].state, "current");
    EXPECT_EQ(CurrentOf(p, 7), "1");
    EXPECT_EQ(p.state.StagedCount(), 0u);
}

TEST(Staging, LastSetWinsAndRestartForgetsUnstoredValues) {
    Printer p(SmallProfile());
    (void)p.Send(SetValueCommand("1203", "20.5"));
    (void)p.Send(SetValueCommand("1203", "30"));
    EXPECT_EQ(p.state.StagedCount(), 1u);
    EXPECT_EQ(p.state.StagedText(1203), "30");
    const sim::Outcome reset = p.Send(Command(0x07));
    EXPECT_TRUE(reset.restart);
    EXPECT_FALSE(reset.answered);
    EXPECT_EQ(p.state.StagedCount(), 0u);
    (void)p.Send(Command(0x06));
    EXPECT_EQ(CurrentOf(p, 1203), "72.5");
}

TEST(Staging, RefusedValuesAreNotStaged) {
    Printer p(SmallProfile());
    const std::vector<std::pair<std::string, std::string>> refused = {{"7", "2"},
                                                                      {"7", "x"},
                                                                      {"1203", "80.1"},
                                                                      {"1203", "9"},
                                                                      {"8", "10.0.0"},
                                                                      {"8", "010.0.0.1"},
                                                                      {"9", "2025/13/01 00:00:00"},
                                                                      {"10", "255,"},
                                                                      {"10", "256,1,"},
                                                                      {"10", "1,2,3,"}};
    for (const auto& [id, value] : refused) {
        const sim::Outcome o = p.Send(SetValueCommand(id, value));
        EXPECT_EQ(S(o.answer), "\x02<C5>\x15<ERR03>\x03"s) << id << "=" << value;
    }
    EXPECT_EQ(p.state.StagedCount(), 0u);
    // What the host really sends for these kinds is taken.
    for (const auto& [id, value] : std::vector<std::pair<std::string, std::string>>{
             {"1203", "80.0"}, {"8", "192.168.1.20"}, {"9", "2026/12/06 21:00:00"}, {"10", "5,1,"}})
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
    Bytes upload = B("\x1f\xff\x51<1><32><5>");
    const Bytes script = {'P', 0x00, 0x03, '>', 0x18};
    upload.insert(upload.end(), script.begin(), script.end());
    (void)p.Send(upload);
    ASSERT_EQ(p.state.Scripts().size(), 1u);
    EXPECT_EQ(p.state.Scripts()[0], script);
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

TEST(MinimalPrinter, CapabilityRequestGetsNoAnswerButSetupWorks) {
    Printer p(SmallProfile(R"({"capabilities": null})"));
    EXPECT_FALSE(p.Send(Command(0x28)).answered);
    EXPECT_TRUE(p.Send(Command(0x03)).answered);
}

TEST(ToolDate, DigitsToItemText) {
    EXPECT_EQ(sim::ToolDateToItemText("040325090507"), "2025/03/04 09:05:07");
    EXPECT_EQ(sim::ToolDateToItemText("04032509050"), "");
    EXPECT_EQ(sim::ToolDateToItemText("320125090507"), "");
}

} // namespace
