// Runs a program as a user would (own process, arguments, extra environment) and captures its
// standard output, standard error and exit status, killing it after a time limit.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct ProcessResult {
    int exitCode = -1;     // exit status, or -1 when it did not exit normally
    int signal = 0;        // the terminating signal, if any
    bool timedOut = false; // killed after the time limit
    std::string out;
    std::string err;
};

struct ProcessOptions {
    std::vector<std::pair<std::string, std::string>> env; // added to (or replacing in) the environment
    int timeoutMs = 60000;
};

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});
