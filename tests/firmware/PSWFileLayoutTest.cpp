// Firmware packages from outside: truncated files, ranges outside the data, logo and font images,
// and the summary text byte for byte.
#include "tests/firmware/FirmwareLoad.h"

#include <gtest/gtest.h>

using namespace fixtures;

TEST(PSWFileBadInput, TruncatedFilesFailWithoutReadingPastTheEnd) {
    PackageDescription desc = StandardPackage(true, PatternBytes(200, 1));
    desc.sums = Sums::Zero;
    const size_t full = WritePackage(desc).size();
    // Cut inside the printer slot, inside the software slot, inside the binary slot, inside the data.
    for (size_t cut : {size_t{1}, size_t{20}, size_t{40}, size_t{66}, size_t{100}, full - 1}) {
        desc.truncateTo = cut;
        PSWFile file;
        EXPECT_FALSE(LoadPackage(file, desc).ok) << cut;
    }
    PSWFile empty;
    EXPECT_FALSE(LoadPackage(empty, std::vector<uint8_t>{}).ok);
    EXPECT_FALSE(empty.LoadPSWFromMemory(nullptr, 5, true));
}

TEST(PSWFileBadInput, BinaryLengthBeyondTheFileIsRefused) {
    PackageDescription desc = StandardPackage(true, PatternBytes(200, 1));
    desc.binLengthOverride = 201;
    PSWFile file;
    Loaded r = LoadPackage(file, desc);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(Contains(r.log, "ERROR Binary data length 201 beyond the end of the file"));
    desc.binLengthOverride = 0xFFFFFFFF;
    EXPECT_FALSE(LoadPackage(file, desc).ok);
    // A shorter declared length is fine: the rest of the file is not part of the data.
    desc.binLengthOverride = 150;
    ASSERT_TRUE(LoadPackage(file, desc).ok);
    EXPECT_EQ(file.GetHeaderBin()->GetDataLength(), 150u);
}

TEST(PSWFileBadInput, ModuleRangesOutsideTheBinaryDataAreRefused) {
    PackageDescription base = StandardPackage(true, PatternBytes(100, 1));
    ModuleSlot module;
    module.kind = 'x';
    module.image = PatternBytes(50, 2);
    base.slots.push_back(module);
    const size_t dataStart = 3 * 32 + 5; // printer, software, module slots, then the binary slot
    const struct {
        std::optional<uint32_t> addr;
        std::optional<uint32_t> size;
    } cases[] = {
        {std::nullopt, 51u},                                  // one byte past the end
        {std::nullopt, 0xFFFFFFFFu},                          // size that wraps
        {static_cast<uint32_t>(dataStart - 1), std::nullopt}, // starts before the data
        {0xFFFFFFF0u, 0x20u},                                 // address + size overflow 32 bits
        {0u, std::nullopt},
    };
    for (const auto& c : cases) {
        PackageDescription desc = base;
        auto& slot = std::get<ModuleSlot>(desc.slots.back());
        slot.addrOverride = c.addr;
        slot.sizeOverride = c.size;
        PSWFile file;
        const Loaded r = LoadPackage(file, desc);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(Contains(r.log, "ERROR ExtractData")) << r.log;
    }
}

