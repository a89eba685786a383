// Firmware packages from outside: truncated files, data ranges outside the file or the binary data,
// logo and font images of both variants, and the summary text byte for byte.
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

TEST(PSWFileBadInput, DataRangesOutsideTheFileOrTheBinaryDataAreRefused) {
    // 100 bytes of firmware, and a binary length past them, or one more slot: a module with a 50-byte
    // image after the firmware, or a logo or font image.
    const uint32_t dataStart = 3 * 32 + 5;
    const auto module = [](std::optional<uint32_t> addr, std::optional<uint32_t> size) {
        return Slot{ModuleSlot{
            .kind = 'x', .image = PatternBytes(50, 2), .addrOverride = addr, .sizeOverride = size}};
    };
    const Slot hugeLogo = LogoSlot{.dotX = 0xFFFF, .dotY = 0xFFFF};
    const Slot negativeRow = FontSlot{.margins = {0, -16, 0, 0}};
    const Slot reversedRange = FontSlot{.asciiStart = 0x50, .asciiEnd = 0x40};
    const struct {
        std::optional<Slot> slot;
        std::optional<uint32_t> binLength;
        std::string message;
    } cases[] = {
        {std::nullopt, 101, "ERROR Binary data length 101 beyond the end of the file"},
        {std::nullopt, 0xFFFFFFFF, "beyond the end of the file"},
        {module(std::nullopt, 51), std::nullopt, "ERROR ExtractData"},            // one byte past the end
        {module(std::nullopt, 0xFFFFFFFF), std::nullopt, "ERROR ExtractData"},    // a size that wraps
        {module(dataStart - 1, std::nullopt), std::nullopt, "ERROR ExtractData"}, // before the data
        {module(0xFFFFFFF0, 0x20), std::nullopt, "ERROR ExtractData"},            // past 32 bits
        {module(0, std::nullopt), std::nullopt, "ERROR ExtractData"},             // in the headers
        {hugeLogo, std::nullopt, "ERROR ExtractData"},
        {negativeRow, std::nullopt, "ERROR ExtractData"},
        {reversedRange, std::nullopt, "ERROR ExtractData"},
    };
    for (const auto& c : cases) {
        PackageDescription desc = StandardPackage(true, PatternBytes(100, 7));
        if (c.slot)
            desc.slots.push_back(*c.slot);
        desc.binLengthOverride = c.binLength;
        PSWFile file;
        const Loaded r = LoadPackage(file, desc);
        EXPECT_FALSE(r.ok) << c.message;
        EXPECT_TRUE(Contains(r.log, c.message)) << r.log;
    }
    // A shorter declared length is fine: the rest of the file is not part of the data.
    PackageDescription shorter = StandardPackage(true, PatternBytes(100, 7));
    shorter.binLengthOverride = 60;
    PSWFile file;
    ASSERT_TRUE(LoadPackage(file, shorter).ok);
    EXPECT_EQ(file.GetHeaderBin()->GetDataLength(), 60u);
}

TEST(PSWFileImages, FontAndLogoImagesOfBothVariants) {
    const std::vector<uint8_t> firmware = PatternBytes(400, 7);
    for (bool newVariant : {true, false}) {
        PackageDescription desc = StandardPackage(true, firmware);
        PrinterOf(desc).scrambleByte = 0x77;
        // 3 glyphs of 5 rows, (10 + 3) bits a row: 2 bytes; the logo's 20 dots: 2 whole bytes a row.
        desc.slots.push_back(FontSlot{.newVariant = newVariant,
                                      .sizeX = 10,
                                      .sizeY = 5,
                                      .asciiStart = 0x20,
                                      .asciiEnd = 0x22,
                                      .dataOffset = 100,
                                      .margins = {0, 3, 0, 0}});
        desc.slots.push_back(LogoSlot{.newVariant = newVariant, .dotX = 20, .dotY = 3, .dataOffset = 7});
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

TEST(PSWFileInfo, SummaryByteForByte) {
    PackageDescription desc = StandardPackage(true, PatternBytes(300, 9));
    desc.slots.push_back(LogoSlot{.tot = 2});
    desc.slots.push_back(LogoSlot{.num = 2, .tot = 2, .dotX = 24});
    desc.slots.push_back(FontSlot{});
    desc.slots.push_back(ModuleOf('d', WriteModuleFile(StandardModule('D'))));
    desc.slots.push_back(ModuleOf('x', PatternBytes(20, 1))); // not a module file: skipped
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
