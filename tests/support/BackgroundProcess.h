// A program started for the length of a test (a simulator, a responder, the product itself): its lines
// of standard output can be awaited, standard error collected when asked for, and it can be signalled
// part-way. It is ended with SIGTERM (SIGKILL when that is not enough) when the object goes.
#pragma once

#include "tests/support/ProcessRunner.h"

#include <string>
#include <sys/types.h>
#include <vector>

class BackgroundProcess {
public:
    // env: "NAME=value" entries added to the program's environment. collectError: standard error goes
    // to the object (read while waiting), not to the test's own.
    BackgroundProcess(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& env = {}, bool collectError = false);
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    // The next line of standard output, or "" when none comes within timeoutMs.
    std::string ReadLine(int timeoutMs);
    void Signal(int signal) const;
    // Collects output until standard error holds `text`; false when it does not come within limitMs.
    [[nodiscard]] bool WaitForError(const std::string& text, int limitMs);
    // Collects the output no ReadLine took until the program ends (killed after timeoutMs).
    [[nodiscard]] ProcessResult Finish(int timeoutMs);
    // Ends it with the signal: its exit status, or 128 + the signal that ended it.
    int Stop(int signal);

private:
    // Waits up to timeoutMs for output and appends what came; false once both pipes are closed.
    bool Pump(int timeoutMs);
    void Reap(int& status);

    pid_t m_pid = -1;
    int m_fds[2] = {-1, -1}; // standard output, standard error
    ProcessResult m_result;  // out: what ReadLine has not taken yet
};
