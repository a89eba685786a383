// Fault switches: their syntax, which request they hit, and how the delivery faults reach the wire.
#include "tests/sim/SimHarness.h"

#include "base/Clock.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {

using namespace std::string_literals;

TEST(FaultSyntax, RejectsMalformedSwitches) {
    for (const char* bad : {"delay=", "delay=x", "drip=0:5", "drip=3", "no-answer=", "no-answer=C4#0",
                            "no-answer=X4", "error=C4", "error=C4:100", "garbage=C4", "drop=C4:x",
                            "silence=1", "bogus=1", "wrong-checksum=C256", "stale=", "stale=C4#0"}) {
        sim::FaultSet set;
        EXPECT_THROW(sim::AddFault(set, bad), sim::FaultSyntaxError) << bad;
    }
}

TEST(Faults, NoAnswerToTheNthRequestOfAKindOnly) {
    Printer p(SmallProfile(), {"no-answer=C4#2"});
    EXPECT_TRUE(p.Send(Command(0x04, {"7"})).answered);
    EXPECT_TRUE(p.Send(Command(0x03)).answered);
    const sim::Outcome second = p.Send(Command(0x04, {"7"}));
    EXPECT_FALSE(second.answered);
    EXPECT_EQ(second.notes, std::vector<std::string>{"no-answer C4#2"});
    EXPECT_TRUE(p.Send(Command(0x04, {"7"})).answered);
}

TEST(Faults, ErrorAnswerReplacesTheAnswerAndKeepsTheStateUntouched) {
    Printer p(SmallProfile(), {"error=C5:7"});
    EXPECT_EQ(S(p.Send(SetValueCommand("7", "1")).answer), "\x02<C5>\x15<ERR07>\x03"s);
    EXPECT_TRUE(p.Send(Command(0x06)).changes.empty());
}

TEST(Faults, WrongChecksumIsOffByOne) {
    Printer good(SmallProfile());
    Printer bad(SmallProfile(), {"wrong-checksum=C3"});
    EXPECT_EQ(S(bad.Send(Command(0x03)).answer), "\x02<C3><5><7><1203><8><9><10><209>\x03"s);
    EXPECT_EQ(good.Send(Command(0x04, {"7"})).answer, bad.Send(Command(0x04, {"7"})).answer);
}

TEST(Faults, StaleAnswerIsThePreviousOneOfItsKind) {
    Printer good(SmallProfile());
    Printer p(SmallProfile(), {"stale=C4#2", "stale=C4#4"});
    const Bytes seven = good.Send(Command(0x04, {"7"})).answer;
    const Bytes eight = good.Send(Command(0x04, {"8"})).answer;
    ASSERT_NE(seven, eight);
    EXPECT_EQ(p.Send(Command(0x04, {"7"})).answer, seven);
    EXPECT_TRUE(p.Send(Command(0x03)).answered) << "other kinds do not take its place";
    const sim::Outcome late = p.Send(Command(0x04, {"8"}));
    EXPECT_EQ(late.answer, seven);
    EXPECT_EQ(late.notes, std::vector<std::string>{"stale C4#2"});
    EXPECT_EQ(p.Send(Command(0x04, {"8"})).answer, eight);
    // The answer withheld by a stale one is not the next to come: each request's own is remembered.
    EXPECT_EQ(p.Send(Command(0x04, {"7"})).answer, eight);
    Printer first(SmallProfile(), {"stale=C4#1"});
    EXPECT_EQ(first.Send(Command(0x04, {"8"})).answer, eight) << "nothing earlier to send";
}

TEST(Faults, GarbageBeforeStxAndSilence) {
    Printer p(SmallProfile(), {"garbage=C1:4"});
    const std::string a = S(p.Send(Command(0x01)).answer);
    EXPECT_EQ(a.substr(4), "\x02<C1><1.00>\x03"s);
    EXPECT_EQ(a.substr(0, 4).find_first_of("\x02\x03\x06\x15"s), std::string::npos);
    Printer silent(SmallProfile(), {"silence"});
    EXPECT_FALSE(silent.Send(B("\x1d\x49\x01")).answered);
    EXPECT_FALSE(silent.Send(Command(0x01)).answered);
}

// A link that records every write, to see how delivery cut the answer.
class RecordingLink : public sim::Link {
public:
    int Fd() const override { return -1; }
    long ReadSome(uint8_t*, size_t) override { return -1; }
    bool WriteAll(const uint8_t* data, size_t length) override {
        writes.emplace_back(data, data + length);
        return true;
    }
    std::string Via() const override { return "test"; }
    std::vector<Bytes> writes;
};

struct ServerRig {
    explicit ServerRig(const std::vector<std::string>& faultSwitches)
        : state(sim::LoadProfileText(SmallProfile(), "t")), faults([&] {
              sim::FaultSet set;
              for (const auto& f : faultSwitches)
                  sim::AddFault(set, f);
              return set;
          }()),
          server(state, faults, transcript) {}
    bool Send(const Bytes& b) { return server.Serve(link, recogniser, b.data(), b.size()); }
    sim::PrinterState state;
    sim::FaultInjector faults;
    sim::Transcript transcript;
    sim::Server server;
    sim::Recogniser recogniser;
    RecordingLink link;
};

TEST(Delivery, DripSendsPiecesAndDelayWaits) {
    Clock::SetScaleForTesting(1.0);
    ServerRig rig({"drip=4:1", "delay=30"});
    const uint64_t start = Clock::MonotonicMs();
    EXPECT_TRUE(rig.Send(Command(0x01)));
    EXPECT_GE(Clock::MonotonicMs() - start, 30u);
    const std::string whole = "\x02<C1><1.00>\x03"s; // 12 bytes: 4 + 4 + 4
    ASSERT_EQ(rig.link.writes.size(), 3u);
    std::string joined;
    for (const auto& w : rig.link.writes) {
        EXPECT_LE(w.size(), 4u);
        joined += S(w);
    }
    EXPECT_EQ(joined, whole);
}

TEST(Delivery, ResetEndsTheConnectionAndTheRestartingPrinterIgnoresInput) {
    Clock::SetScaleForTesting(1.0);
    ServerRig rig({});
    EXPECT_FALSE(rig.Send(Command(0x07)));
    EXPECT_TRUE(rig.server.Unreachable());
    EXPECT_TRUE(rig.Send(Command(0x01)));
    EXPECT_TRUE(rig.link.writes.empty());
}

} // namespace
