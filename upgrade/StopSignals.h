// Ctrl-C and SIGTERM while a command-line front end works on printers. The first signal asks the work
// to stop (RequestUpgradeStop): an upgrade ends before the first byte of an image, or finishes the
// transfer it has begun and its result step, so no printer is left with half an image; a fleet run
// starts no further printer. The notice tells the operator which. A second signal ends the process at
// once, for an operator who accepts that risk.
#pragma once

#include <csignal>

class StopSignalGuard {
public:
    // notice: printed on standard error at the first signal; must outlive the guard.
    explicit StopSignalGuard(const char* notice);
    ~StopSignalGuard();
    StopSignalGuard(const StopSignalGuard&) = delete;
    StopSignalGuard& operator=(const StopSignalGuard&) = delete;

private:
    struct sigaction m_previousInt {};
    struct sigaction m_previousTerm {};
};
