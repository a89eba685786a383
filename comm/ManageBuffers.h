// Byte-buffer sums and searches of the frame layer.
#pragma once

#include <cstddef>
#include <cstdint>

struct ManageBuffers {
    // Sum of the bytes at positions from..to inclusive, clamped to the buffer; 0 when from > to.
    static uint64_t CalcChecksum(const uint8_t* buf, size_t length, int from, int to);
    // First position at or after start where the pattern lies wholly inside length bytes, or -1.
    static int GetBufferPosition(const uint8_t* buf, int length, int start, const uint8_t* pattern,
                                 int patternLength);
};
