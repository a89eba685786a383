// --upgrade in mode U6 end to end: the real dalvora restarts the simulated printer into its Silicon Labs
// HID boot loader, which enumerates through the emulated USB bus; hidapi carries the records; the
// loader's transcript holds the SHA-256 of what it received. Its faults end with their message and
// status within the scaled waits, and a printer on Ethernet is refused before anything is sent.
#include "tests/e2e/SimPrinter.h"
#include "tests/e2e/UpgradeFiles.h"

#include <gtest/gtest.h>

namespace {

PackageShape RecordPackage(int format, const std::vector<uint8_t>& image, const std::string& modules = {}) {
    return {.format = format,
            .banks = 1,
            .bankSize = static_cast<uint32_t>(image.size()),
            .modules = modules,
            .image = image};
}

struct BootRun {
    ProcessResult result;
    std::vector<SimTransfer> transfers;
    std::vector<std::string> requests;
};

BootRun UpgradeOverUsb(const UpgradeFile& file, const std::vector<std::string>& faults) {
    TempDir dir;
    SimTranscript transcript(dir.file("transcript.jsonl"));
    std::vector<std::string> simArgs{"--transcript",    transcript.Path(), "--set",
                                     "upgrade.mode=U6", "--set",           "upgrade.device_ids=1;2;3"};
    for (const std::string& fault : faults)
        simArgs.insert(simArgs.end(), {"--fault", fault});
    ProcessResult result = DalvoraOverUsb(simArgs, {"--upgrade", "-v", "-f", file.path}, 60000);
    return {std::move(result), transcript.Transfers(), transcript.Requests()};
}

} // namespace

#if DALVORA_UPGRADE_OVER_USB
TEST(UpgradeHidBootE2e, TheBootLoaderGetsTheRecordImageByteForByteAndThePrinterReturns) {
    const std::vector<uint8_t> image = fixtures::BootRecordImage(5);
    for (const PackageShape& shape : {RecordPackage(2, image, "l"), RecordPackage(1, image)}) {
        const std::string name = "format " + std::to_string(shape.format);
        TempDir dir;
        const UpgradeFile file = WriteUpgradePackage(dir, shape);
        const BootRun run = UpgradeOverUsb(file, {});
        EXPECT_FALSE(run.result.timedOut) << name;
        EXPECT_EQ(run.result.exitCode, 0) << name << "\n" << run.result.out << run.result.err;
        EXPECT_TRUE(Has(run.result.out, "Sending bank 9/9 (100%)")) << name << "\n" << run.result.out;
        // The printer and its boot loader leave the bus without umockdev complaining about it.
        EXPECT_FALSE(Has(run.result.err, "uevent")) << name << "\n" << run.result.err;
        ASSERT_FALSE(run.transfers.empty()) << name;
        EXPECT_EQ(run.transfers[0].part, "silabs") << name;
        EXPECT_EQ(run.transfers[0].sha256, Sha256Of(image)) << name;
        EXPECT_TRUE(run.transfers[0].installed) << name;
        // The logos module goes to the printer once it is back under its own ids.
        EXPECT_EQ(run.transfers.size(), shape.format == 2 ? 2u : 1u) << name;
        if (shape.format == 2 && run.transfers.size() == 2) {
            EXPECT_EQ(run.transfers[1].sha256, Sha256Of(file.modules.at('L'))) << name;
        }
    }
}

TEST(UpgradeHidBootE2e, BootLoaderFaultsEndWithTheirMessageAndStatus) {
    const struct {
        std::string fault;
        std::string message;
    } cases[] = {
        {"no-answer=S33#2", "Silicon Laboratories Answer Error!"},
        {"drop=S33#2:3", "Silicon Laboratories Answer Error!"}, // a three-byte answer
        {"answer=S30:0x43", "Silicon Laboratories Answer Error!"},
        {"no-return=BOOT", "Error waiting Silicon Laboratories device timeout..."},
    };
    TempDir dir;
    const UpgradeFile file = WriteUpgradePackage(dir, RecordPackage(2, fixtures::BootRecordImage(3)));
    for (const auto& c : cases) {
        const BootRun run = UpgradeOverUsb(file, {c.fault});
        EXPECT_FALSE(run.result.timedOut) << c.fault;
        EXPECT_EQ(run.result.exitCode, 11) << c.fault << "\n" << run.result.out;
        EXPECT_TRUE(Has(run.result.out, c.message)) << c.fault << "\n" << run.result.out;
        EXPECT_TRUE(Has(run.result.out, "Upgrade Printer Error 11 (2)")) << c.fault;
        EXPECT_TRUE(run.transfers.empty()) << c.fault;
    }
}
#endif

TEST(UpgradeHidBootE2e, APrinterOnEthernetIsRefusedBeforeItLeavesForItsBootLoader) {
    TempDir dir;
    const UpgradeFile file = WriteUpgradePackage(dir, RecordPackage(2, fixtures::BootRecordImage(1)));
    SimPrinter printer({.sets = {"upgrade.mode=U6", "upgrade.device_ids=1;2;3"}});
    ASSERT_TRUE(printer.Started());
    const ProcessResult r = Dalvora(Args({"--upgrade", "-v", "-f", file.path}, printer.DeviceArgs()));
    EXPECT_EQ(r.exitCode, 11) << r.out;
    EXPECT_TRUE(Has(r.out, "Communication port not supported (only USB)")) << r.out;
    EXPECT_EQ(printer.Count("BOOT"), 0);
    EXPECT_TRUE(printer.Log().Transfers().empty());
}
