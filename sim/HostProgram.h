// The program the simulator runs as the USB host (`--usb -- PROGRAM ARGS...`): started under umockdev's
// preload with UMOCKDEV_DIR naming the testbed, so that its libusb finds the emulated printer, exactly
// as umockdev-wrapper would start it. The simulator serves until it ends and exits with its status.
#pragma once

#include <stdexcept>
#include <string>
#include <sys/types.h>
#include <vector>

namespace sim {

class HostProgramError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The entries ("NAME=value") the program gets on top of the simulator's environment, given what the
// caller set (null: unset): umockdev's preload library first in LD_PRELOAD, as umockdev-wrapper puts
// it; the testbed in UMOCKDEV_DIR; and, appended to whatever ASAN_OPTIONS held, the switch that lets
// an AddressSanitizer build run behind a preloaded library.
[[nodiscard]] std::vector<std::string> HostEnvironment(const char* ldPreload, const char* asanOptions,
                                                       const std::string& umockdevDir);

class HostProgram {
public:
    // Starts the program (looked up in PATH like a shell does); throws HostProgramError when it cannot
    // be run. It is killed if the simulator dies first.
    HostProgram(const std::vector<std::string>& argv, const std::string& umockdevDir);
    // Ends a program still running (SIGTERM) and reaps it.
    ~HostProgram();
    HostProgram(const HostProgram&) = delete;
    HostProgram& operator=(const HostProgram&) = delete;

    // Readable once the program has ended.
    [[nodiscard]] int ExitFd() const { return m_pidFd; }
    // Asks the program to end (SIGTERM).
    void Terminate();
    // Waits for the end: the exit status, or 128 + the signal that ended it.
    [[nodiscard]] int Wait();

private:
    pid_t m_pid = -1;
    int m_pidFd = -1;
    int m_status = -1;
};

} // namespace sim
