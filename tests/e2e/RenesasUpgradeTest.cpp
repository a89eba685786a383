// --upgrade in modes U2 and U4 end to end: the real dalvora switches the simulated USB printer into its
// Renesas boot loader, finds the boot device the simulator plugs in its place through its own libusb
// code, programs the image frame by frame and sends the modules once the printer is back. The boot
// device checks every frame and records the image it reassembled.
#include "tests/e2e/SimPrinter.h"
#include "tests/e2e/UpgradeFiles.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct BootRun {
    ProcessResult result;
    std::vector<SimTransfer> transfers;
    std::vector<std::string> order;
    std::vector<std::string> requests;
    int Count(const std::string& name) const {
        return static_cast<int>(std::count(requests.begin(), requests.end(), name));
    }
};

// A U2/U4 printer on USB, with its boot loader's settings and faults.
[[maybe_unused]] BootRun Upgrade(const std::string& mode, const std::vector<std::string>& sets,
                                 const std::vector<std::string>& faults, const UpgradeFile& file) {
    TempDir dir;
    SimTranscript transcript(dir.file("transcript.jsonl"));
    std::vector<std::string> simArgs{"--transcript",         transcript.Path(), "--set",
                                     "upgrade.mode=" + mode, "--set",           "upgrade.device_ids=1;2;3"};
    for (const std::string& set : sets)
        simArgs.insert(simArgs.end(), {"--set", set});
    for (const std::string& fault : faults)
        simArgs.insert(simArgs.end(), {"--fault", fault});
    ProcessResult result = DalvoraOverUsb(simArgs, {"--upgrade", "-v", "-lv", "-f", file.path}, 90000);
    return {std::move(result), transcript.Transfers(), transcript.TransferOrder(), transcript.Requests()};
}

} // namespace

#if DALVORA_UPGRADE_OVER_USB
// The boot device gets the image byte for byte; U2 resets it (0x31), U4 never does and the printer
// returns when its user restarts it. Only a boot loader of release 1.00 or later saves its security,
// and the new one (0x15) is asked for its new save as well. The modules follow once the printer is back.
TEST(RenesasUpgradeE2e, U2AndU4ProgramTheImageAndSendTheModulesAfterIt) {
    const struct {
        std::string mode;
        PackageShape package;
        std::vector<std::string> sets;
        std::vector<std::string> order;
        bool security, newLoader;
        size_t frameSize = 128;
    } cases[] = {
        {"U2", {.modules = "fl"}, {}, {"firmware:renesas", "module:F", "module:L"}, true, false},
        {"U2",
         {.format = 1, .banks = 3, .bankSize = 256},
         {"upgrade.boot.new_loader=true"},
         {"firmware:renesas"},
         true,
         true},
        {"U2",
         {},
         {R"(upgrade.boot.release="0.99")", "upgrade.boot.programming_size=256"},
         {"firmware:renesas"},
         false,
         false,
         256},
        {"U4",
         {.modules = "d"},
         {"upgrade.boot.power_cycle_ms=200"},
         {"firmware:renesas", "module:D"},
         false,
         false},
        {"U4",
         {.format = 1, .banks = 2},
         {"upgrade.boot.power_cycle_ms=200"},
         {"firmware:renesas"},
         false,
         false},
    };
    for (const auto& c : cases) {
        const std::string name = c.mode + " format " + std::to_string(c.package.format) + " modules '" +
                                 c.package.modules + "' " + (c.sets.empty() ? "" : c.sets.front());
        TempDir dir;
        const UpgradeFile file = WriteUpgradePackage(dir, c.package);
        const BootRun run = Upgrade(c.mode, c.sets, {}, file);
        EXPECT_EQ(run.result.exitCode, 0) << name << "\n" << run.result.out << run.result.err;
        EXPECT_TRUE(Has(run.result.out, "OPERATION SUCCESS\n")) << name;
        EXPECT_EQ(run.order, c.order) << name;
        ASSERT_FALSE(run.transfers.empty()) << name;
        EXPECT_EQ(run.transfers[0].sha256, Sha256Of(file.firmware)) << name;
        EXPECT_EQ(run.Count("R31"), c.mode == "U2" ? 1 : 0) << name;
        // Only U4 has to ask for the restart, and only when modules wait for the printer.
        EXPECT_EQ(Has(run.result.out, "reset the printer, than press Enter to continue!"),
                  c.mode == "U4" && !c.package.modules.empty())
            << name;
        EXPECT_EQ(run.Count("R33"), c.security ? 1 : 0) << name;
        EXPECT_EQ(run.Count("R34"), c.newLoader ? 1 : 0) << name;
        EXPECT_EQ(run.Count("R50"), static_cast<int>(file.firmware.size() / c.frameSize)) << name;
    }
}

