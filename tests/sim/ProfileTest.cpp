// Profile loading and validation: every rule names the culprit, and the shipped profiles are the
// printers the issue asks for.
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
        BadProfile{"ListWithoutElements", [](json& p) { p["items"][0]["elements"] = json::array(); },
                   "at least one element"},
        BadProfile{"NumericStepZero", [](json& p) { p["items"][1]["step"] = 0; }, "step must be positive"},
        BadProfile{"NumericMinNotBelowMax", [](json& p) { p["items"][1]["min"] = 80; },
                   "min must be below max"},
        BadProfile{"NumericCurrentOutside", [](json& p) { p["items"][1]["current"] = 81; },
                   "current outside"},
        BadProfile{"IpMaskNeedsAddress", [](json& p) { p["items"][2]["current"] = "10.0.0.256"; },
                   "items[2] (id 8).current: mask 0x200 needs an IPv4 address"},
        BadProfile{"StringMaskZero", [](json& p) { p["items"][2]["mask"] = 0; }, "mask can't be 0"},
        BadProfile{"StringTooLong", [](json& p) { p["items"][2]["max_len"] = 7; }, "length outside"},
        BadProfile{"DateNotReal", [](json& p) { p["items"][3]["current"] = "2025/02/30 10:00:00"; },
                   "YYYY/MM/DD HH:MM:SS"},
        BadProfile{"CheckboxBytesShort", [](json& p) { p["items"][4]["current"] = {255}; },
                   "need 2 bytes for 9 bits"},
        BadProfile{"CheckboxBitTwice", [](json& p) { p["items"][4]["elements"][8]["bit"] = 0; },
                   "bit used twice"},
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
        BadProfile{"UsbNotAnObject", [](json& p) { p["usb"] = 7; }, "usb: expected an object"},
        BadProfile{"UsbVidTooLarge", [](json& p) { p["usb"]["vid"] = "0x10000"; },
                   "usb.vid: a USB vendor id is 0..0xFFFF"},
        BadProfile{"UsbPidTooLarge", [](json& p) { p["usb"]["pid"] = 65536; }, "usb.pid: a USB product id"},
        BadProfile{"UsbClassTooLarge", [](json& p) { p["usb"]["class"] = 256; }, "usb.class: a USB class"},
        BadProfile{"UsbSerialEmpty", [](json& p) { p["usb"]["serial"] = ""; },
                   "usb.serial: needs 1..126 characters"},
        BadProfile{"UsbSerialTooLong", [](json& p) { p["usb"]["serial"] = std::string(127, 'A'); },
                   "usb.serial: needs 1..126 characters"},
        BadProfile{"UsbSerialWithBar", [](json& p) { p["usb"]["serial"] = "A|B"; }, "no '|'"},
        BadProfile{"UsbSerialNotText", [](json& p) { p["usb"]["serial"] = 5; },
                   "usb.serial: expected a text"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileLoad, RejectsBrokenJsonAndNumbersGivenAsHexTexts) {
    EXPECT_NE(LoadError("{").find("not valid JSON"), std::string::npos);
    const sim::Profile p =
        sim::LoadProfileText(SmallProfile(R"({"gsi": "0x1234", "capabilities": "0x1B5"})"), "t");
    EXPECT_EQ(p.gsi, 0x1234u);
    EXPECT_EQ(p.capabilities, 0x1B5u);
    EXPECT_FALSE(
        sim::LoadProfileText(SmallProfile(R"({"capabilities": null})"), "t").capabilities.has_value());
}

TEST(ProfileLoad, UsbIdentityDefaultsToTheMakersPrinter) {
    const sim::UsbSection byDefault = sim::LoadProfileText(SmallProfile(), "t").usb;
    EXPECT_EQ(byDefault.vid, ProductIds::kVendorId);
    EXPECT_EQ(byDefault.pid, 0x0101u);
    EXPECT_EQ(byDefault.serial, "SIM000001");
    EXPECT_EQ(byDefault.deviceClass, ProductIds::kPrinterClass);
    // Members given replace only themselves; null means no serial-number descriptor.
    const sim::UsbSection given =
        sim::LoadProfileText(SmallProfile(R"({"usb": {"pid": "0x0abc", "serial": null, "class": 0}})"), "t")
            .usb;
    EXPECT_EQ(given.vid, ProductIds::kVendorId);
    EXPECT_EQ(given.pid, 0x0ABCu);
    EXPECT_FALSE(given.serial.has_value());
    EXPECT_EQ(given.deviceClass, 0u);
    const std::string longest(126, 'Z');
    EXPECT_EQ(
        sim::LoadProfileText(SmallProfile(R"({"usb": {"serial": ")" + longest + R"("}})"), "t").usb.serial,
        longest);
}

TEST(ShippedProfiles, DefaultIsARealisticPrinter) {
    const sim::Profile p = sim::LoadProfileFile(sim::ResolveProfilePath("default"));
    EXPECT_GE(p.items.size(), 55u);
    std::set<int> kinds;
    std::set<int> pages;
    bool password = false, ipv4 = false, twoPartLink = false;
    // The eight setup pages by id range.
    const auto page = [](uint32_t id) {
        if ((id >= 1 && id <= 100) || (id >= 1000 && id <= 10000))
            return 0;
        if ((id >= 101 && id <= 200) || (id >= 10001 && id <= 20000))
            return 1;
        if ((id >= 201 && id <= 250) || (id >= 20001 && id <= 25000))
            return 2;
        if ((id >= 251 && id <= 999) || (id >= 25001 && id <= 65000))
            return 3;
        if (id >= 65001 && id <= 65200)
            return 4;
        if (id >= 65351 && id <= 65535)
            return 5;
        if (id >= 65201 && id <= 65300)
            return 6;
        if (id >= 65301 && id <= 65350)
            return 7;
        return -1;
    };
    for (const auto& item : p.items) {
        kinds.insert(static_cast<int>(item.kind));
        pages.insert(page(item.id));
        password |= item.kind == sim::ItemKind::String && (item.dataMask & 1) != 0;
        ipv4 |= item.kind == sim::ItemKind::String && (item.dataMask & 0x200) != 0;
        for (const auto& l : item.links)
            twoPartLink |= l.viewOperation.find(',') != std::string::npos;
    }
    EXPECT_EQ(kinds, (std::set<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(pages, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_TRUE(password);
    EXPECT_TRUE(ipv4);
    EXPECT_TRUE(twoPartLink);
    EXPECT_TRUE(p.capabilities && p.tools && p.status && p.upgrade && p.lifeInfo && p.modules);
    // Its USB serial number is the one its device information tells.
    ASSERT_TRUE(p.usb.serial && p.deviceInfo);
    EXPECT_NE(std::find((*p.deviceInfo).begin(), (*p.deviceInfo).end(), "Serial number: " + *p.usb.serial),
              (*p.deviceInfo).end());
}

TEST(ShippedProfiles, LargeAndMinimal) {
    const sim::Profile large = sim::LoadProfileFile(sim::ResolveProfilePath("large"));
    EXPECT_GE(large.items.size(), 600u);
    const sim::Profile minimal = sim::LoadProfileFile(sim::ResolveProfilePath("minimal"));
    EXPECT_FALSE(minimal.capabilities.has_value());
    EXPECT_FALSE(minimal.tools || minimal.status);
}

} // namespace
