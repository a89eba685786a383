// Pattern search over a large answer, the way the protocol layer looks for frame markers, next to a
// plain memchr scan of the same buffer as the baseline.
#include "base/GenericFunctions.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> MakeAnswer(size_t size) {
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<uint8_t>('A' + i % 23);
    const char marker[] = "<DATABYTES>";
    for (size_t at = 4096; at + sizeof marker < size; at += 65536)
        memcpy(&data[at], marker, sizeof marker - 1);
    return data;
}

constexpr size_t kAnswerSize = 4 * 1024 * 1024;

void BM_FindString(benchmark::State& state) {
    std::vector<uint8_t> data = MakeAnswer(kAnswerSize);
    for (auto _ : state) {
        auto hits = GenericFunctions::FindString(data.data(), static_cast<int>(data.size()), "<DATABYTES>");
        benchmark::DoNotOptimize(hits);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_FindString);

void BM_MemchrBaseline(benchmark::State& state) {
    std::vector<uint8_t> data = MakeAnswer(kAnswerSize);
    for (auto _ : state) {
        size_t count = 0;
        const uint8_t* p = data.data();
        const uint8_t* end = p + data.size();
        while ((p = static_cast<const uint8_t*>(memchr(p, '<', static_cast<size_t>(end - p)))) != nullptr) {
            ++count;
            ++p;
        }
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_MemchrBaseline);

} // namespace
