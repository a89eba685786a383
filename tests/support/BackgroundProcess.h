// A program started for the length of a test (a simulator, a responder): its first lines of standard
// output can be awaited, and it is killed when the object goes.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

class BackgroundProcess {
public:
    BackgroundProcess(const std::string& program, const std::vector<std::string>& args);
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    // The next line of standard output, or "" when none comes within timeoutMs.
    std::string ReadLine(int timeoutMs);

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_pending;
};
