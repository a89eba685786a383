#include "firmware/EncryptionPSW.h"

#include <bit>
#include <cstring>
#include <ctime>
#include <random>

namespace {

uint8_t RotateLeft(uint8_t v, unsigned n) {
    n &= 7;
    return n == 0 ? v : static_cast<uint8_t>((v << n) | (v >> (8 - n)));
}

uint8_t RotateRight(uint8_t v, unsigned n) {
    n &= 7;
    return n == 0 ? v : static_cast<uint8_t>((v >> n) | (v << (8 - n)));
}

// Odd keys: the rotation grows by one every 4 bytes and wraps after 32.
unsigned OddRotation(size_t i) {
    return static_cast<unsigned>((i >> 2) & 7);
}
// Even keys: the rotation grows by one every 32 bytes and wraps after 256.
unsigned EvenRotation(size_t i) {
    return static_cast<unsigned>((i & 0xFF) >> 5);
}

uint8_t ScrambleOdd(uint8_t b, uint8_t k, unsigned r) {
    return RotateLeft(static_cast<uint8_t>(~(b ^ k)), r);
}
uint8_t DescrambleOdd(uint8_t b, uint8_t k, unsigned r) {
    return static_cast<uint8_t>(~(RotateRight(b, r) ^ k));
}
uint8_t ScrambleEven(uint8_t b, uint8_t k, unsigned r) {
    return RotateRight(static_cast<uint8_t>(b ^ k), r);
}
uint8_t DescrambleEven(uint8_t b, uint8_t k, unsigned r) {
    return static_cast<uint8_t>(RotateLeft(b, r) ^ k);
}

// Whole firmware images go eight bytes at a time: every byte of a 64-bit word is rotated left by
// n within itself (n in 0..7), XORed with a replicated key before and/or after.
constexpr uint64_t Replicate(uint8_t b) {
    return 0x0101010101010101ull * b;
}

uint64_t RotateBytesLeft(uint64_t x, unsigned n) {
    const uint64_t lowBits = Replicate(static_cast<uint8_t>((1u << n) - 1));
    return ((x << n) & ~lowBits) | ((x >> (8 - n)) & lowBits);
}

uint64_t Load64(const uint8_t* p) {
    uint64_t x;
    std::memcpy(&x, p, sizeof x);
    return x;
}

void Store64(uint8_t* p, uint64_t x) {
    std::memcpy(p, &x, sizeof x);
}

// One 32-byte block is 8 groups of 4 bytes; `leftAmount(group, block)` gives each group's rotation.
struct WordPlan {
    uint64_t pre;  // XORed before the rotation
    uint64_t post; // XORed after it
};

constexpr uint64_t kLow32 = 0x00000000FFFFFFFFull;
static_assert(std::endian::native == std::endian::little, "the word layout assumes little-endian loads");

template <typename LeftAmount>
size_t TransformBlocks(uint8_t* data, size_t n, WordPlan plan, LeftAmount leftAmount) {
    size_t at = 0;
    for (size_t block = 0; at + 32 <= n; ++block, at += 32) {
        for (unsigned w = 0; w < 4; ++w) {
            const uint64_t y = Load64(data + at + 8 * w) ^ plan.pre;
            const unsigned low = leftAmount(2 * w, block);
            const unsigned high = leftAmount(2 * w + 1, block);
            const uint64_t rotated =
                low == high ? RotateBytesLeft(y, low)
                            : (RotateBytesLeft(y, low) & kLow32) | (RotateBytesLeft(y, high) & ~kLow32);
            Store64(data + at + 8 * w, rotated ^ plan.post);
        }
    }
    return at;
}

enum class Direction { Scramble, Descramble };

template <Direction D> void TransformOdd(int scramble, uint8_t* buffer, int offset, int length) {
    if (buffer == nullptr || offset < 0 || length < 1)
        return;
    const auto key = static_cast<uint8_t>(scramble);
    uint8_t* data = buffer + offset;
    const auto n = static_cast<size_t>(length);
    const uint64_t notKey = ~Replicate(key);
    const WordPlan plan = D == Direction::Scramble ? WordPlan{notKey, 0} : WordPlan{0, notKey};
    const size_t done = TransformBlocks(data, n, plan, [](unsigned group, size_t) {
        return D == Direction::Scramble ? group : (8 - group) & 7;
    });
    for (size_t i = done; i < n; ++i)
        data[i] = D == Direction::Scramble ? ScrambleOdd(data[i], key, OddRotation(i))
                                           : DescrambleOdd(data[i], key, OddRotation(i));
}

template <Direction D> void TransformEven(int scramble, uint8_t* buffer, int offset, int length) {
    if (buffer == nullptr || offset < 0 || length < 1)
        return;
    const auto key = static_cast<uint8_t>(scramble);
    uint8_t* data = buffer + offset;
    const auto n = static_cast<size_t>(length);
    const uint64_t k = Replicate(key);
    const WordPlan plan = D == Direction::Scramble ? WordPlan{k, 0} : WordPlan{0, k};
    const size_t done = TransformBlocks(data, n, plan, [](unsigned, size_t block) {
        const auto r = static_cast<unsigned>(block & 7);
        return D == Direction::Scramble ? (8 - r) & 7 : r;
    });
    for (size_t i = done; i < n; ++i)
        data[i] = D == Direction::Scramble ? ScrambleEven(data[i], key, EvenRotation(i))
                                           : DescrambleEven(data[i], key, EvenRotation(i));
}

} // namespace

