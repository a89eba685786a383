#include "firmware/Checksums.h"

ByteSums ComputeByteSums(std::span<const uint8_t> bytes) {
    ByteSums sums;
    AccumulateByteSums(sums, bytes);
    return sums;
}

void AccumulateByteSums(ByteSums& sums, std::span<const uint8_t> bytes) {
    // 32-bit accumulators over blocks of 64 KiB cannot overflow and keep the loop free of truncations;
    // only the low 16 bits of the position matter, so the position wraps with the block.
    uint32_t sum1 = sums.sum1;
    uint32_t sum2 = sums.sum2;
    const size_t n = bytes.size();
    for (size_t block = 0; block < n; block += 65536) {
        const size_t end = n - block < 65536 ? n : block + 65536;
        uint32_t s1 = 0;
        uint32_t s2 = 0;
        for (size_t i = block; i < end; ++i) {
            const uint32_t b = bytes[i];
            s1 += b;
            s2 += b ^ static_cast<uint32_t>(i & 0xFFFF);
        }
        sum1 += s1;
        sum2 += s2;
    }
    sums.sum1 = static_cast<uint16_t>(sum1);
    sums.sum2 = static_cast<uint16_t>(sum2);
}
