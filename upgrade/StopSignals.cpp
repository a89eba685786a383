#include "upgrade/StopSignals.h"

#include "upgrade/UpgradeStop.h"

#include <atomic>
#include <cstring>
#include <unistd.h>

namespace {

// Lock-free, so safe to touch from a signal handler.
std::atomic<int> g_signalsSeen{0};
std::atomic<const char*> g_notice{""};
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<const char*>::is_always_lock_free);

// Only async-signal-safe calls here: the stop flag, write(2), and re-raising with the default action.
void OnStopSignal(int signal) {
    if (g_signalsSeen.fetch_add(1) == 0) {
        RequestUpgradeStop();
        const char* notice = g_notice.load();
        ssize_t ignored = write(STDERR_FILENO, notice, strlen(notice));
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

StopSignalGuard::StopSignalGuard(const char* notice) {
    g_signalsSeen.store(0);
    g_notice.store(notice);
    ClearUpgradeStop();
    Install(SIGINT, &m_previousInt);
    Install(SIGTERM, &m_previousTerm);
}

StopSignalGuard::~StopSignalGuard() {
    sigaction(SIGINT, &m_previousInt, nullptr);
    sigaction(SIGTERM, &m_previousTerm, nullptr);
}
