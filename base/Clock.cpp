#include "base/Clock.h"

#include "base/GenericFunctions.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

namespace {
std::atomic<double>& ScaleSlot() {
    static std::atomic<double> scale{Clock::ParseScale(std::getenv(Clock::kScaleVariable))};
    return scale;
}
std::atomic<uint64_t>& SleptSlot() {
    static std::atomic<uint64_t> slept{0};
    return slept;
}

void SleepForUs(int64_t us) {
    std::this_thread::sleep_for(std::chrono::microseconds(us));
    SleptSlot().fetch_add(static_cast<uint64_t>(us), std::memory_order_relaxed);
}
} // namespace

uint64_t Clock::SleptUs() {
    return SleptSlot().load(std::memory_order_relaxed);
}

double Clock::ParseScale(const char* text) {
    int ok = 0;
    float value = GenericFunctions::ParseFloat(text, 1.0f, &ok);
    if (!ok || !(value > 0.0f) || value > 1.0f)
        return 1.0;
    return value;
}

double Clock::Scale() {
    return ScaleSlot().load();
}

void Clock::SetScaleForTesting(double scale) {
    ScaleSlot().store(scale > 0.0 && scale <= 1.0 ? scale : 1.0);
}

uint64_t Clock::MonotonicMs() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

uint32_t Clock::ScaledMs(uint32_t ms) {
    if (ms == 0)
        return 0;
    double scaled = std::ceil(static_cast<double>(ms) * Scale());
    return scaled < 1.0 ? 1u : static_cast<uint32_t>(scaled);
}

void Clock::SleepMs(uint32_t ms) {
    if (ms == 0)
        return;
    SleepForUs(static_cast<int64_t>(ScaledMs(ms)) * 1000);
}

void Clock::SleepUs(uint32_t us) {
    if (us == 0)
        return;
    double scaled = std::ceil(static_cast<double>(us) * Scale());
    SleepForUs(static_cast<int64_t>(scaled));
}
