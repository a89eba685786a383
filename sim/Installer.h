// The printer's loader: judges a firmware group (the banks between a send-banks and a program
// command) or a module image as the printer does, decides its result byte, the release it reports
// afterwards and whether it restarts to run what it installed, and records the transfer.
//
// Firmware: the sums of the program command are checked over the bytes received, with the index
// running over the whole group in mode U1 and restarting in every bank otherwise (U3, U5). Right
// sums install (0xAA), wrong ones do not (0x99). Mode U5 sends its code part as banks 0 to 2 and then
// every data bank alone: the code part restarts the printer, a data bank is answered and the printer
// stays, except after the last data bank (the profile's upgrade.banks), which restarts it.
// Modules: the file's own sums and MOD_ID are checked; 0xAA installs and restarts, 0x44 for wrong
// sums, 0x33 for an id the loader does not take.
#pragma once

#include "sim/Faults.h"
#include "sim/PrinterState.h"
#include "sim/Recogniser.h"

#include <optional>

namespace sim {

struct Outcome;

class Installer {
public:
    explicit Installer(PrinterState& state) : m_state(state) {}

    // The answer to a send-banks, program or module request (nullopt: none).
    [[nodiscard]] std::optional<Bytes> Handle(const Request& request, const FaultDecision& fault,
                                              Outcome& outcome);

private:
    std::optional<Bytes> Program(const Request& request, const FaultDecision& fault, Outcome& outcome);
    std::optional<Bytes> Module(const Request& request, const FaultDecision& fault, Outcome& outcome);
    void Restart(const FaultDecision& fault, Outcome& outcome);

    PrinterState& m_state;
};

// The first ";" token of the upgrade settings: 0 when the printer sends no programming answer over
// USB; 1 when the token is missing or not a number.
[[nodiscard]] int UsbProgramAnswer(const std::string& settings);

} // namespace sim
