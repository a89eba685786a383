#include "tests/support/BackgroundProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

int MsLeft(std::chrono::steady_clock::time_point end) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<long long>(left.count(), 0));
}

std::chrono::steady_clock::time_point In(int ms) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

} // namespace

BackgroundProcess::BackgroundProcess(const std::string& program, const std::vector<std::string>& args,
                                     const std::vector<std::string>& env, bool collectError) {
    int out[2];
    int err[2] = {-1, -1};
    if (pipe2(out, O_CLOEXEC) != 0)
        return;
    if (collectError && pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return;
    }
    m_pid = fork();
    if (m_pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        if (collectError)
            dup2(err[1], STDERR_FILENO);
        if (const int devNull = open("/dev/null", O_RDONLY); devNull >= 0)
            dup2(devNull, STDIN_FILENO); // a program waiting for input meets its end, not the test's terminal
        for (const std::string& assignment : env)
            putenv(const_cast<char*>(assignment.c_str()));
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    m_fds[0] = out[0];
    if (collectError) {
        close(err[1]);
        m_fds[1] = err[0];
    }
}

BackgroundProcess::~BackgroundProcess() {
    (void)Stop(SIGTERM);
}

void BackgroundProcess::Signal(int signal) const {
    if (m_pid > 0)
        kill(m_pid, signal);
}

bool BackgroundProcess::Pump(int timeoutMs) {
    pollfd fds[2] = {{m_fds[0], POLLIN, 0}, {m_fds[1], POLLIN, 0}};
    if (fds[0].fd < 0 && fds[1].fd < 0)
        return false;
    if (poll(fds, 2, timeoutMs) <= 0)
        return true;
    std::string* sinks[2] = {&m_result.out, &m_result.err};
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0)
            continue;
        char buffer[4096];
        const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
            sinks[i]->append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            close(m_fds[i]);
            m_fds[i] = -1;
        }
    }
    return true;
}

std::string BackgroundProcess::ReadLine(int timeoutMs) {
    const auto end = In(timeoutMs);
    size_t newline;
    while ((newline = m_result.out.find('\n')) == std::string::npos)
        if (MsLeft(end) == 0 || m_fds[0] < 0 || !Pump(MsLeft(end)))
            return {};
    std::string line = m_result.out.substr(0, newline);
    m_result.out.erase(0, newline + 1);
    return line;
}

bool BackgroundProcess::WaitForError(const std::string& text, int limitMs) {
    const auto end = In(limitMs);
    while (m_result.err.find(text) == std::string::npos)
        if (MsLeft(end) == 0 || !Pump(MsLeft(end)))
            return false;
    return true;
}

ProcessResult BackgroundProcess::Finish(int timeoutMs) {
    const auto end = In(timeoutMs);
    while (Pump(MsLeft(end)))
        if (MsLeft(end) == 0) {
            m_result.timedOut = true;
            Signal(SIGKILL);
            break;
        }
    int status = 0;
    Reap(status);
    m_result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m_result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return m_result;
}

int BackgroundProcess::Stop(int signal) {
    if (m_pid <= 0)
        return -1;
    Signal(signal);
    int status = 0;
    Reap(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Waits for the program's end (a program that ignores its signal gets SIGKILL after 10 s) and closes
// the pipes.
void BackgroundProcess::Reap(int& status) {
    if (m_pid > 0) {
        const auto end = In(10000);
        while (waitpid(m_pid, &status, WNOHANG) == 0) {
            if (MsLeft(end) == 0) {
                Signal(SIGKILL);
                waitpid(m_pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5)); // a poll interval, not a wait
        }
        m_pid = -1;
    }
    for (int& fd : m_fds)
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
}
