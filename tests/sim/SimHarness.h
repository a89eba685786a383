// Test helpers for the simulator: requests written from the host's side of the wire (not the product's
// frame layer) and the in-process printer.
#pragma once

#include "sim/Server.h"

#include <string>
#include <vector>

namespace simtest {

using sim::Bytes;

Bytes B(const std::string& text); // the bytes of a text, NULs included when written as "\0"s
std::string S(const Bytes& bytes);

// A framed command: 1F FF code, then the fields as "<f>" each.
Bytes Command(unsigned code, const std::vector<std::string>& fields = {});
// The set-value command with its checksum (sum of the bytes before it, mod 256), as a host sends it.
Bytes SetValueCommand(const std::string& id, const std::string& value);

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
