// The real dalvora as the host of the simulated USB printer: `dalvora-printer-sim --usb -- dalvora ...`
// runs it under umockdev's preload, so the product's real libusb path finds the printer the profile
// describes and lists it (the sessions over USB are in SessionTest and SendTcfxTest); a simulator
// started alone serves a program started by umockdev-wrapper by hand; and lsusb, as a user would try
// it, reads the whole printer.
#include "tests/e2e/SimPrinter.h"
#include "transport/ProductIds.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <unistd.h>

using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

const std::string kVid = [] {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", ProductIds::kVendorId);
    return std::string(text);
}();

// A printer that answers the identification, with the given USB member.
std::string ProfileWithUsb(const std::string& usb) {
    return R"({"name": "Usb-E2E", "gsi": "0x141", "firmware": "E2E FW 1.0", "baud": 9600, "usb": )" + usb +
           R"(, "items": [{"id": 1, "kind": "list", "text": "Speed", "first": 0, "elements": ["A", "B"],
                          "default": 0, "current": 0}]})";
}

// The program's path when it is installed (on PATH), else empty.
std::string Installed(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && ::access((dir + "/" + name).c_str(), X_OK) == 0)
            return dir + "/" + name;
    return {};
}

} // namespace

TEST(UsbSim, DeviceListNamesWhatTheProfileSays) {
    TempDir dir;
    struct Case {
        std::string usb, listed;
    };
    for (const Case& c : {Case{"", kVid + "|0101|SIM000001\n"}, // the default profile
                          Case{R"({"pid": "0x0abc", "serial": "E2E-42"})", kVid + "|0abc|E2E-42\n"},
                          Case{R"({"pid": 513, "serial": null, "class": 0})", kVid + "|0201|\n"},
                          Case{R"({"vid": "0x04b8"})", ""}, // another maker's printer is not listed
                          Case{R"({"class": 255})", ""}}) { // nor one of another class
        std::vector<std::string> simArgs;
        if (!c.usb.empty()) {
            dir.write("p.json", ProfileWithUsb(c.usb));
            simArgs = {"--profile", dir.file("p.json")};
        }
        const ProcessResult r = UnderUsbSim(simArgs, {"--usbdevlist"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "LIST USB DEVICES:\n" + c.listed + "\n") << c.usb;
    }
}

TEST(UsbSim, AServingSimulatorIsReachedThroughUmockdevWrapper) {
    BackgroundProcess sim(DALVORA_SIM_BINARY, {"--usb"});
    const std::string line = sim.ReadLine(10000);
    const std::string prefix = "listening usb " + kVid + "|0101|SIM000001 ";
    ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
    // As the simulator does for its own program: the preload breaks ASan's library order check.
    const char* asan = std::getenv("ASAN_OPTIONS");
    ProcessOptions options;
    options.env = {
        {"QT_QPA_PLATFORM", "offscreen"},
        {"UMOCKDEV_DIR", line.substr(prefix.size())},
        {"ASAN_OPTIONS", std::string(asan != nullptr && *asan != '\0' ? std::string(asan) + ":" : "") +
                             "verify_asan_link_order=0"}};
    for (int run = 0; run < 2; ++run) { // and stays there for the next program
        const ProcessResult r = RunProcess(UMOCKDEV_WRAPPER, {DALVORA_BINARY, "--usbdevlist"}, options);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "LIST USB DEVICES:\n" + kVid + "|0101|SIM000001\n\n");
    }
}

// lsusb -v asks endpoint 0 for every descriptor, each string and the device status, and shows the
// strings from sysfs as well.
TEST(UsbSim, LsusbReadsTheWholePrinter) {
    const std::string lsusb = Installed("lsusb");
    if (lsusb.empty())
        GTEST_SKIP() << "lsusb (usbutils) is not installed";
    const ProcessResult r =
        RunProcess(DALVORA_SIM_BINARY, {"--usb", "--", lsusb, "-v", "-d", kVid + ":0101"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.err, Not(HasSubstr("cannot read device status"))) << r.err;
    EXPECT_THAT(r.out, ContainsRegex("iManufacturer +1 Velmar\n"));
    EXPECT_THAT(r.out, ContainsRegex("iProduct +2 Dalvora-Sim\n"));
    EXPECT_THAT(r.out, ContainsRegex("iSerial +3 SIM000001\n"));
    EXPECT_THAT(r.out, ContainsRegex("Device Status: +0x0000"));
}
