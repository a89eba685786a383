#include "comm/ManageBuffers.h"

#include <algorithm>
#include <cstring>

uint64_t ManageBuffers::CalcChecksum(const uint8_t* buf, size_t length, int from, int to) {
    if (buf == nullptr || from > to || length == 0)
        return 0;
    size_t first = static_cast<size_t>(std::max(from, 0));
    size_t last = std::min(static_cast<size_t>(std::max(to, 0)), length - 1);
    uint64_t sum = 0;
    for (size_t i = first; i <= last && i < length; ++i)
        sum += buf[i];
    return sum;
}

int ManageBuffers::GetBufferPosition(const uint8_t* buf, int length, int start, const uint8_t* pattern,
                                     int patternLength) {
    if (buf == nullptr || pattern == nullptr || patternLength <= 0 || start < 0 || start >= length)
        return -1;
    const uint8_t* end = buf + length;
    const uint8_t* found = std::search(buf + start, end, pattern, pattern + patternLength);
    return found == end ? -1 : static_cast<int>(found - buf);
}
