// dalvoractl end to end against simulated printers over TCP, a pty and USB: what diff announces is what
// apply then sends, the read-back check catches a printer that acknowledges and keeps its old value,
// a fleet carries on past failing printers, and every write leaves its audit line.
#include "tests/e2e/CtlRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

// Items the changed printers differ in from the default profile: baud rate 2 (4), DHCP on (off).
const std::map<int, nlohmann::json> kChanged = {{1, 2}, {5, 1}};

std::vector<std::string> ChangeIds(const nlohmann::json& printer) {
    std::vector<std::string> ids;
    for (const nlohmann::json& change : printer["changes"])
        ids.push_back(std::to_string(change["id"].get<uint64_t>()));
    return ids;
}

class CtlSession : public ::testing::Test {
protected:
    // The archive of an unchanged printer, read with `read -o`.
    std::string DefaultArchive() {
        SimPrinter source;
        EXPECT_TRUE(source.Started());
        const std::string path = ctl.File("default.tcfx");
        const nlohmann::json read = ctl.Json({"read", CtlAddress(source), "-o", path});
        EXPECT_EQ(read["status"], 0);
        EXPECT_FALSE(read["printers"][0]["setup"].empty());
        return path;
    }

    CtlRunner ctl;
};

TEST_F(CtlSession, DiffAnnouncesExactlyWhatApplyWrites) {
    const std::string archive = DefaultArchive();
    SimPrinter printer({.profile = ctl.ProfileWith(kChanged, "changed")});
    ASSERT_TRUE(printer.Started());

    const nlohmann::json diff = ctl.Json({"diff", archive, CtlAddress(printer)});
    EXPECT_EQ(diff["status"], 0);
    EXPECT_TRUE(SetValueIds(printer.Log()).empty()) << "diff wrote to the printer";
    const std::vector<std::string> announced = ChangeIds(diff["printers"][0]);
    ASSERT_GE(announced.size(), 2u);
    EXPECT_EQ(diff["printers"][0]["changes"][0]["from"], "2");
    EXPECT_EQ(diff["printers"][0]["changes"][0]["to"], "4");

    const nlohmann::json apply = ctl.Json({"apply", "--verify", archive, CtlAddress(printer)});
    EXPECT_EQ(apply["status"], 0);
    EXPECT_EQ(apply["printers"][0]["verified"], true);
    EXPECT_EQ(SetValueIds(printer.Log()), announced);
    EXPECT_EQ(ChangeIds(apply["printers"][0]), announced);

    const std::vector<nlohmann::json> trail = ctl.TrailLines();
    ASSERT_EQ(trail.size(), 1u);
    EXPECT_EQ(trail[0]["front_end"], "dalvoractl");
    EXPECT_EQ(trail[0]["result"]["ok"], true);
    EXPECT_EQ(trail[0]["items"][0]["old"], "2");
    EXPECT_EQ(trail[0]["items"][0]["new"], "4");
}

TEST_F(CtlSession, VerifyCatchesAPrinterThatKeepsItsOldValue) {
    const std::string archive = DefaultArchive();
    SimPrinter printer({.profile = ctl.ProfileWith(kChanged, "changed"), .faults = {"keep-old=5"}});
    ASSERT_TRUE(printer.Started());

    // Without the check the write looks fine: the printer acknowledged every value.
    ProcessResult blind;
    EXPECT_EQ(ctl.Json({"apply", archive, CtlAddress(printer)}, &blind)["status"], 0);

    ProcessResult checked;
    const nlohmann::json apply = ctl.Json({"apply", "--verify", archive, CtlAddress(printer)}, &checked);
    EXPECT_EQ(checked.exitCode, 4);
    const nlohmann::json& result = apply["printers"][0];
    EXPECT_EQ(result["state"], "failed");
    ASSERT_EQ(result["not_held"].size(), 1u);
    EXPECT_EQ(result["not_held"][0]["id"], 5);
    EXPECT_EQ(result["not_held"][0]["written"], "0");
    EXPECT_EQ(result["not_held"][0]["held"], "1");

    const ProcessResult human = ctl.Run({"apply", "--verify", archive, CtlAddress(printer)});
    EXPECT_EQ(human.exitCode, 4);
    EXPECT_TRUE(Has(human.out, "NOT HELD")) << human.out;
    const std::vector<nlohmann::json> trail = ctl.TrailLines();
    ASSERT_EQ(trail.size(), 3u);
    EXPECT_EQ(trail[1]["result"]["ok"], false);
}

