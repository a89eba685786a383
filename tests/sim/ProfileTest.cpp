// Profile loading and validation: every rule names the culprit, and the default profile holds every
// kind of item and section the other suites drive.
#include "tests/sim/SimHarness.h"

#include "sim/Options.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <set>

using namespace simtest;
using nlohmann::json;

namespace {

std::string Mutated(const std::function<void(json&)>& change) {
    json p = json::parse(SmallProfile());
    change(p);
    return p.dump();
}

std::string LoadError(const std::string& text) {
    try {
        (void)sim::LoadProfileText(text, "t.json");
    } catch (const sim::ProfileError& e) {
        return e.what();
    }
    return "";
}

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
    const std::string message = LoadError(Mutated(GetParam().change));
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
        BadProfile{"NumericMinNotBelowMax", [](json& p) { p["items"][1]["min"] = 80; },
                   "min must be below max"},
        BadProfile{"IpMaskNeedsAddress", [](json& p) { p["items"][2]["current"] = "10.0.0.256"; },
                   "items[2] (id 8).current: mask 0x200 needs an IPv4 address"},
        BadProfile{"StringTooLong", [](json& p) { p["items"][2]["max_len"] = 7; }, "length outside"},
        BadProfile{"DateNotReal", [](json& p) { p["items"][3]["current"] = "2025/02/30 10:00:00"; },
                   "YYYY/MM/DD HH:MM:SS"},
        BadProfile{"CheckboxBytesShort", [](json& p) { p["items"][4]["current"] = {255}; },
                   "need 2 bytes for 9 bits"},
        BadProfile{"LinkToNowhere", [](json& p) { p["items"][1]["links"][0]["source"] = 99; },
                   "links[0]: source id 99 is no item"},
        BadProfile{"LinkThreeParts", [](json& p) { p["items"][1]["links"][0]["op"] = "H,D,S"; },
                   "two parts separated by one comma"},
        BadProfile{"TextLooksLikeField", [](json& p) { p["header"][0] = "<C1>"; },
                   "header[0]: text must not start"},
        BadProfile{"TextWithControlByte", [](json& p) { p["items"][0]["text"] = "a\u0003b"; },
                   "non-printable"},
        BadProfile{"GsiTooSmall", [](json& p) { p["gsi"] = 0x41; }, "gsi: identity code"},
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
        BadProfile{"UsbSerialTooLong", [](json& p) { p["usb"]["serial"] = std::string(127, 'A'); },
                   "usb.serial: needs 1..126 characters"},
        BadProfile{"UsbSerialWithBar", [](json& p) { p["usb"]["serial"] = "A|B"; }, "no '|'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ShippedProfiles, DefaultHasEveryKindOfItemAndSection) {
    const sim::Profile p = sim::LoadProfileFile(sim::ResolveProfilePath("default"));
    std::set<int> kinds;
    bool password = false, ipv4 = false, twoPartLink = false;
    for (const auto& item : p.items) {
        kinds.insert(static_cast<int>(item.kind));
        password |= item.kind == sim::ItemKind::String && (item.dataMask & 1) != 0;
        ipv4 |= item.kind == sim::ItemKind::String && (item.dataMask & 0x200) != 0;
        for (const auto& l : item.links)
            twoPartLink |= l.viewOperation.find(',') != std::string::npos;
    }
    EXPECT_EQ(kinds, (std::set<int>{1, 2, 3, 4, 5}));
    EXPECT_TRUE(password && ipv4 && twoPartLink);
    EXPECT_TRUE(p.capabilities && p.tools && p.status && p.upgrade && p.lifeInfo && p.modules);
    // Its USB serial number is the one its device information tells.
    ASSERT_TRUE(p.usb.serial && p.deviceInfo);
    EXPECT_NE(std::find((*p.deviceInfo).begin(), (*p.deviceInfo).end(), "Serial number: " + *p.usb.serial),
              (*p.deviceInfo).end());
}

} // namespace
