// The fixture writer against the file layouts at fixed offsets, so that a shared mistake of writer
// and readers cannot hide behind round trips.
#include "tools/Fixtures.h"

#include <gtest/gtest.h>

#include <string>

using namespace fixtures;

TEST(FixtureLayout, PackageSlotsAtTheirOffsets) {
    PackageDescription desc = StandardPackage(true, {0x10, 0x20, 0x30});
    auto& printer = std::get<PrinterSlot>(desc.slots[0]);
    printer.scrambleByte = 0;
    desc.sums = Sums::Zero;
    const std::vector<uint8_t> file = WritePackage(desc);
    ASSERT_EQ(file.size(), 64u + 5u + 3u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 20), std::string("PTK180   01123261206"));
    EXPECT_EQ(file[21], 0x42);
    EXPECT_EQ(file[22], 'S');
    EXPECT_EQ(file[24], '2');
    EXPECT_EQ(file[26] | file[27] | file[28] | file[29], 0);
    EXPECT_EQ(file[32], 's');
    EXPECT_EQ(file[32 + 11], 0xAA);
    EXPECT_EQ(file[32 + 12], 0x00); // family 1, big-endian
    EXPECT_EQ(file[32 + 13], 0x01);
    EXPECT_EQ(file[64], '?');
    EXPECT_EQ((std::vector<uint8_t>(file.begin() + 65, file.begin() + 69)),
              (std::vector<uint8_t>{0, 0, 0, 3}));
    EXPECT_EQ(file[69], 0x10);
    EXPECT_EQ(file[71], 0x30);
}

TEST(FixtureLayout, PackageGsiAndSums) {
    // The scrambled data itself is pinned by the readers' golden bytes and the load round trips.
    PackageDescription desc = StandardPackage(false, {0x00, 0x00, 0x00, 0x00, 0x00});
    std::get<PrinterSlot>(desc.slots[0]).scrambleByte = 0xFD;
    const std::vector<uint8_t> file = WritePackage(desc);
    EXPECT_EQ(file[21], static_cast<uint8_t>(~(0x42 ^ 0xFD)));
    // Format 1 sums the plain data: all zero bytes, positions 0..4 XORed in: 0+1+2+3+4.
    EXPECT_EQ((file[26] << 8) | file[27], 0);
    EXPECT_EQ((file[28] << 8) | file[29], 10);
}

TEST(FixtureLayout, ModuleFileFrame) {
    ModuleDescription desc = StandardModule('F');
    desc.payload = {1, 2, 3};
    desc.scrambleByte = 0x10;
    const std::vector<uint8_t> file = WriteModuleFile(desc);
    ASSERT_EQ(file.size(), 4102u + 3u + 14u + 4u);
    EXPECT_EQ(file[10], 'B');
    EXPECT_EQ(file[4101], 0x10);
    const std::string header(file.begin(), file.begin() + 4101);
    EXPECT_NE(header.find("\nFILE_SIZE:" + std::to_string(file.size() - 12) + "\n"), std::string::npos);
    EXPECT_NE(header.find("\nMOD_ID:F\n"), std::string::npos);
}