TEST_F(CtlSession, AnArchiveOfAnotherPrinterIsRefusedUnwritten) {
    SimPrinter other({.profile = "minimal"});
    ASSERT_TRUE(other.Started());
    const std::string archive = ctl.File("minimal.tcfx");
    ASSERT_EQ(ctl.Run({"-q", "read", CtlAddress(other), "-o", archive}).exitCode, 0);
    SimPrinter printer;
    ASSERT_TRUE(printer.Started());

    ProcessResult run;
    const nlohmann::json diff = ctl.Json({"diff", archive, CtlAddress(printer)}, &run);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(diff["printers"][0]["compatible"], false);
    EXPECT_EQ(ctl.Run({"apply", archive, CtlAddress(printer)}).exitCode, 1);
    EXPECT_TRUE(SetValueIds(printer.Log()).empty());
}

TEST_F(CtlSession, SerialLineReadApplyAndBackup) {
    const std::string archive = DefaultArchive();
    SimPrinter printer({.profile = ctl.ProfileWith(kChanged, "changed"), .pty = true});
    ASSERT_TRUE(printer.Started());
    const std::string address = CtlAddress(printer);

    EXPECT_EQ(ctl.Json({"read", address})["printers"][0]["identity"]["gsi"], "0x0141");
    const nlohmann::json apply = ctl.Json({"apply", "--verify", archive, address});
    EXPECT_EQ(apply["status"], 0);
    EXPECT_EQ(SetValueIds(printer.Log()), ChangeIds(apply["printers"][0]));

    std::filesystem::create_directory(ctl.File("backups"));
    const nlohmann::json backup = ctl.Json({"backup", address, "--dir", ctl.File("backups")});
    EXPECT_EQ(backup["status"], 0);
    const std::string file = backup["printers"][0]["file"];
    EXPECT_TRUE(Has(file, "0x0141_TK180-FW-3.12.4-SIM_ser-")) << file;
    // The backup is an archive that fits the printer it came from: nothing but the clock to write.
    const nlohmann::json again = ctl.Json({"diff", file, address});
    EXPECT_EQ(again["printers"][0]["compatible"], true);
    EXPECT_EQ(ChangeIds(again["printers"][0]), std::vector<std::string>{"251"});
}

TEST_F(CtlSession, FleetCarriesOnPastFailingPrinters) {
    const std::string archive = DefaultArchive();
    const std::string changed = ctl.ProfileWith(kChanged, "changed");
    std::vector<std::unique_ptr<SimPrinter>> fleet;
    std::string inventory;
    for (int i = 0; i < 20; ++i) {
        SimOptions options{.profile = changed};
        if (i == 6 || i == 13)
            options.faults = {"silence"};
        fleet.push_back(std::make_unique<SimPrinter>(options));
        ASSERT_TRUE(fleet.back()->Started());
        inventory +=
            CtlAddress(*fleet.back()) + " till-" + std::to_string(i) + (i % 2 ? " odd\n" : " even\n");
    }
    const std::string inventoryPath = ctl.File("fleet.txt");
    std::ofstream(inventoryPath) << inventory;

    ProcessResult run;
    const nlohmann::json apply =
        ctl.Json({"-i", inventoryPath, "apply", "--verify", "--parallel", "8", archive}, &run);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(apply["summary"], (nlohmann::json{{"ok", 18}, {"failed", 2}, {"skipped", 0}}));
    EXPECT_EQ(apply["printers"][6]["name"], "till-6");
    EXPECT_EQ(apply["printers"][6]["state"], "failed");
    EXPECT_EQ(apply["printers"][13]["state"], "failed");
    const nlohmann::json history = ctl.Json({"history"});
    EXPECT_EQ(history["entries"].size(), 20u);

    const ProcessResult human =
        ctl.Run({"apply", archive, "-i", inventoryPath, "--tag", "odd", "--parallel", "4"});
    EXPECT_EQ(human.exitCode, 1);
    EXPECT_TRUE(Has(human.out, "ok 9, failed 1, skipped 0")) << human.out;
    EXPECT_TRUE(Has(human.out, "till-13: failed")) << human.out;
    EXPECT_TRUE(Has(human.err, "[10/10]")) << human.err;
}

