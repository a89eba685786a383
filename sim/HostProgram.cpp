// Starting and reaping the host program; see HostProgram.h.
#include "sim/HostProgram.h"

#include "base/Log.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace sim {
namespace {

constexpr const char* kPreloadLibrary = "libumockdev-preload.so.0";
// ASan checks that it comes first in the library order, which the preload breaks.
constexpr const char* kAsanLinkOrderOff = "verify_asan_link_order=0";

bool Named(const std::string& entry, const std::string& name) {
    return entry.size() > name.size() && entry.compare(0, name.size(), name) == 0 &&
           entry[name.size()] == '=';
}

// Ours, with the host's entries replacing any of the same name.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> merged;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const std::string& x : extra)
            replaced = replaced || Named(entry, x.substr(0, x.find('=')));
        if (!replaced)
            merged.push_back(entry);
    }
    merged.insert(merged.end(), extra.begin(), extra.end());
    return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> out;
    for (std::string& t : texts)
        out.push_back(t.data());
    out.push_back(nullptr);
    return out;
}

// In the child between fork and exec: only async-signal-safe calls. A failed exec reports its errno
// through the pipe, which a successful one closes.
[[noreturn]] void RunChild(char* const* argv, char* const* envp, int errorPipe) {
    (void)::prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::signal(SIGPIPE, SIG_DFL);
    ::execvpe(argv[0], argv, envp);
    const int error = errno;
    (void)!::write(errorPipe, &error, sizeof error);
    ::_exit(127);
}

} // namespace

std::vector<std::string> HostEnvironment(const char* ldPreload, const char* asanOptions,
                                         const std::string& umockdevDir) {
    std::string preload = std::string("LD_PRELOAD=") + kPreloadLibrary;
    if (ldPreload != nullptr && *ldPreload != '\0')
        preload += std::string(":") + ldPreload;
    std::string asan = "ASAN_OPTIONS=";
    if (asanOptions != nullptr && *asanOptions != '\0')
        asan += std::string(asanOptions) + ":";
    asan += kAsanLinkOrderOff;
    return {preload, "UMOCKDEV_DIR=" + umockdevDir, asan};
}

HostProgram::HostProgram(const std::vector<std::string>& argv, const std::string& umockdevDir) {
    if (argv.empty())
        throw HostProgramError("no program to run");
    // Everything the child needs is built before the fork: the simulator has threads by now.
    std::vector<std::string> env =
        MergedEnvironment(HostEnvironment(::getenv("LD_PRELOAD"), ::getenv("ASAN_OPTIONS"), umockdevDir));
    std::vector<std::string> args = argv;
    std::vector<char*> envp = Pointers(env);
    std::vector<char*> argp = Pointers(args);
    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0)
        throw HostProgramError(std::string("pipe: ") + std::strerror(errno));
    const pid_t parent = ::getpid();
    m_pid = ::fork();
    if (m_pid == 0) {
        if (::getppid() != parent) // the simulator died before the death signal was armed
            ::_exit(127);
        ::close(errorPipe[0]);
        RunChild(argp.data(), envp.data(), errorPipe[1]);
    }
    ::close(errorPipe[1]);
    int error = 0;
    const bool failed = m_pid < 0 || ::read(errorPipe[0], &error, sizeof error) == sizeof error;
    if (m_pid < 0)
        error = errno;
    ::close(errorPipe[0]);
    if (failed) {
        if (m_pid > 0)
            (void)::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
        throw HostProgramError("cannot run " + argv[0] + ": " + std::strerror(error));
    }
    // Through syscall(): this glibc declares pidfd_open without C linkage for C++.
    m_pidFd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
    if (m_pidFd < 0) {
        const std::string why = std::strerror(errno);
        Terminate();
        (void)Wait();
        throw HostProgramError("cannot watch " + argv[0] + ": pidfd_open: " + why);
    }
    Log::WriteLogP("HostProgram", "Started %s (pid %d)", argv[0].c_str(), static_cast<int>(m_pid));
}

HostProgram::~HostProgram() {
    if (m_pid > 0 && m_status < 0) {
        Terminate();
        (void)Wait();
    }
    if (m_pidFd >= 0)
        ::close(m_pidFd);
}

void HostProgram::Terminate() {
    if (m_pid > 0 && m_status < 0)
        ::kill(m_pid, SIGTERM);
}

int HostProgram::Wait() {
    if (m_status >= 0 || m_pid <= 0)
        return m_status;
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    Log::WriteLogP("HostProgram", "Ended with %d", m_status);
    return m_status;
}

} // namespace sim
