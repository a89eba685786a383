// The two 16-bit integrity sums shared by firmware packages, module files and bank transfers:
// the plain byte sum and the sum of each byte XOR its position, both modulo 65536.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

struct ByteSums {
    uint16_t sum1 = 0; // sum of the bytes
    uint16_t sum2 = 0; // sum of (byte XOR position), position counted from 0 in the range

    friend bool operator==(const ByteSums&, const ByteSums&) = default;
};

// Both sums over one range; an empty range gives 0 and 0.
[[nodiscard]] ByteSums ComputeByteSums(std::span<const uint8_t> bytes);

// Adds one more range to running sums, its positions restarting at 0 (banks sent one after the other).
void AccumulateByteSums(ByteSums& sums, std::span<const uint8_t> bytes);
