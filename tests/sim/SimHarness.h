// Test helpers for the simulator: requests written from the host's side of the wire (not the product's
// frame layer), a running simulator process, and the in-process printer.
#pragma once

#include "sim/Server.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace simtest {

using sim::Bytes;

Bytes B(const std::string& text); // the bytes of a text, NULs included when written as "\0"s
std::string S(const Bytes& bytes);

// A framed command: 1F FF code, then the fields as "<f>" each.
Bytes Command(unsigned code, const std::vector<std::string>& fields = {});
// The set-value command with its checksum (sum of the bytes before it, mod 256), as a host sends it.
Bytes SetValueCommand(const std::string& id, const std::string& value);

// The running program, ended with SIGTERM when the object goes.
class SimProcess {
public:
    SimProcess(const std::vector<std::string>& args, const std::vector<std::string>& env = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The next line of standard output ("" after 5 s or at the end).
    std::string ReadLine();
    // Ends it with the signal and returns the exit status (or 128 + signal).
    int Stop(int signal = 15);

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_buffered;
};

// True when the bytes form a complete frame ending in ETX (binary blocks skipped).
bool FrameComplete(const Bytes& bytes);

// The in-process printer: state, faults and session together.
struct Printer {
    explicit Printer(const std::string& profileJson);
    sim::Outcome Send(const Bytes& bytes); // one request, its outcome
    sim::PrinterState state;
    sim::FaultInjector faults;
    sim::Session session;
    sim::Recogniser recogniser;
};

// A small valid profile for tests; `extra` members replace or add top-level members.
std::string SmallProfile(const std::string& extra = "");

} // namespace simtest
