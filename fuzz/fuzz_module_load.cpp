// Fuzz target: a module file from outside, loaded from memory, then summarised. When the first
// byte is odd the stored sums are recomputed first, so mutations reach the checks behind them.
#include "firmware/Checksums.h"
#include "firmware/ModuleData.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > INT_MAX)
        return 0;
    std::vector<uint8_t> bytes(data, data + size);
    if (size >= 12 && (bytes[0] & 1) != 0) {
        const ByteSums sums = ComputeByteSums(std::span(bytes).subspan(6, size - 12));
        bytes[size - 4] = static_cast<uint8_t>(sums.sum1 >> 8);
        bytes[size - 3] = static_cast<uint8_t>(sums.sum1);
        bytes[size - 2] = static_cast<uint8_t>(sums.sum2 >> 8);
        bytes[size - 1] = static_cast<uint8_t>(sums.sum2);
    }
    ModuleData module;
    if (module.LoadModuleFromMemory(bytes.data(), static_cast<int>(size)))
        (void)module.GetFileInfo();
    return 0;
}
