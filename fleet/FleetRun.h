// Running one piece of work on many printers: at most N at once, carrying on past a printer that
// fails, starting no new printer once a stop was requested (Ctrl-C), and some printers (USB ones
// during an upgrade) strictly one after another.
#pragma once

#include "fleet/PrinterAddress.h"

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace fleet {

enum class State { Ok, Failed, Skipped };

const char* StateName(State state);

struct PrinterResult {
    State state = State::Skipped;
    int code = 0;       // the failure's code; 0 when ok
    std::string reason; // the failure's text; empty when ok
    nlohmann::json detail = nlohmann::json::object();
};

struct FleetOptions {
    int parallel = 1;
    // Printers for which this holds run one at a time, whatever `parallel` says.
    std::function<bool(const PrinterTarget&)> oneAtATime;
    // Called when a printer starts (result null) and when it ends, never from two threads at once.
    std::function<void(size_t index, const PrinterTarget&, const PrinterResult*)> progress;
};

using PrinterWork = std::function<PrinterResult(const PrinterTarget&)>;

// One result per target, in the targets' order. Work that throws counts as a failed printer.
std::vector<PrinterResult> RunFleet(const std::vector<PrinterTarget>& targets, const PrinterWork& work,
                                    const FleetOptions& options);

} // namespace fleet
