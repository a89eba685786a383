// The one clock and sleep facility every wait of the program goes through. Tests run the real binary
// with all waits scaled down through DALVORA_TESTONLY_TIME_SCALE (a factor in (0, 1], read once).
#pragma once

#include <cstdint>

class Clock {
public:
    static constexpr const char* kScaleVariable = "DALVORA_TESTONLY_TIME_SCALE";

    // Milliseconds of a monotonic clock; for deadlines and elapsed times, never for dates.
    static uint64_t MonotonicMs();

    // Sleeps for the given time, scaled.
    static void SleepMs(uint32_t ms);
    static void SleepUs(uint32_t us);

    // A duration after scaling; a non-zero duration never scales to 0 (0 means "no wait" to callers).
    static uint32_t ScaledMs(uint32_t ms);

    // Microseconds slept through this facility since the start (after scaling): what the mandated
    // waits cost, as benchmarks report it.
    static uint64_t SleptUs();

    static double Scale();
    static void SetScaleForTesting(double scale);

    // The factor an environment value stands for: 1 for a missing, malformed or out-of-range value.
    static double ParseScale(const char* text);
};
