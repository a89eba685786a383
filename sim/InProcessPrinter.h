// The simulated printer on a thread of the caller's process, for tests and benchmarks that drive the
// product's session code directly: TCP on loopback (a free port) or a pty serial line.
#pragma once

#include "sim/Server.h"

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace sim {

struct InProcessOptions {
    std::vector<std::string> faults;       // switches as on the command line
    std::optional<std::string> transcript; // the transcript file, none by default
    std::optional<std::string> ptyPath;    // a serial line at the profile's rate instead of TCP
};

class InProcessPrinter {
public:
    InProcessPrinter(Profile profile, const InProcessOptions& options = {});
    ~InProcessPrinter();
    InProcessPrinter(const InProcessPrinter&) = delete;
    InProcessPrinter& operator=(const InProcessPrinter&) = delete;

    // The loopback port (0 on a serial line).
    [[nodiscard]] uint16_t Port() const { return m_port; }

private:
    PrinterState m_state;
    FaultInjector m_faults;
    Transcript m_transcript;
    Server m_server;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace sim