TEST(PSWFileImages, FontAndLogoImagesOfBothVariants) {
    const std::vector<uint8_t> firmware = PatternBytes(400, 7);
    for (bool newVariant : {true, false}) {
        PackageDescription desc = StandardPackage(true, firmware);
        PrinterOf(desc).scrambleByte = 0x77;
        FontSlot font;
        font.newVariant = newVariant;
        font.sizeX = 10;
        font.margins = {0, 3, 0, 0}; // (10 + 3) bits per row: 2 bytes
        font.sizeY = 5;
        font.asciiStart = 0x20;
        font.asciiEnd = 0x22; // 3 glyphs
        font.dataOffset = 100;
        LogoSlot logo;
        logo.newVariant = newVariant;
        logo.dotX = 20; // 2 whole bytes per row
        logo.dotY = 3;
        logo.dataOffset = 7;
        desc.slots.push_back(font);
        desc.slots.push_back(logo);
        PSWFile file;
        const Loaded r = LoadPackage(file, desc);
        ASSERT_TRUE(r.ok) << r.log;
        const auto* fonts = static_cast<const PSWHeaderFonts*>(file.GetHeaders(HTYPE_FONTS)[0]);
        EXPECT_EQ(fonts->GetData(), std::vector<uint8_t>(firmware.begin() + 100, firmware.begin() + 130));
        EXPECT_EQ(fonts->iMarginRight, 3);
        const auto* logos = static_cast<const PSWHeaderLogos*>(file.GetHeaders(HTYPE_LOGOS)[0]);
        EXPECT_EQ(logos->GetData(), std::vector<uint8_t>(firmware.begin() + 7, firmware.begin() + 13));
    }
}

TEST(PSWFileImages, OversizedNegativeOrReversedImagesAreRefused) {
    LogoSlot huge;
    huge.dotX = 0xFFFF;
    huge.dotY = 0xFFFF;
    FontSlot negative;
    negative.margins = {0, -16, 0, 0}; // a negative row width
    FontSlot reversed;
    reversed.asciiStart = 0x50;
    reversed.asciiEnd = 0x40;
    for (const Slot& slot : {Slot{huge}, Slot{negative}, Slot{reversed}}) {
        PackageDescription desc = StandardPackage(true, PatternBytes(400, 7));
        desc.slots.push_back(slot);
        PSWFile file;
        const Loaded r = LoadPackage(file, desc);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(Contains(r.log, "ERROR ExtractData")) << r.log;
    }
}

TEST(PSWFileInfo, SummaryByteForByte) {
    PackageDescription desc = StandardPackage(true, PatternBytes(300, 9));
    LogoSlot logo;
    logo.tot = 2;
    desc.slots.push_back(logo);
    logo.num = 2;
    logo.dotX = 24;
    desc.slots.push_back(logo);
    FontSlot font;
    font.tot = 1;
    desc.slots.push_back(font);
    ModuleSlot disk;
    disk.kind = 'd';
    disk.image = WriteModuleFile(StandardModule('D'));
    desc.slots.push_back(disk);
    ModuleSlot junk;
    junk.kind = 'x';
    junk.image = PatternBytes(20, 1); // does not load as a module file: skipped
    desc.slots.push_back(junk);
    PSWFile file;
    ASSERT_TRUE(LoadPackage(file, desc).ok);

    const std::string stars(48, '*');
    const std::string dashes(48, '-');
    const std::string head = stars + "\n" + stars + "\nRelease PSW:    1.23\nCreation Date:  261206\n";
    const std::string sign = "PSW Sign Family:         1\nPSW Sign Model:          2\n"
                             "PSW Sign Customization:  3\n";
    const std::string body = stars + "\n" + stars + "\n" +
                             "Number of Logos:2\n\n LOGO 1/2\n Size:          16x4\n"
                             "\n LOGO 2/2\n Size:          24x4\n" +
                             dashes + "\n\n" + "Number of Fonts:1\n\n FONT 1/1\n Size:          8x2\n" +
                             dashes + "\n\n" + "Modules:\n" + dashes +
                             "\nType:       DISK MODULE\nRelease:    1.02\nFactory:    VELMAR\n"
                             "Note:       fixture module\nCode:       A1234\n" +
                             dashes + "\n" + dashes + "\n\n";
    EXPECT_EQ(file.GetFileInfo(true), head + sign + body);
    EXPECT_EQ(file.GetFileInfo(false), head + body);

    PackageDescription shortRelease = StandardPackage(true, PatternBytes(30, 9));
    PrinterOf(shortRelease).release = "12";
    ASSERT_TRUE(LoadPackage(file, shortRelease).ok);
    EXPECT_TRUE(Contains(file.GetFileInfo(false), "\nRelease PSW:    12\nCreation"));
}