TEST_F(CtlSession, MistakesEndBeforeAnyPrinterIsTouched) {
    SimPrinter printer;
    ASSERT_TRUE(printer.Started());
    EXPECT_EQ(ctl.Run({"read"}).exitCode, 2);
    EXPECT_EQ(ctl.Run({"read", "10.0.0.5"}).exitCode, 2);
    EXPECT_EQ(ctl.Run({"apply", "--parallel", "0", "x.tcfx", CtlAddress(printer)}).exitCode, 2);
    EXPECT_EQ(ctl.Run({"history", "--since", "last week"}).exitCode, 2);
    const std::string notArchive = ctl.File("notes.tcfx");
    std::ofstream(notArchive) << "hello";
    EXPECT_EQ(ctl.Run({"apply", notArchive, CtlAddress(printer)}).exitCode, 3);
    EXPECT_FALSE(printer.Log().AnyConnection());
    EXPECT_TRUE(ctl.TrailLines().empty());
}

TEST_F(CtlSession, DalvoraCommandLineWritesLeaveAnAuditLine) {
    const std::string archive = DefaultArchive();
    SimPrinter printer({.profile = ctl.ProfileWith(kChanged, "changed")});
    ASSERT_TRUE(printer.Started());
    ProcessOptions options;
    options.env = {{"DALVORA_TESTONLY_TIME_SCALE", kTimeScale}, {"XDG_STATE_HOME", ctl.StateHome()}};
    const ProcessResult run = RunProcess(
        DALVORA_BINARY, Args({"--sendtcfx", "-f", archive, "-od", "1"}, printer.DeviceArgs()), options);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    const std::vector<nlohmann::json> trail = ctl.TrailLines();
    ASSERT_EQ(trail.size(), 1u);
    EXPECT_EQ(trail[0]["front_end"], "dalvora");
    EXPECT_EQ(trail[0]["printer"]["port"], "eth:127.0.0.1:" + std::to_string(printer.Port()));
    EXPECT_EQ(trail[0]["items"].size(), SetValueIds(printer.Log()).size());
}

#if DALVORACTL_OVER_USB
TEST_F(CtlSession, UsbPrinterListReadAndApply) {
    const std::string archive = DefaultArchive();
    const std::vector<std::string> sim = {"--profile", ctl.ProfileWith(kChanged, "changed")};
    const ProcessResult list = ctl.RunOverUsb(sim, {"--json", "list"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    const nlohmann::json listed = nlohmann::json::parse(list.out);
    EXPECT_EQ(SchemaErrors(listed), "");
    ASSERT_EQ(listed["printers"].size(), 1u);
    EXPECT_EQ(listed["printers"][0]["identity"]["gsi"], "0x0141");

    const ProcessResult apply = ctl.RunOverUsb(sim, {"--json", "apply", "--verify", archive, "usb:ANY"});
    ASSERT_EQ(apply.exitCode, 0) << apply.out << apply.err;
    const nlohmann::json applied = nlohmann::json::parse(apply.out);
    EXPECT_EQ(SchemaErrors(applied), "");
    EXPECT_EQ(applied["printers"][0]["verified"], true);
    EXPECT_GE(applied["printers"][0]["changes"].size(), 2u);
}
#endif

} // namespace
