// Polling with a generous limit, the tests' one way to wait for something another thread or process
// does.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

// Polls `done` until it holds or limitMs pass; its last answer.
[[nodiscard]] inline bool WaitUntil(const std::function<bool()>& done, int limitMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(2)); // a poll interval, not a wait
    }
    return true;
}
