// dalvoractl upgrade against simulated printers: every printer is checked before any transfer starts,
// an unfit printer stops the whole run unless skipped, and each upgrade names the file's SHA-256 in
// the audit trail.
#include "tests/e2e/CtlRun.h"
#include "tests/e2e/UpgradeFiles.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

// A printer whose loader takes the fixture packages (family 1, model 2, customization 3).
std::vector<std::string> Upgradable(const std::string& deviceIds = "1;2;3") {
    return {"upgrade.mode=U1", "upgrade.device_ids=" + deviceIds, "upgrade.banks=4"};
}

std::vector<std::string> Addresses(const std::vector<std::unique_ptr<SimPrinter>>& printers) {
    std::vector<std::string> addresses;
    for (const auto& printer : printers)
        addresses.push_back(CtlAddress(*printer));
    return addresses;
}

class CtlUpgrade : public ::testing::Test {
protected:
    void Start(const std::vector<std::string>& deviceIds) {
        for (const std::string& ids : deviceIds) {
            printers.push_back(std::make_unique<SimPrinter>(SimOptions{.sets = Upgradable(ids)}));
            ASSERT_TRUE(printers.back()->Started());
        }
    }
    int Transfers() const {
        int count = 0;
        for (const auto& printer : printers)
            count += static_cast<int>(printer->Log().Transfers().size());
        return count;
    }

    CtlRunner ctl;
    TempDir dir;
    std::vector<std::unique_ptr<SimPrinter>> printers;
};

TEST_F(CtlUpgrade, FitPrintersAreUpgradedInParallelAndAudited) {
    Start({"1;2;3", "1;2;3", "1;2;3"});
    const UpgradeFile file = WriteUpgradePackage(dir, {});
    ProcessResult run;
    const nlohmann::json upgrade =
        ctl.Json(Args({"upgrade", "--parallel", "3", file.path}, Addresses(printers)), &run);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(upgrade["summary"]["ok"], 3);
    for (const auto& printer : printers)
        EXPECT_EQ(printer->Log().TransferOrder(), std::vector<std::string>{"firmware:image"});

    std::ifstream in(file.path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<nlohmann::json> trail = ctl.TrailLines();
    ASSERT_EQ(trail.size(), 3u);
    for (const nlohmann::json& line : trail) {
        EXPECT_EQ(line["operation"], "upgrade");
        EXPECT_EQ(line["package"]["sha256"], Sha256Of(bytes));
        EXPECT_EQ(line["result"]["ok"], true);
    }
}

TEST_F(CtlUpgrade, AnUnfitPrinterStopsTheRunBeforeAnyTransferUnlessSkipped) {
    Start({"1;2;3", "1;9;3", "1;2;3"}); // the second is another model
    const UpgradeFile file = WriteUpgradePackage(dir, {});
    ProcessResult refused;
    const nlohmann::json check = ctl.Json(Args({"upgrade", file.path}, Addresses(printers)), &refused);
    EXPECT_EQ(refused.exitCode, 5);
    EXPECT_EQ(check["printers"][1]["state"], "failed");
    EXPECT_EQ(check["printers"][0]["state"], "skipped");
    EXPECT_EQ(Transfers(), 0);
    EXPECT_TRUE(ctl.TrailLines().empty());

    ProcessResult skipped;
    const nlohmann::json run =
        ctl.Json(Args({"upgrade", "--skip-unfit", file.path}, Addresses(printers)), &skipped);
    EXPECT_EQ(skipped.exitCode, 1);
    EXPECT_EQ(run["summary"], (nlohmann::json{{"ok", 2}, {"failed", 0}, {"skipped", 1}}));
    EXPECT_EQ(Transfers(), 2);
    EXPECT_TRUE(printers[1]->Log().Transfers().empty());
    EXPECT_EQ(ctl.TrailLines().size(), 2u);
}

TEST_F(CtlUpgrade, ModuleOverASerialLine) {
    printers.push_back(std::make_unique<SimPrinter>(SimOptions{.pty = true, .sets = Upgradable()}));
    ASSERT_TRUE(printers.back()->Started());
    const UpgradeFile module = WriteModule(dir, 'F');
    const nlohmann::json run = ctl.Json({"upgrade", module.path, CtlAddress(*printers.back())});
    EXPECT_EQ(run["status"], 0);
    EXPECT_EQ(printers.back()->Log().TransferOrder(), std::vector<std::string>{"module:F"});
    EXPECT_EQ(ctl.TrailLines().at(0)["operation"], "module");
}

#if DALVORACTL_OVER_USB
TEST_F(CtlUpgrade, PackageOverUsb) {
    const UpgradeFile file = WriteUpgradePackage(dir, {});
    std::vector<std::string> sim;
    for (const std::string& set : Args(Upgradable(), {"upgrade.settings=1;"}))
        sim.insert(sim.end(), {"--set", set});
    const ProcessResult run = ctl.RunOverUsb(sim, {"--json", "upgrade", file.path, "usb:ANY"});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const nlohmann::json document = nlohmann::json::parse(run.out);
    EXPECT_EQ(SchemaErrors(document), "");
    EXPECT_EQ(document["printers"][0]["preflight"], "ok");
    EXPECT_EQ(ctl.TrailLines().size(), 1u);
}
#endif

} // namespace
