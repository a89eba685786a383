// Fuzz target: a firmware package from outside, loaded from memory, then summarised. When the last
// byte of the first slot (never read) is odd, the format-2 sums in that slot are recomputed first,
// so mutations reach the checks behind them.
#include "firmware/Checksums.h"
#include "firmware/PSWFile.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > INT_MAX)
        return 0;
    std::vector<uint8_t> bytes(data, data + size);
    if (size >= 32 && (bytes[31] & 1) != 0) {
        const ByteSums sums = ComputeByteSums(std::span(bytes).subspan(32));
        bytes[26] = static_cast<uint8_t>(sums.sum1 >> 8);
        bytes[27] = static_cast<uint8_t>(sums.sum1);
        bytes[28] = static_cast<uint8_t>(sums.sum2 >> 8);
        bytes[29] = static_cast<uint8_t>(sums.sum2);
    }
    PSWFile file;
    if (file.LoadPSWFromMemory(bytes.data(), static_cast<int>(size), false))
        (void)file.GetFileInfo(true);
    return 0;
}
