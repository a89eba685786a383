// Ctrl-C and SIGTERM during a fleet run: the first signal stops new printers from starting (running
// sessions finish, and a running upgrade finishes the transfer it has begun); a second signal ends
// the process at once.
#pragma once

#include <csignal>

namespace ctl {

class StopSignalGuard {
public:
    StopSignalGuard();
    ~StopSignalGuard();
    StopSignalGuard(const StopSignalGuard&) = delete;
    StopSignalGuard& operator=(const StopSignalGuard&) = delete;

private:
    struct sigaction m_previousInt {};
    struct sigaction m_previousTerm {};
};

} // namespace ctl
