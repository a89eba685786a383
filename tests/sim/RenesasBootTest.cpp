// The simulator's Renesas boot device as a host meets it: the switch from the printer, the loader's
// answers, and the checks that make it worth testing against: a frame with a wrong checksum or address,
// a gap, frames before the programming selection and an image that does not end at 0xFFFFFFFF are all
// refused, and only a whole image is installed.
#include "SimHarness.h"

#include "sim/RenesasBoot.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {

const std::string kProfile =
    SmallProfile(R"({"capabilities": 49, "upgrade": {"mode": "U2", "device_ids": "1;2;3",
    "firmware_after": "2.00", "boot": {"programming_size": 4, "release": "1.07"}}})");

// A frame as a host builds it: 0x50, the address high byte first, the payload, the closing checksum.
Bytes Frame(uint32_t address, const Bytes& payload, int checksumError = 0) {
    Bytes f;
    f.reserve(payload.size() + 6);
    f.push_back(0x50);
    for (int shift = 24; shift >= 0; shift -= 8)
        f.push_back(static_cast<uint8_t>(address >> shift));
    f.insert(f.end(), payload.begin(), payload.end());
    unsigned sum = 0;
    for (uint8_t b : f)
        sum += b;
    f.push_back(static_cast<uint8_t>(0x100 - (sum & 0xFF) + checksumError));
    return f;
}

struct Loader {
    explicit Loader(const std::vector<std::string>& faults = {}) : printer(kProfile) {
        sim::FaultSet set;
        for (const std::string& f : faults)
            sim::AddFault(set, f);
        printer.faults = sim::FaultInjector(set);
    }
    // The answers to the bytes (empty: none), each command's answer in turn.
    std::vector<Bytes> Send(const Bytes& bytes) {
        std::vector<Bytes> answers;
        last = device.Receive(bytes.data(), bytes.size());
        for (const sim::BootExchange& e : last.exchanges)
            answers.push_back(e.answer.value_or(Bytes{}));
        return answers;
    }
    Bytes One(const Bytes& bytes) {
        const std::vector<Bytes> answers = Send(bytes);
        return answers.size() == 1 ? answers[0] : Bytes{0xEE};
    }
    Printer printer;
    sim::RenesasBootDevice device{printer.state, printer.faults};
    sim::BootReply last;
};

const Bytes kAck{0x06};
const Bytes kAddressError{0xD0, 0x2A};

} // namespace

TEST(RenesasBoot, AnswersCommandsSplitAnyWayAndTheNewLoaderMarksItsChecks) {
    Loader loader({"answer=R33:0x15"});
    // Commands may arrive together or cut in the middle, as USB transfers carry them.
    EXPECT_EQ(loader.Send({0x55, 0x32, 0x27}),
              (std::vector<Bytes>{{0xE6}, B("1.07"), {0x37, 0x02, 0x00, 0x04, 0xC3}}));
    EXPECT_TRUE(loader.Send({0x10, 0x04, 0x37, 0x36}).empty());
    EXPECT_EQ(loader.Send({0x30, 0x38, 0x17}), std::vector<Bytes>{kAck});
    EXPECT_EQ(loader.One({0x10, 0x04, 0x37, 0x36, 0x30, 0x38, 0x18}), Bytes{0x15}); // checksum off by one
    EXPECT_EQ(loader.One({0x33}), Bytes{0x15});
    EXPECT_EQ(loader.One({0x4F})[3], 0x00);
    EXPECT_EQ(loader.One({0x62}), (Bytes{0x06, 0x52}));
    EXPECT_EQ(loader.One({0x4F})[3], 0x52);
}

TEST(RenesasBoot, FramesMustFollowEachOtherUpToTheTopAddress) {
    Loader loader;
    EXPECT_EQ(loader.One(Frame(0xFFFFFFF8, B("abcd"))), (Bytes{0xD0, 0x53})); // before the selection
    EXPECT_EQ(loader.One({0x43}), kAck);
    EXPECT_EQ(loader.One(Frame(0xFFFFFFF6, B("abcd"))),
              kAddressError); // 10 bytes to the top: no whole frames
    EXPECT_EQ(loader.One(Frame(0xFFFFFFF8, B("abcd"), 1)), (Bytes{0xD0, 0x11}));
    EXPECT_EQ(loader.One(Frame(0xFFFFFFF4, B("abcd"))), kAck);
    EXPECT_EQ(loader.One(Frame(0xFFFFFFFC, B("ijkl"))), kAddressError); // a frame left out
    EXPECT_EQ(loader.One(Frame(0xFFFFFFF8, B("efgh"))), kAck);
    EXPECT_EQ(loader.One(Frame(0xFFFFFFFF, {})), kAddressError); // terminate: the image stops short
    EXPECT_TRUE(loader.printer.state.Transfers().empty());
    EXPECT_EQ(loader.One(Frame(0xFFFFFFFC, B("ijkl"))), kAck);
    EXPECT_EQ(loader.One(Frame(0xFFFFFFFF, {})), kAck);
    ASSERT_EQ(loader.printer.state.Transfers().size(), 1u);
    const sim::TransferRecord& t = loader.printer.state.Transfers()[0];
    EXPECT_EQ(t.sha256, sim::Sha256Hex(B("abcdefghijkl")));
    EXPECT_EQ(t.lastBank, 2u);
    EXPECT_EQ(loader.printer.state.Firmware(), "2.00");
    EXPECT_FALSE(loader.last.leave);
    EXPECT_EQ(loader.One({0x31}), Bytes{0x52});
    EXPECT_TRUE(loader.last.leave); // the reset sends the loader away and the printer comes back
}
