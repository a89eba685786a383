// Descrambling a 16 MB firmware image (both key parities and the module scheme) next to a memcpy of
// the same size, and loading a 16 MB package from a file, with the peak heap use of the load.
#include "tools/Fixtures.h"
#include "firmware/EncryptionMode1.h"
#include "firmware/EncryptionPSW.h"
#include "firmware/PSWFile.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unistd.h>

namespace {

// Heap accounting for the peak-memory figure: every operator new of the process goes through here.
std::atomic<size_t> g_current{0};
std::atomic<size_t> g_peak{0};

void* Allocate(size_t size) {
    auto* block = static_cast<size_t*>(std::malloc(size + sizeof(std::max_align_t)));
    if (block == nullptr)
        throw std::bad_alloc();
    *block = size;
    const size_t now = g_current.fetch_add(size) + size;
    size_t peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
    return reinterpret_cast<char*>(block) + sizeof(std::max_align_t);
}

void Release(void* p) {
    if (p == nullptr)
        return;
    auto* block = reinterpret_cast<size_t*>(static_cast<char*>(p) - sizeof(std::max_align_t));
    g_current.fetch_sub(*block);
    std::free(block);
}

constexpr size_t kImageSize = 16u << 20;

const std::vector<uint8_t>& Image() {
    static const std::vector<uint8_t> image = fixtures::PatternBytes(kImageSize, 42);
    return image;
}

bool g_packageWritten = false;

// 14 MB of firmware and a 2 MB flash-disk module, scrambled with an odd key: 16 MB in all.
const std::string& PackagePath() {
    static const std::string path = [] {
        fixtures::PackageDescription desc =
            fixtures::StandardPackage(true, fixtures::PatternBytes(14u << 20, 1));
        std::get<fixtures::PrinterSlot>(desc.slots[0]).scrambleByte = 0x5B;
        fixtures::ModuleDescription disk = fixtures::StandardModule('D');
        disk.payload = fixtures::PatternBytes((2u << 20) - 4200, 2);
        fixtures::ModuleSlot module;
        module.kind = 'd';
        module.image = fixtures::WriteModuleFile(disk);
        desc.slots.push_back(module);
        const std::vector<uint8_t> bytes = fixtures::WritePackage(desc);
        std::string name = "/tmp/dalvora_bench_" + std::to_string(getpid()) + ".psw";
        FILE* file = fopen(name.c_str(), "wb");
        if (file == nullptr || fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
            std::abort();
        fclose(file);
        g_packageWritten = true;
        return name;
    }();
    return path;
}

void BM_Memcpy16MB(benchmark::State& state) {
    std::vector<uint8_t> target(kImageSize);
    for (auto _ : state) {
        std::memcpy(target.data(), Image().data(), kImageSize);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kImageSize));
}

template <int Key> void BM_DescramblePSW16MB(benchmark::State& state) {
    std::vector<uint8_t> data = Image();
    for (auto _ : state) {
        (void)EncryptionPSW::DecryptionBuffer(Key, data.data(), 0, static_cast<int>(kImageSize));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kImageSize));
}

void BM_DescrambleMode1_16MB(benchmark::State& state) {
    std::vector<uint8_t> data = Image();
    for (auto _ : state) {
        (void)EncryptionMode1::DecryptionBuffer(0x91, data.data(), 0, static_cast<int>(kImageSize));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kImageSize));
}

void BM_LoadPackage16MBFromFile(benchmark::State& state) {
    const std::string& path = PackagePath();
    size_t fileSize = 0;
    size_t peakAbove = 0;
    for (auto _ : state) {
        const size_t before = g_current.load();
        g_peak.store(before);
        {
            PSWFile file;
            if (!file.LoadPSWFromFile(path.c_str(), true))
                state.SkipWithError("the benchmark package did not load");
            fileSize = file.GetFileData().size();
        }
        peakAbove = g_peak.load() - before;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fileSize));
    state.counters["peak_MB"] = static_cast<double>(peakAbove) / (1 << 20);
    state.counters["peak_x_file"] =
        fileSize ? static_cast<double>(peakAbove) / static_cast<double>(fileSize) : 0;
}

} // namespace

void* operator new(size_t size) {
    return Allocate(size);
}
void* operator new[](size_t size) {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, size_t) noexcept {
    Release(p);
}

BENCHMARK(BM_Memcpy16MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DescramblePSW16MB<0x5B>)->Name("BM_DescramblePSW16MB/odd_key")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DescramblePSW16MB<0x64>)->Name("BM_DescramblePSW16MB/even_key")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DescrambleMode1_16MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPackage16MBFromFile)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_packageWritten)
        std::remove(PackagePath().c_str());
    return 0;
}