int EncryptionPSW::EncryptionBuffer(int scramble, uint8_t* buffer, int offset, int length) {
    if ((scramble & 0xFF) == 0)
        return 1;
    if (scramble & 1)
        return EncryptionBufferFromBufferDispari(scramble, buffer, offset, length);
    return EncryptionBufferFromBufferPari(scramble, buffer, offset, length);
}

int EncryptionPSW::DecryptionBuffer(int scramble, uint8_t* buffer, int offset, int length) {
    if ((scramble & 0xFF) == 0)
        return 1;
    if (scramble & 1)
        return DecryptionBufferFromBufferDispari(scramble, buffer, offset, length);
    return DecryptionBufferFromBufferPari(scramble, buffer, offset, length);
}

int EncryptionPSW::EncryptionBufferFromBufferDispari(int scramble, uint8_t* buffer, int offset, int length) {
    TransformOdd<Direction::Scramble>(scramble, buffer, offset, length);
    return 1;
}

int EncryptionPSW::DecryptionBufferFromBufferDispari(int scramble, uint8_t* buffer, int offset, int length) {
    TransformOdd<Direction::Descramble>(scramble, buffer, offset, length);
    return 1;
}

int EncryptionPSW::EncryptionBufferFromBufferPari(int scramble, uint8_t* buffer, int offset, int length) {
    TransformEven<Direction::Scramble>(scramble, buffer, offset, length);
    return 1;
}

int EncryptionPSW::DecryptionBufferFromBufferPari(int scramble, uint8_t* buffer, int offset, int length) {
    TransformEven<Direction::Descramble>(scramble, buffer, offset, length);
    return 1;
}

uint8_t EncryptionPSW::ByteRotateSx(uint8_t value, int n) {
    return n < 1 ? value : RotateLeft(value, static_cast<unsigned>(n));
}

uint8_t EncryptionPSW::ByteRotateDx(uint8_t value, int n) {
    return n < 1 ? value : RotateRight(value, static_cast<unsigned>(n));
}

int EncryptionPSW::EncryptionGSIByte(int gsi, int scramble) {
    if ((scramble & 0xFF) == 0)
        return gsi;
    return static_cast<uint8_t>(~(gsi ^ scramble));
}

int EncryptionPSW::DecryptionGSIByte(int gsi, int scramble) {
    return EncryptionGSIByte(gsi, scramble);
}

int EncryptionPSW::GetScramblebyte() {
    // r mod 254 + 1: the low byte of the historic r + 2 * (r / 254) + 1, without its int overflow.
    std::minstd_rand generator(static_cast<std::minstd_rand::result_type>(std::time(nullptr)));
    return static_cast<int>(generator() % 254) + 1;
}
