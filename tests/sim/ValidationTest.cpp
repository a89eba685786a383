// What the simulator refuses to start with: a profile breaking a rule (the message names the place)
// and a malformed fault switch.
#include "tests/sim/SimHarness.h"

#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace simtest;
using nlohmann::json;

namespace {

struct BadProfile {
    const char* name;
    std::function<void(json&)> change;
    const char* expected; // part of the message
};

void PrintTo(const BadProfile& bad, std::ostream* out) {
    *out << bad.name;
}

class ProfileRejects : public ::testing::TestWithParam<BadProfile> {};

TEST_P(ProfileRejects, WithAMessageNamingThePlace) {
    json p = json::parse(SmallProfile());
    GetParam().change(p);
    std::string message;
    try {
        (void)sim::LoadProfileText(p.dump(), "t.json");
    } catch (const sim::ProfileError& e) {
        message = e.what();
    }
    EXPECT_NE(message.find(GetParam().expected), std::string::npos) << message;
    EXPECT_EQ(message.rfind("t.json: ", 0), 0u) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProfileRejects,
    ::testing::Values(
        BadProfile{"DuplicateId", [](json& p) { p["items"][1]["id"] = 7; }, "items[1] (id 7): id used twice"},
        BadProfile{"ListCurrentOutside", [](json& p) { p["items"][0]["current"] = 2; },
                   "items[0] (id 7): current 2 is no element's value"},
        BadProfile{"NumericStepZero", [](json& p) { p["items"][1]["step"] = 0; }, "step must be positive"},
        BadProfile{"IpMaskNeedsAddress", [](json& p) { p["items"][2]["current"] = "10.0.0.256"; },
                   "items[2] (id 8).current: mask 0x200 needs an IPv4 address"},
        BadProfile{"DateNotReal", [](json& p) { p["items"][3]["current"] = "2025/02/30 10:00:00"; },
                   "YYYY/MM/DD HH:MM:SS"},
        BadProfile{"CheckboxBytesShort", [](json& p) { p["items"][4]["current"] = {255}; },
                   "need 2 bytes for 9 bits"},
        BadProfile{"LinkToNowhere", [](json& p) { p["items"][1]["links"][0]["source"] = 99; },
                   "links[0]: source id 99 is no item"},
        BadProfile{"TextLooksLikeField", [](json& p) { p["header"][0] = "<C1>"; },
                   "header[0]: text must not start"},
        BadProfile{"TextWithControlByte", [](json& p) { p["items"][0]["text"] = "a\u0003b"; },
                   "non-printable"},
        BadProfile{"ScheduleWrongSize",
                   [](json& p) {
                       p["status"]["general_schedule"][0]["bytes"] = {0, 0};
                   },
                   "status.general_schedule[0]: needs 4 status bytes"},
        BadProfile{"UnknownKind", [](json& p) { p["items"][0]["kind"] = "slider"; },
                   "unknown kind \"slider\""},
        BadProfile{"WrongType", [](json& p) { p["items"][0]["first"] = "zero"; },
                   "items[0].first: expected an integer"},
        BadProfile{"MissingMember", [](json& p) { p["items"][1].erase("max"); }, "items[1]: missing \"max\""},
        BadProfile{"UsbVidTooLarge", [](json& p) { p["usb"]["vid"] = "0x10000"; },
                   "usb.vid: a USB vendor id is 0..0xFFFF"},
        BadProfile{"UsbSerialWithBar", [](json& p) { p["usb"]["serial"] = "A|B"; }, "no '|'"},
        BadProfile{"UpgradeBanksZero",
                   [](json& p) {
                       p["upgrade"] = {{"mode", "U5"}, {"device_ids", "1;2;3"}, {"banks", 0}};
                   },
                   "upgrade.banks: a bank number is one byte"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FaultSyntax, RejectsMalformedSwitches) {
    for (const char* bad : {"delay=x",        "drip=0:5",
                            "drip=3",         "no-answer=C4#0",
                            "no-answer=X4",   "error=C4",
                            "error=C4:100",   "garbage=C4",
                            "drop=C4:x",      "silence=1",
                            "bogus=1",        "wrong-checksum=C256",
                            "stale=",         "answer=PROGRAM:0x100",
                            "answer=MODULE",  "slow-restart=PROGRAM",
                            "no-return=",     "bad-sum=X",
                            "other-release=", "late=C4",
                            "late=C4#0:5",    "split=C4:3",
                            "split=C4:0:5"}) {
        sim::FaultSet set;
        EXPECT_THROW(sim::AddFault(set, bad), sim::FaultSyntaxError) << bad;
    }
}

// Overrides that take effect are seen by every end-to-end upgrade run; here, the one that cannot.
TEST(ProfileOverrides, APathThatIsNoObjectIsRefused) {
    EXPECT_THROW((void)sim::LoadProfileText(SmallProfile(), "t.json", {"items.x=1"}), sim::ProfileError);
}

} // namespace
