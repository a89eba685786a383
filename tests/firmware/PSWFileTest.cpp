// Firmware packages: both formats and their integrity sums, header fields of both variants, required
// headers, the upgrade signature, descrambling, and the component list built from the module headers.
#include "tests/firmware/FirmwareLoad.h"
#include "tests/support/TempDir.h"
#include "tools/FixtureSets.h"

#include <gtest/gtest.h>

using namespace fixtures;

TEST(PSWFile, Format2PackageLoadsWithItsHeaderFields) {
    PackageDescription desc = StandardPackage(true, PatternBytes(300, 1));
    PrinterOf(desc).comPort = 'P';
    PSWFile file;
    const Loaded r = LoadPackage(file, desc);
    ASSERT_TRUE(r.ok) << r.log;
    EXPECT_TRUE(Contains(r.log, "File integrity Checksum PASSED!"));
    EXPECT_EQ(file.GetPswType(), 1);
    const PSWHeaderPrinter* printer = file.GetHeaderPrinter();
    ASSERT_NE(printer, nullptr);
    EXPECT_EQ(printer->strPrinterModel + printer->strReleaseHW + printer->strReleasePSW +
                  printer->strCreationDate,
              "TK180   01123261206");
    EXPECT_EQ(printer->iGSILow, 0x42);
    EXPECT_EQ(printer->cComPortType, 1);
    EXPECT_EQ(printer->iGSIHight, 0x07);
    const auto upgrades = file.GetHeaders(HTYPE_UPGRADE);
    ASSERT_EQ(upgrades.size(), 1u);
    const auto* sign = static_cast<const PSWHeaderUpgrade*>(upgrades[0]);
    EXPECT_EQ((std::vector<int>{sign->iIDFamily, sign->iIDModel, sign->iIDCustomization}),
              (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(sign->bMustUpdateWhole);
    EXPECT_EQ(file.GetHeaderBin()->GetData(), desc.firmware);
}

TEST(PSWFile, Format2SumsOffOrWrong) {
    PackageDescription desc = StandardPackage(true, PatternBytes(300, 2));
    desc.sums = Sums::Zero;
    PSWFile file;
    Loaded r = LoadPackage(file, desc);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(Contains(r.log, "Checksum not available into the PSW file (TYPE2)"));

    for (auto [mode, tag] : {std::pair{Sums::WrongFirst, "(1)"}, std::pair{Sums::WrongSecond, "(2)"}}) {
        desc.sums = mode;
        const std::vector<uint8_t> bytes = WritePackage(desc);
        const int at = mode == Sums::WrongFirst ? 26 : 28;
        const int stored = (bytes[at] << 8) | bytes[at + 1];
        char expected[64];
        snprintf(expected, sizeof expected, "ERROR Checksum file %s : 0x%04X(F) - 0x%04X(C)", tag, stored,
                 (stored - 1) & 0xFFFF);
        r = LoadPackage(file, bytes);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(Contains(r.log, "ERROR File integrity Checksum!"));
        EXPECT_TRUE(Contains(r.log, expected)) << r.log;
        // Fails as soon as the printer slot has been read, before any further slot.
        EXPECT_EQ(file.GetAllHeaders().size(), 1u);
    }
}

TEST(PSWFile, Format1SumsCoverTheDescrambledBinaryData) {
    const std::vector<uint8_t> firmware = PatternBytes(1000, 3);
    for (uint8_t key : {uint8_t{0}, uint8_t{0x5B}, uint8_t{0x64}}) {
        PackageDescription desc = StandardPackage(false, firmware);
        PrinterOf(desc).scrambleByte = key;
        PSWFile file;
        Loaded r = LoadPackage(file, desc);
        ASSERT_TRUE(r.ok) << r.log;
        EXPECT_TRUE(Contains(r.log, "File integrity Checksum PASSED!"));
        EXPECT_EQ(file.GetPswType(), 0);
        EXPECT_EQ(file.GetHeaderBin()->GetData(), firmware) << "key " << int{key};
        EXPECT_EQ(file.GetHeaderPrinter()->iScrambleByte, 0);
        EXPECT_EQ(file.GetHeaderPrinter()->iGSILow, 0x42);

        desc.sums = Sums::WrongSecond;
        r = LoadPackage(file, desc);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(Contains(r.log, "ERROR Checksum file (2)"));
        desc.sums = Sums::Zero;
        r = LoadPackage(file, desc);
        EXPECT_TRUE(r.ok);
        EXPECT_TRUE(Contains(r.log, "Checksum not available into the PSW file (TYPE1)"));
    }
}

TEST(PSWFile, Format1OldVariantsCarryBanksAndSignatureAndOfferTheFirmwareOnly) {
    PackageDescription desc = StandardPackage(false, PatternBytes(600, 4));
    desc.binNewVariant = false;
    desc.numBanks = 2;
    desc.bankSize = 300;
    auto& software = std::get<SoftwareSlot>(desc.slots[1]);
    software.newVariant = false;
    software.customization = 0x1234;
    desc.slots.push_back(ModuleOf('f', PatternBytes(40, 1)));
    PSWFile file;
    ASSERT_TRUE(LoadPackage(file, desc).ok);
    const PSWHeaderBin* bin = file.GetHeaderBin();
    EXPECT_EQ(bin->iNumBanks, 2);
    EXPECT_EQ(bin->uiBinSize, 300u);
    EXPECT_EQ(bin->iStartDataIntoFile, 3 * 32 + 8); // three slots, then the old binary slot
    EXPECT_EQ(static_cast<const PSWHeaderUpgrade*>(file.GetHeaders(HTYPE_UPGRADE)[0])->iIDCustomization,
              0x1234);
    EXPECT_EQ(file.GetComponents().Values(), std::vector<int>{0});
    EXPECT_EQ(file.GetContents(), PSWFile::kContentsFirmware);
    EXPECT_FALSE(file.HasModuleToChoose());
}

TEST(PSWFile, RequiredHeadersAreCountedInOrderAndAnUnknownMarkerEndsTheScan) {
    PSWFile file;
    std::vector<uint8_t> notMarker = WritePackage(StandardPackage(true, PatternBytes(10, 1)));
    notMarker[0] = 'Z';
    Loaded r = LoadPackage(file, notMarker);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(Contains(r.log, "ERROR Searching Header 1 (HEADER PRINTER)"));
    EXPECT_TRUE(file.GetAllHeaders().empty());

    PackageDescription twoPrinters = StandardPackage(true, PatternBytes(10, 1));
    twoPrinters.sums = Sums::Zero;
    twoPrinters.slots.push_back(PrinterSlot{});
    r = LoadPackage(file, twoPrinters);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(Contains(r.log, "ERROR Searching Header 1 (HEADER PRINTER)"));

    // A slot of zeros between the printer and the software headers: nothing after it is read.
    PackageDescription gap = StandardPackage(true, PatternBytes(64, 1));
    gap.slots.insert(gap.slots.begin() + 1, RawSlot{});
    r = LoadPackage(file, gap);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(Contains(r.log, "Found 1 Headers"));
    EXPECT_TRUE(Contains(r.log, "ERROR Searching Header 2 (HEADER SOFTWARE)"));

    PackageDescription noBin = StandardPackage(true, {});
    noBin.sums = Sums::Zero;
    noBin.truncateTo = 64;
    r = LoadPackage(file, noBin);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(Contains(r.log, "ERROR Searching Header 10 (HEADER BIN)"));
}

TEST(PSWFile, UpgradeSignatureRequiredOnlyWhenAsked) {
    PackageDescription desc = StandardPackage(true, PatternBytes(10, 1));
    std::get<SoftwareSlot>(desc.slots[1]).bex = 0x00;
    PSWFile file;
    const Loaded r = LoadPackage(file, desc, true);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(Contains(r.log, "This PSW doesn't contain the Upgrade fields"));
    EXPECT_TRUE(LoadPackage(file, desc, false).ok);
    EXPECT_EQ(file.GetHeadersCount(HTYPE_UPGRADE), 0);
}

TEST(PSWFile, ModuleAndLoaderHeadersBuildTheComponentList) {
    PackageDescription desc = StandardPackage(true, PatternBytes(100, 5));
    PrinterOf(desc).scrambleByte = 0x29;
    desc.slots.push_back(PlainSlot{'u', 0x01020304});
    desc.slots.push_back(PlainSlot{'b', 0});
    desc.slots.push_back(PlainSlot{'d', 0});
    for (char kind : {'s', 'd', 'f', 'C', 'l', 'u', 'x'})
        desc.slots.push_back(
            ModuleOf(kind, kind == 'd' ? WriteModuleFile(StandardModule('D')) : PatternBytes(50, kind),
                     kind == 's' ? 3 : 0, kind == 's' ? 0x10000 : 0));
    PSWFile file;
    const Loaded r = LoadPackage(file, desc);
    ASSERT_TRUE(r.ok) << r.log;
    EXPECT_EQ(static_cast<const PSWHeaderLoader*>(file.GetHeaders(HTYPE_USBLOADER)[0])->uiAddrStart,
              0x01020304u);
    EXPECT_EQ(file.GetHeadersCount(HTYPE_BOOTLOADER) + file.GetHeadersCount(HTYPE_GENERICDATA), 2);
    EXPECT_EQ(file.GetComponents().Values(),
              (std::vector<int>{0, 0, 0x2004, 0x2002, 0x2002, 0x3008, 0x3010, 0x3010}));
    EXPECT_EQ(file.GetContents(), 7);
    EXPECT_TRUE(file.HasModuleToChoose());
    const auto modules = file.GetModuleHeaders();
    ASSERT_EQ(modules.size(), 7u);
    EXPECT_EQ(modules[1]->GetData(), std::get<ModuleSlot>(desc.slots[6]).image); // descrambled copy
    const PSWHeaderModule* software = file.GetHeaderModuleSoftware();
    ASSERT_NE(software, nullptr);
    EXPECT_EQ(software->iNumBank, 3);
    EXPECT_EQ(software->uiBankDim, 0x10000u);
    EXPECT_EQ(modules[5]->modModuleID, MODULE_USBLOADER);
    EXPECT_EQ(modules[6]->modModuleID, MODULE_OTHER);
}

TEST(PSWFile, FlashDiskThatIsNotADiskModuleBecomesAnOtherModule) {
    PackageDescription desc = StandardPackage(true, PatternBytes(64, 6));
    for (char id : {'D', 'H'})
        desc.slots.push_back(ModuleOf('d', WriteModuleFile(StandardModule(id))));
    desc.slots.push_back(ModuleOf('d', PatternBytes(100, 2))); // not a module file: left as it is
    PSWFile file;
    ASSERT_TRUE(LoadPackage(file, desc).ok);
    const auto modules = file.GetModuleHeaders();
    EXPECT_EQ(modules[0]->modModuleID, MODULE_FLASHDISK);
    EXPECT_EQ(modules[1]->modModuleID, MODULE_OTHER);
    EXPECT_EQ(modules[2]->modModuleID, MODULE_FLASHDISK);
    // Only the first flash-disk entry of the list changes.
    EXPECT_EQ(file.GetComponents().Values(), (std::vector<int>{0, 0x3010, 0x2004, 0x2004}));
}

TEST(PSWFile, LoadsFromAFileAndEverySeedBehavesAsDeclared) {
    TempDir dir;
    const std::vector<uint8_t> bytes = WritePackage(StandardPackage(true, PatternBytes(64, 1)));
    dir.write("fw.psw", std::string(bytes.begin(), bytes.end()));
    PSWFile file;
    const Loaded r = WithLog([&] { return file.LoadPSWFromFile(dir.file("fw.psw").c_str(), true); });
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(Contains(r.log, "Opening PSW File: " + dir.file("fw.psw")));
    EXPECT_EQ(file.GetFileData(), bytes);
    EXPECT_FALSE(file.LoadPSWFromFile("/nonexistent/dalvora/fw.psw", true));
    EXPECT_TRUE(file.GetAllHeaders().empty());
    for (const auto& seed : PackageSeeds())
        EXPECT_EQ(LoadPackage(file, seed.bytes).ok, seed.valid) << seed.name;
}
