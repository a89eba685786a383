// The real dalvora as the host of the simulated USB printer: `dalvora-printer-sim --usb -- dalvora ...`
// runs it under umockdev's preload, so the product's real libusb path finds the printer the profile
// describes, lists it and talks to it; and a simulator started alone serves a program started by
// umockdev-wrapper by hand.
#include "tests/support/BackgroundProcess.h"
#include "tests/support/ProcessRunner.h"
#include "tests/support/SimTranscript.h"
#include "tests/support/TempDir.h"
#include "transport/ProductIds.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

const std::string kSim = DALVORA_SIM_BINARY;
const std::string kDalvora = DALVORA_BINARY;

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

const std::string kVid = Hex4(ProductIds::kVendorId);

ProcessOptions Quick() {
    ProcessOptions options;
    options.env = {{"QT_QPA_PLATFORM", "offscreen"}, {"DALVORA_TESTONLY_TIME_SCALE", "0.1"}};
    return options;
}

// dalvora with these arguments, as the USB host of the simulator started with `simArgs`.
ProcessResult ThroughSim(std::vector<std::string> simArgs, const std::vector<std::string>& dalvoraArgs) {
    simArgs.insert(simArgs.end(), {"--usb", "--", kDalvora});
    simArgs.insert(simArgs.end(), dalvoraArgs.begin(), dalvoraArgs.end());
    return RunProcess(kSim, simArgs, Quick());
}

// A printer that answers the identification, with the given USB member.
std::string ProfileWithUsb(const std::string& usb) {
    return R"({"name": "Usb-E2E", "gsi": "0x141", "firmware": "E2E FW 1.0", "baud": 9600, "usb": )" + usb +
           R"(, "items": [{"id": 1, "kind": "list", "text": "Speed", "first": 0, "elements": ["A", "B"],
                          "default": 0, "current": 0}]})";
}

} // namespace

TEST(UsbSim, DeviceListNamesTheDefaultPrinter) {
    const ProcessResult r = ThroughSim({}, {"--usbdevlist"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "LIST USB DEVICES:\n" + kVid + "|0101|SIM000001\n\n");
}

TEST(UsbSim, DeviceListNamesWhatTheProfileSays) {
    TempDir dir;
    struct Case {
        std::string usb, listed;
    };
    for (const Case& c : {Case{R"({"pid": "0x0abc", "serial": "E2E-42"})", kVid + "|0abc|E2E-42\n"},
                          Case{R"({"pid": 513, "serial": null, "class": 0})", kVid + "|0201|\n"},
                          Case{R"({"vid": "0x04b8"})", ""}, // another maker's printer is not listed
                          Case{R"({"class": 255})", ""}}) { // nor one of another class
        dir.write("p.json", ProfileWithUsb(c.usb));
        const ProcessResult r = ThroughSim({"--profile", dir.file("p.json")}, {"--usbdevlist"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "LIST USB DEVICES:\n" + c.listed + "\n") << c.usb;
    }
}

TEST(UsbSim, PrinterVersionOfTheFirstPrinterOverUsb) {
    TempDir dir;
    dir.write("p.json", ProfileWithUsb(R"({"serial": "V1"})"));
    const ProcessResult r = ThroughSim({"--profile", dir.file("p.json"), "--transcript", dir.file("t.jsonl")},
                                       {"--printerversion", "-t", "usb", "-d", "ANY", "-v"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("E2E FW 1.0"), std::string::npos) << r.out;
    // The identification went over USB and was answered there; the product's opens were all closed.
    int opens = 0;
    bool gsi = false, firmware = false;
    const std::vector<nlohmann::json> lines = SimTranscript(dir.file("t.jsonl")).Lines();
    for (const nlohmann::json& line : lines) {
        EXPECT_EQ(line["via"], "usb");
        const std::string event = line.value("event", "");
        opens += event == "connect" ? 1 : event == "disconnect" ? -1 : 0;
        gsi |= line.value("request", "") == "GSI" && line["answered"] == "41";
        firmware |= line.value("request", "") == "FWREL" && line["answered"].is_string();
    }
    EXPECT_TRUE(gsi && firmware);
    EXPECT_EQ(opens, 0);
}

TEST(UsbSim, AServingSimulatorIsReachedThroughUmockdevWrapper) {
    BackgroundProcess sim(kSim, {"--usb"});
    const std::string line = sim.ReadLine(10000);
    const std::string prefix = "listening usb " + kVid + "|0101|SIM000001 ";
    ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
    ProcessOptions options = Quick();
    options.env.emplace_back("UMOCKDEV_DIR", line.substr(prefix.size()));
    // As the simulator does for its own program: the preload breaks ASan's library order check.
    const char* asan = std::getenv("ASAN_OPTIONS");
    options.env.emplace_back("ASAN_OPTIONS",
                             std::string(asan != nullptr && *asan != '\0' ? std::string(asan) + ":" : "") +
                                 "verify_asan_link_order=0");
    for (int run = 0; run < 2; ++run) { // and stays there for the next program
        const ProcessResult r = RunProcess(UMOCKDEV_WRAPPER, {kDalvora, "--usbdevlist"}, options);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "LIST USB DEVICES:\n" + kVid + "|0101|SIM000001\n\n");
    }
}
