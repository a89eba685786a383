#include "app/UpgradeSignals.h"

#include "upgrade/UpgradeStop.h"

#include <atomic>
#include <unistd.h>

namespace {

// Lock-free, so safe to touch from a signal handler.
std::atomic<int> g_signalsSeen{0};
static_assert(std::atomic<int>::is_always_lock_free);

// Only async-signal-safe calls here: the stop flag, write(2), and re-raising with the default action.
void OnStopSignal(int signal) {
    if (g_signalsSeen.fetch_add(1) == 0) {
        RequestUpgradeStop();
        static const char kNotice[] =
            "\nStop requested: the upgrade ends before the next transfer (signal again to force)\n";
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
    action.sa_flags = SA_RESTART; // the ports retry what a signal interrupts, but fewer is better
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, previous);
}

} // namespace

UpgradeSignalGuard::UpgradeSignalGuard() {
    g_signalsSeen.store(0);
    Install(SIGINT, &m_previousInt);
    Install(SIGTERM, &m_previousTerm);
}

UpgradeSignalGuard::~UpgradeSignalGuard() {
    sigaction(SIGINT, &m_previousInt, nullptr);
    sigaction(SIGTERM, &m_previousTerm, nullptr);
}
