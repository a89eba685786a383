// Collecting a 4 MB logo-sized answer delivered in 1024-byte reads by an in-memory port, next to a
// plain memcpy of the same bytes: the frame layer's own cost per byte.
#include "comm/CommLayer.h"
#include "tests/support/ScriptedPort.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

constexpr size_t kPayloadSize = 4 * 1024 * 1024;

std::string MakeAnswer() {
    std::string payload(kPayloadSize, '\0');
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>(i * 31 + 7); // holds ETX bytes too
    return "\x02<C50><DATABYTES>" + payload + "</DATABYTES>\x03";
}

void BM_ReadProtocolData4MB(benchmark::State& state) {
    const std::string answer = MakeAnswer();
    auto script = std::make_shared<PortScript>();
    CommLayer layer([script](CommPortType) { return std::make_unique<ScriptedPort>(script); });
    layer.Open(COMM_USB_PRN, "1|2|3", 0, 0, 0);
    for (auto _ : state) {
        state.PauseTiming();
        script->QueueRead(answer);
        state.ResumeTiming();
        auto collected = layer.ReadProtocolData();
        benchmark::DoNotOptimize(collected);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * answer.size()));
}
BENCHMARK(BM_ReadProtocolData4MB)->Unit(benchmark::kMillisecond);

void BM_MemcpyBaseline4MB(benchmark::State& state) {
    const std::string answer = MakeAnswer();
    std::vector<char> target(answer.size());
    for (auto _ : state) {
        for (size_t at = 0; at < answer.size(); at += 1024)
            memcpy(target.data() + at, answer.data() + at, std::min<size_t>(1024, answer.size() - at));
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * answer.size()));
}
BENCHMARK(BM_MemcpyBaseline4MB)->Unit(benchmark::kMillisecond);

} // namespace
