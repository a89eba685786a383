// The two integrity sums and both scrambling schemes: golden bytes of the rotation schedules, round
// trips through the word-wise and byte-wise paths, offsets, and the bytes left alone.
#include "firmware/Checksums.h"
#include "firmware/EncryptionMode1.h"
#include "firmware/EncryptionPSW.h"

#include "tools/Fixtures.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> Scrambled(int key, std::vector<uint8_t> data) {
    (void)EncryptionPSW::EncryptionBuffer(key, data.data(), 0, static_cast<int>(data.size()));
    return data;
}

} // namespace

TEST(ByteSums, KnownValuesWrapAndBanksRestartThePosition) {
    EXPECT_EQ(ComputeByteSums({}), (ByteSums{0, 0}));
    const std::vector<uint8_t> small{1, 2, 3};
    EXPECT_EQ(ComputeByteSums(small), (ByteSums{6, 5})); // 1^0 + 2^1 + 3^2
    // 65537 bytes of 0xFF: the position's low 16 bits wrap back to 0 for the last byte.
    EXPECT_EQ(ComputeByteSums(std::vector<uint8_t>(65537, 0xFF)), (ByteSums{255, 33023}));
    ByteSums banks;
    AccumulateByteSums(banks, std::vector<uint8_t>{1, 2});
    AccumulateByteSums(banks, std::vector<uint8_t>{3});
    EXPECT_EQ(banks, (ByteSums{6, 7})); // 1^0 + 2^1 + 3^0
}

TEST(EncryptionPSW, KeyZeroAndEmptyRangesChangeNothing) {
    const std::vector<uint8_t> plain = fixtures::PatternBytes(64, 9);
    std::vector<uint8_t> data = plain;
    EXPECT_EQ(EncryptionPSW::EncryptionBuffer(0, data.data(), 0, 64), 1);
    EXPECT_EQ(EncryptionPSW::DecryptionBuffer(0x100, data.data(), 0, 64), 1); // low byte 0
    EXPECT_EQ(EncryptionPSW::DecryptionBuffer(0x35, data.data(), 0, 0), 1);
    EXPECT_EQ(EncryptionPSW::DecryptionBuffer(0x35, data.data(), 0, -5), 1);
    EXPECT_EQ(data, plain);
    EXPECT_EQ(EncryptionPSW::DecryptionGSIByte(0x42, 0), 0x42);
}

TEST(EncryptionPSW, RotationSchedulesOfOddAndEvenKeys) {
    // Zero bytes. Odd key 0xFD: NOT(0 ^ 0xFD) = 0x02, rotated left one more bit every 4 bytes and
    // back to none at byte 32. Even key 0x02: 0x02 rotated right one more bit every 32 bytes and back
    // to none at byte 256. The last group of each runs through the byte-wise tail.
    const struct {
        int key;
        size_t group;
        uint8_t expected[9];
    } cases[] = {{0xFD, 4, {0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x01, 0x02}},
                 {0x02, 32, {0x02, 0x01, 0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02}}};
    for (const auto& c : cases) {
        const std::vector<uint8_t> out = Scrambled(c.key, std::vector<uint8_t>(9 * c.group, 0));
        for (size_t i = 0; i < out.size(); ++i)
            ASSERT_EQ(out[i], c.expected[i / c.group]) << "key " << c.key << " byte " << i;
    }
    EXPECT_EQ(EncryptionPSW::ByteRotateSx(0x81, 1), 0x03);
    EXPECT_EQ(EncryptionPSW::ByteRotateDx(0x81, 1), 0xC0);
    EXPECT_EQ(EncryptionPSW::ByteRotateDx(0x81, -3), 0x81);
}

TEST(EncryptionPSW, RoundTripsForOddAndEvenKeysOnSmallAndLargeRanges) {
    for (int key : {0x01, 0x5B, 0xFF, 0x02, 0x80, 0xFE}) {
        for (size_t size : {size_t{1}, size_t{37}, size_t{4095}, size_t{70000}}) {
            const std::vector<uint8_t> plain = fixtures::PatternBytes(size, static_cast<uint32_t>(key));
            std::vector<uint8_t> data = Scrambled(key, plain);
            EXPECT_TRUE(size <= 8 || data != plain) << "key " << key << " left the data plain";
            EXPECT_EQ(EncryptionPSW::DecryptionBuffer(key, data.data(), 0, static_cast<int>(size)), 1);
            EXPECT_EQ(data, plain) << "key " << key << " size " << size;
        }
    }
}

TEST(EncryptionPSW, PositionRestartsAtTheOffsetAndBytesOutsideStayUntouched) {
    const std::vector<uint8_t> plain = fixtures::PatternBytes(100, 3);
    for (int key : {0x33, 0x44}) {
        std::vector<uint8_t> shifted = plain;
        (void)EncryptionPSW::EncryptionBuffer(key, shifted.data(), 5, 90);
        std::vector<uint8_t> alone(plain.begin() + 5, plain.begin() + 95);
        (void)EncryptionPSW::EncryptionBuffer(key, alone.data(), 0, 90);
        EXPECT_TRUE(std::equal(alone.begin(), alone.end(), shifted.begin() + 5));
        EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + 5, shifted.begin()));
        EXPECT_TRUE(std::equal(plain.begin() + 95, plain.end(), shifted.begin() + 95));
    }
}

TEST(EncryptionMode1, ComplementsEvenPositionsAndIsItsOwnInverse) {
    std::vector<uint8_t> zeros(4, 0);
    (void)EncryptionMode1::EncryptionBuffer(0x10, zeros.data(), 0, 4);
    EXPECT_EQ(zeros, (std::vector<uint8_t>{0xEF, 0x11, 0xED, 0x13}));
    // The key advances modulo 256: key 0xFF at position 1 XORs with 0.
    std::vector<uint8_t> wrap{0x00, 0x5A};
    (void)EncryptionMode1::EncryptionBuffer(0xFF, wrap.data(), 0, 2);
    EXPECT_EQ(wrap, (std::vector<uint8_t>{0x00, 0x5A}));

    const std::vector<uint8_t> plain = fixtures::PatternBytes(300, 8);
    std::vector<uint8_t> data = plain;
    (void)EncryptionMode1::EncryptionBuffer(0x91, data.data(), 10, 200);
    EXPECT_NE(data, plain);
    EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + 10, data.begin()));
    EXPECT_TRUE(std::equal(plain.begin() + 210, plain.end(), data.begin() + 210));
    EXPECT_EQ(EncryptionMode1::DecryptionBuffer(0x91, data.data(), 10, 200), 1);
    EXPECT_EQ(data, plain);
    (void)EncryptionMode1::DecryptionBuffer(0, data.data(), 0, 300);
    EXPECT_EQ(data, plain);
}
