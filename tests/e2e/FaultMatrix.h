// The fault matrix: every command-line operation that talks to a printer, run as the real dalvora
// against the real simulator, with one printer fault struck at one chosen exchange. This file names
// the operations, faults and places, works out where a place falls in an operation's conversation
// (from a clean run's transcript) and how long the program's own time-outs and retries may make a
// faulted run last, and runs one case.
#pragma once

#include "tests/support/ProcessRunner.h"
#include "tests/support/SimTranscript.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace faultmatrix {

enum class Op { PrinterVersion, Tool, UploadTool, SendChanged, SendAll, UpgradeModule, UpgradePackage };
enum class Fault {
    NoAnswer,
    Error,
    WrongChecksum,
    Drop,
    Stall,       // an answer later than the exchange's time-out
    Garbage,     // junk before the answer
    Drip,        // every answer split in small pieces
    LateWithin,  // an answer late but within the time-out
    Stale,       // the answer to the previous request of the same kind
    Vanish,      // the printer's link goes down (network namespace)
    BadSum,      // upgrade: the loader finds the sums wrong
    Refused,     // upgrade: the loader answers a failure byte
    NoReturn,    // upgrade: the printer never comes back from its restart
    SlowRestart, // upgrade: the restart lasts longer than usual
    Split        // one answer in one-byte pieces
};
// Transfer: while the firmware's banks are on the wire (a package large enough to fill the buffers).
enum class Where { Handshake, First, Middle, Last, Store, Anywhere, Transfer };
enum class Link { Tcp, Pty, Usb };

struct Case {
    Op op;
    Fault fault;
    Where where;
    Link link;
};

std::string Name(const Case& c);
// How gtest shows a case: by its name.
inline void PrintTo(const Case& c, std::ostream* out) {
    *out << Name(c);
}
// Every case of the matrix: all of it over TCP, a subset over the serial line and USB.
std::vector<Case> AllCases(bool withUsb);

// A request as the simulator's fault switches select it ("C4#12").
struct Exchange {
    std::string kind;
    int nth = 0;
    std::string Selector() const { return kind + "#" + std::to_string(nth); }
};

// What a run without faults looked like: the requests in order and how long it took.
struct CleanRun {
    std::vector<Exchange> exchanges;
    uint64_t elapsedMs = 0;
    size_t answeredBytes = 0;
    std::vector<nlohmann::json> lines;
    std::string out; // what the program printed
};

struct Verdict {
    ProcessResult result;
    uint64_t elapsedMs = 0;
    uint64_t boundMs = 0;
    std::string selector;   // where the fault struck
    std::string skipReason; // non-empty: the case does not apply
    std::vector<std::string> problems;
    std::string Summary(const std::string& name) const;
};

// Runs one case: resolves its place from the clean run, runs the faulted one and judges it.
Verdict RunCase(const Case& c);

// The directory the per-case summary lines and cached clean runs go to.
std::string ResultDirectory();

} // namespace faultmatrix
