#include "ctl/StopSignal.h"

#include "upgrade/UpgradeStop.h"

#include <atomic>
#include <unistd.h>

namespace ctl {

namespace {

std::atomic<int> g_signalsSeen{0};
static_assert(std::atomic<int>::is_always_lock_free);

// Only async-signal-safe calls: the stop flag, write(2), re-raising with the default action.
void OnStopSignal(int signal) {
    if (g_signalsSeen.fetch_add(1) == 0) {
        RequestUpgradeStop();
        static const char kNotice[] =
            "\nStop requested: no further printer is started, running ones finish (signal again to force)\n";
        ssize_t ignored = write(STDERR_FILENO, kNotice, sizeof(kNotice) - 1);
        (void)ignored;
        return;
    }
    std::signal(signal, SIG_DFL);
    raise(signal);
}

void Install(int signal, struct sigaction* previous) {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, previous);
}

} // namespace

StopSignalGuard::StopSignalGuard() {
    g_signalsSeen.store(0);
    ClearUpgradeStop();
    Install(SIGINT, &m_previousInt);
    Install(SIGTERM, &m_previousTerm);
}

StopSignalGuard::~StopSignalGuard() {
    sigaction(SIGINT, &m_previousInt, nullptr);
    sigaction(SIGTERM, &m_previousTerm, nullptr);
}

} // namespace ctl