// Every fault of the boot loader ends the run with its message and a failure status within the
// (scaled) waits; a bank rejected once is sent again and the upgrade succeeds.
TEST(RenesasUpgradeE2e, BootLoaderFaultsEndWithTheirMessage) {
    const struct {
        std::string what;
        std::vector<std::string> faults;
        int status;
        std::string message;
        int frames; // frames the boot device saw
    } cases[] = {
        {"bank 2 rejected once (address)",
         {"answer=R50#2:0x2A"},
         0,
         "ERROR: wrong response: ADDRESS error!",
         17},
        {"bank 3 rejected once (programming)",
         {"answer=R50#3:0x53"},
         0,
         "ERROR: wrong response: PROGRAMMING error!",
         17},
        {"last bank rejected once (checksum)",
         {"answer=R50#16:0x11"},
         0,
         "ERROR: wrong response: CHECKSUM error!",
         17},
        {"bank 2 rejected twice", {"answer=R50#2:0x53", "answer=R50#3:0x53"}, 11, "Exit..", 3},
        {"bank 1 rejected twice", {"answer=R50#1:0x11", "answer=R50#2:0x2A"}, 11, "Exit..", 2},
        {"no boot device", {"no-return=BOOT"}, 11, "Error waiting renesas device timeout...", 0},
        {"bit rate adjustment", {"answer=R55:0x00"}, 11, "Init Renesas connection Error(1)", 0},
        {"release unanswered", {"no-answer=R32"}, 11, "Init Renesas connection Error(1)", 0},
        {"save security", {"answer=R33:0x00"}, 11, "Init Renesas connection Error(1)", 0},
        {"programming size", {"answer=R27:0x00"}, 11, "Init Renesas connection Error(1)", 0},
        {"device selection", {"answer=R10:0x15"}, 11, "Init Renesas connection Error(1)", 0},
        {"clock mode", {"no-answer=R11"}, 11, "Init Renesas connection Error(1)", 0},
        {"user area", {"answer=R25:0x00"}, 11, "Init Renesas connection Error(1)", 0},
        {"bit rate selection", {"answer=R3F:0x15"}, 11, "Init Renesas connection Error(1)", 0},
        {"confirmation", {"no-answer=R06"}, 11, "Init Renesas connection Error(1)", 0},
        {"state transition", {"answer=R40:0x15"}, 11, "Init Renesas connection Error(1)", 0},
        {"status in the connection", {"answer=R4F#1:0x00"}, 11, "Init Renesas connection Error(1)", 0},
        {"user blank check", {"no-answer=R4D"}, 11, "Init Renesas connection Error(1)", 0},
        {"data blank check", {"answer=R62:0x15"}, 11, "Init Renesas connection Error(1)", 0},
        {"status before programming", {"no-answer=R4F#2"}, 11, "ERROR: wrong response! exit...", 0},
        {"area selection", {"answer=R43:0x15"}, 11, "ERROR: wrong response! exit...", 0},
        {"terminate", {"answer=RTERM:0x15"}, 11, "ERROR: wrong response! exit...", 16},
        {"lock bit", {"no-answer=R7A"}, 11, "ERROR: wrong response! exit...", 16},
        {"reset", {"answer=R31:0x06"}, 11, "ERROR: wrong response! exit...", 16},
    };
    TempDir dir;
    const UpgradeFile file = WriteUpgradePackage(dir, {});
    for (const auto& c : cases) {
        const BootRun run = Upgrade("U2", {}, c.faults, file);
        EXPECT_FALSE(run.result.timedOut) << c.what;
        EXPECT_EQ(run.result.exitCode, c.status) << c.what << "\n" << run.result.out << run.result.err;
        EXPECT_TRUE(Has(run.result.out + run.result.err, c.message)) << c.what;
        EXPECT_EQ(run.Count("R50"), c.frames) << c.what;
        // A bank sent again replaces the rejected one: the loader reassembles the image unchanged.
        if (c.status == 0) {
            EXPECT_EQ(run.transfers.at(0).sha256, Sha256Of(file.firmware)) << c.what;
        }
        // After a failure inside the dialogue the boot loader is reset, so the printer is not left in it.
        if (c.status != 0 && c.frames > 0) {
            EXPECT_GE(run.Count("R31"), 1) << c.what;
        }
    }
}
#endif

TEST(RenesasUpgradeE2e, U2AndU4OverEthernetAreRefusedBeforeAnythingIsSent) {
    TempDir dir;
    const UpgradeFile format2 = WriteUpgradePackage(dir, {}, "f2.psw");
    const UpgradeFile format1 = WriteUpgradePackage(dir, {.format = 1}, "f1.psw");
    for (const std::string mode : {"U2", "U4"})
        for (const UpgradeFile* file : {&format2, &format1}) {
            SimPrinter printer({.sets = {"upgrade.mode=" + mode, "upgrade.device_ids=1;2;3"}});
            ASSERT_TRUE(printer.Started());
            const ProcessResult r =
                Dalvora(Args({"--upgrade", "-v", "-f", file->path}, printer.DeviceArgs()));
            EXPECT_EQ(r.exitCode, 11) << mode << "\n" << r.out << r.err;
            EXPECT_TRUE(Has(r.out, "Communication port not supported (only USB)")) << mode << "\n" << r.out;
            EXPECT_EQ(printer.Count("BOOT"), 0) << mode;
            EXPECT_TRUE(printer.Log().Transfers().empty()) << mode;
        }
}
