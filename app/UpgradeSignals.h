// Ctrl-C and SIGTERM during --upgrade. The first signal asks the upgrade to stop: before the first
// byte of an image it ends cleanly with a failure status; once a transfer has begun, that transfer and
// its result step are finished first, so the printer is not left with half an image. A second signal
// ends the process at once, for an operator who accepts that risk.
#pragma once

#include <csignal>

class UpgradeSignalGuard {
public:
    UpgradeSignalGuard();
    ~UpgradeSignalGuard();
    UpgradeSignalGuard(const UpgradeSignalGuard&) = delete;
    UpgradeSignalGuard& operator=(const UpgradeSignalGuard&) = delete;

private:
    struct sigaction m_previousInt {};
    struct sigaction m_previousTerm {};
};
