// The two integrity sums and both scrambling schemes: schedules, round trips, offsets, limits.
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

TEST(ByteSums, KnownValuesWrapAndEmptyRange) {
    EXPECT_EQ(ComputeByteSums({}), (ByteSums{0, 0}));
    const std::vector<uint8_t> small{1, 2, 3};
    EXPECT_EQ(ComputeByteSums(small), (ByteSums{6, 5})); // 1^0 + 2^1 + 3^2
    // 65537 bytes of 0xFF: the position's low 16 bits wrap back to 0 for the last byte.
    const std::vector<uint8_t> ff(65537, 0xFF);
    EXPECT_EQ(ComputeByteSums(ff), (ByteSums{255, 33023}));
}

TEST(ByteSums, AccumulatedBanksRestartThePosition) {
    const std::vector<uint8_t> first{1, 2};
    const std::vector<uint8_t> second{3};
    ByteSums sums;
    AccumulateByteSums(sums, first);
    AccumulateByteSums(sums, second);
    EXPECT_EQ(sums, (ByteSums{6, 7})); // 1^0 + 2^1 + 3^0
}

TEST(EncryptionPSW, KeyZeroAndShortLengthsChangeNothing) {
    const std::vector<uint8_t> plain = fixtures::PatternBytes(64, 9);
    std::vector<uint8_t> data = plain;
    EXPECT_EQ(EncryptionPSW::EncryptionBuffer(0, data.data(), 0, 64), 1);
    EXPECT_EQ(EncryptionPSW::DecryptionBuffer(0x100, data.data(), 0, 64), 1); // low byte 0
    EXPECT_EQ(EncryptionPSW::DecryptionBuffer(0x35, data.data(), 0, 0), 1);
    EXPECT_EQ(EncryptionPSW::DecryptionBuffer(0x35, data.data(), 0, -5), 1);
    EXPECT_EQ(data, plain);
    EXPECT_EQ(EncryptionPSW::DecryptionGSIByte(0x42, 0), 0x42);
    EXPECT_EQ(EncryptionPSW::EncryptionGSIByte(0x42, 0), 0x42);
}

TEST(EncryptionPSW, OddKeyRotatesOneMoreBitEveryFourBytes) {
    // Zero data and key 0xFD: NOT(0 ^ 0xFD) = 0x02 before the rotation.
    const std::vector<uint8_t> out = Scrambled(0xFD, std::vector<uint8_t>(36, 0));
    const uint8_t expected[9] = {0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x01, 0x02};
    for (size_t i = 0; i < out.size(); ++i)
        EXPECT_EQ(out[i], expected[i / 4]) << "byte " << i;
}

TEST(EncryptionPSW, EvenKeyRotatesOneMoreBitEveryThirtyTwoBytes) {
    // Zero data and key 0x02: 0 ^ 0x02 rotated right.
    const std::vector<uint8_t> out = Scrambled(0x02, std::vector<uint8_t>(288, 0));
    const uint8_t expected[9] = {0x02, 0x01, 0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02};
    for (size_t i = 0; i < out.size(); ++i)
        EXPECT_EQ(out[i], expected[i / 32]) << "byte " << i;
}

TEST(EncryptionPSW, RoundTripsForOddAndEvenKeysOnSmallAndLargeRanges) {
    for (int key : {0x01, 0x5B, 0xFF, 0x02, 0x80, 0xFE}) {
        for (size_t size : {size_t{1}, size_t{37}, size_t{4095}, size_t{70000}}) {
            const std::vector<uint8_t> plain = fixtures::PatternBytes(size, static_cast<uint32_t>(key));
            std::vector<uint8_t> data = Scrambled(key, plain);
            if (size > 8) {
                EXPECT_NE(data, plain) << "key " << key;
            }
            EXPECT_EQ(EncryptionPSW::DecryptionBuffer(key, data.data(), 0, static_cast<int>(size)), 1);
            EXPECT_EQ(data, plain) << "key " << key << " size " << size;
        }
    }
}

TEST(EncryptionPSW, LargeRangeMatchesTheSameBytesScrambledInWholePeriods) {
    // 256 bytes is a whole period of both schedules, so piecewise and whole scrambling must agree.
    for (int key : {0x37, 0x6C}) {
        const std::vector<uint8_t> plain = fixtures::PatternBytes(8192, 77);
        std::vector<uint8_t> whole = plain;
        (void)EncryptionPSW::DecryptionBuffer(key, whole.data(), 0, 8192);
        std::vector<uint8_t> pieces = plain;
        for (int at = 0; at < 8192; at += 256)
            (void)EncryptionPSW::DecryptionBuffer(key, pieces.data(), at, 256);
        EXPECT_EQ(whole, pieces) << "key " << key;
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

TEST(EncryptionPSW, RotationsGsiByteAndFreshKeys) {
    EXPECT_EQ(EncryptionPSW::ByteRotateSx(0x81, 1), 0x03);
    EXPECT_EQ(EncryptionPSW::ByteRotateDx(0x81, 1), 0xC0);
    EXPECT_EQ(EncryptionPSW::ByteRotateSx(0x81, 0), 0x81);
    EXPECT_EQ(EncryptionPSW::ByteRotateDx(0x81, -3), 0x81);
    EXPECT_EQ(EncryptionPSW::ByteRotateSx(0x12, 7), 0x09);
    EXPECT_EQ(EncryptionPSW::EncryptionGSIByte(0x42, 0x5B), 0xE6); // NOT(0x42 ^ 0x5B)
    EXPECT_EQ(EncryptionPSW::DecryptionGSIByte(0xE6, 0x5B), 0x42);
    for (int i = 0; i < 5; ++i) {
        const int key = EncryptionPSW::GetScramblebyte();
        EXPECT_GE(key, 1);
        EXPECT_LE(key, 254);
        EXPECT_GE(EncryptionMode1::GetScramblebyte(), 1);
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
    EXPECT_EQ(EncryptionMode1::DecryptionBuffer(0x91, data.data(), 10, 200), 1);
    EXPECT_EQ(data, plain);
    (void)EncryptionMode1::DecryptionBuffer(0, data.data(), 0, 300);
    (void)EncryptionMode1::DecryptionBuffer(0x91, data.data(), 0, 0);
    EXPECT_EQ(data, plain);
}
