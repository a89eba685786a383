// Asking a running upgrade to stop. A signal handler may call RequestUpgradeStop; the upgrade looks at
// the request between its steps: before any image byte has left it ends at once, once a transfer has
// begun it finishes that transfer and its result and then ends, so a printer is never left with half
// an image.
#pragma once

// Async-signal-safe: only stores a lock-free flag.
void RequestUpgradeStop() noexcept;
[[nodiscard]] bool UpgradeStopRequested() noexcept;
// Forgets a request, for the next upgrade of a program that keeps running (the window, tests).
void ClearUpgradeStop() noexcept;
