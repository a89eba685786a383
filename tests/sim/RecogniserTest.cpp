// Cutting the host's byte stream into requests: pieces, cancels, payloads that hold framing bytes.
#include "tests/sim/SimHarness.h"

#include <gtest/gtest.h>

using namespace simtest;
using sim::RequestKind;

namespace {

std::vector<sim::Request> FeedAll(sim::Recogniser& r, const Bytes& bytes) {
    std::vector<sim::Request> out;
    r.Feed(bytes.data(), bytes.size(), out);
    return out;
}

TEST(Recogniser, HandshakeSequence) {
    sim::Recogniser r;
    const auto got = FeedAll(r, B("\x1c<EPOS>\x18\x1d\x49\x01\x18\x1d\x49\xff\x18\x1d\x49\x03"));
    std::vector<std::string> names;
    for (const auto& q : got)
        names.push_back(q.Name());
    EXPECT_EQ(names, (std::vector<std::string>{"EPOS", "CAN", "GSI", "CAN", "GSIFF", "CAN", "FWREL"}));
}

TEST(Recogniser, CommandSplitIntoSingleBytesIsJoined) {
    sim::Recogniser r;
    const Bytes cmd = SetValueCommand("1203", "72.5");
    std::vector<sim::Request> got;
    for (uint8_t b : cmd)
        r.Feed(&b, 1, got);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].Name(), "C5");
    EXPECT_EQ(got[0].fields, (std::vector<std::string>{"1203", "72.5", got[0].fields[2]}));
    EXPECT_EQ(got[0].raw, cmd);
    EXPECT_EQ(r.PendingBytes(), 0u);
}

TEST(Recogniser, CancelAbandonsAHalfSentCommand) {
    sim::Recogniser r;
    auto got = FeedAll(r, B("\x1f\xff\x04<12"));
    EXPECT_TRUE(got.empty());
    got = FeedAll(r, B("\x18\x1f\xff\x04<7>"));
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].kind, RequestKind::Stray);
    EXPECT_EQ(S(got[0].raw), "\x1f\xff\x04<12");
    EXPECT_EQ(got[1].kind, RequestKind::Cancel);
    EXPECT_EQ(got[2].fields, std::vector<std::string>{"7"});
}

TEST(Recogniser, ScriptPayloadMayHoldAnyByte) {
    sim::Recogniser r;
    Bytes cmd = B("\x1f\xff\x51<1><32><6>");
    const Bytes script = {0x18, '>', 0x02, 0x03, 0x00, '<'};
    cmd.insert(cmd.end(), script.begin(), script.end());
    cmd.push_back(0x18);
    const auto got = FeedAll(r, cmd);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].payload, script);
    EXPECT_EQ(got[1].kind, RequestKind::Cancel);
}

TEST(Recogniser, DateToolTakesItsDateField) {
    sim::Recogniser r;
    const auto got = FeedAll(r, B("\x1f\xff\x51<1><8><040325090507>\x1f\xff\x51<1><16>\x1f\xff\x06"));
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].fields, (std::vector<std::string>{"1", "8", "040325090507"}));
    EXPECT_EQ(got[1].fields, (std::vector<std::string>{"1", "16"}));
    EXPECT_EQ(got[2].Name(), "C6");
}

TEST(Recogniser, StrayBytesAreHandedOnAndDoNotSwallowTheNextCommand) {
    sim::Recogniser r;
    const auto got = FeedAll(r, B("hello\x1d\x49\x07\x1f\xfe\x1f\xff\x01"));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(S(got[0].raw), "hello\x1d\x49\x07\x1f\xfe");
    EXPECT_EQ(got[1].Name(), "C1");
}

TEST(Recogniser, OverlongFieldIsNotACommand) {
    sim::Recogniser r;
    Bytes cmd = B("\x1f\xff\x04<");
    cmd.insert(cmd.end(), sim::Recogniser::kMaxFieldLength + 1, '1');
    const auto got = FeedAll(r, cmd);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0].kind, RequestKind::Stray);
    EXPECT_LT(r.PendingBytes(), sim::Recogniser::kMaxFieldLength);
}

} // namespace
