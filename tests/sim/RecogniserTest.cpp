// Cutting the host's byte stream into requests: pieces, cancels, stray bytes, and fields too long to
// be a command.
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

std::vector<std::string> Names(const std::vector<sim::Request>& requests) {
    std::vector<std::string> names;
    for (const auto& q : requests)
        names.push_back(q.Name());
    return names;
}

TEST(Recogniser, HandshakeAndStrayBytesThatDoNotSwallowTheNextCommand) {
    sim::Recogniser r;
    EXPECT_EQ(Names(FeedAll(r, B("\x1c<EPOS>\x18\x1d\x49\x01\x18\x1d\x49\xff\x18\x1d\x49\x03"))),
              (std::vector<std::string>{"EPOS", "CAN", "GSI", "CAN", "GSIFF", "CAN", "FWREL"}));
    const auto got = FeedAll(r, B("hello\x1d\x49\x07\x1f\xfe\x1f\xff\x01"));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(S(got[0].raw), "hello\x1d\x49\x07\x1f\xfe");
    EXPECT_EQ(got[1].Name(), "C1");
}

TEST(Recogniser, CommandsInSingleBytesAreJoinedAndCancelAbandonsAHalfSentOne) {
    sim::Recogniser r;
    const Bytes script = {0x18, '>', 0x02, 0x03};
    Bytes upload = B("\x1f\xff\x51<1><32><4>");
    upload.insert(upload.end(), script.begin(), script.end());
    std::vector<sim::Request> got;
    for (const Bytes& cmd : {SetValueCommand("1203", "72.5"), upload})
        for (uint8_t b : cmd)
            r.Feed(&b, 1, got);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].fields, (std::vector<std::string>{"1203", "72.5", got[0].fields[2]}));
    EXPECT_EQ(got[0].raw, SetValueCommand("1203", "72.5"));
    EXPECT_EQ(got[1].payload, script); // waited for by its length
    EXPECT_EQ(r.PendingBytes(), 0u);

    EXPECT_TRUE(FeedAll(r, B("\x1f\xff\x04<12")).empty());
    got = FeedAll(r, B("\x18\x1f\xff\x04<7>"));
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].kind, RequestKind::Stray);
    EXPECT_EQ(S(got[0].raw), "\x1f\xff\x04<12");
    EXPECT_EQ(got[1].kind, RequestKind::Cancel);
    EXPECT_EQ(got[2].fields, std::vector<std::string>{"7"});
}

// Tool fields and script payloads holding framing bytes are fed by the tool tests of the session.
TEST(Recogniser, OverlongFieldIsNotACommandAndIsNotKept) {
    sim::Recogniser r;
    Bytes overlong = B("\x1f\xff\x04<");
    overlong.insert(overlong.end(), sim::Recogniser::kMaxFieldLength + 1, '1');
    const auto got = FeedAll(r, overlong);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0].kind, RequestKind::Stray);
    EXPECT_LT(r.PendingBytes(), sim::Recogniser::kMaxFieldLength);
}

} // namespace
