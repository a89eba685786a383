#include "upgrade/UpgradeStop.h"

#include <atomic>

namespace {
std::atomic<bool> g_stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler may only touch lock-free atomics");
} // namespace

void RequestUpgradeStop() noexcept {
    g_stopRequested.store(true, std::memory_order_relaxed);
}

bool UpgradeStopRequested() noexcept {
    return g_stopRequested.load(std::memory_order_relaxed);
}

void ClearUpgradeStop() noexcept {
    g_stopRequested.store(false, std::memory_order_relaxed);
}
