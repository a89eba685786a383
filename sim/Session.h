// The printer's side of one exchange: takes a recognised request, consults the fault switches, and
// decides the answer bytes, how they are delivered, what changed in the printer, and whether the
// printer restarts. Transports only carry the bytes; everything observable is decided here.
#pragma once

#include "sim/Faults.h"
#include "sim/Installer.h"
#include "sim/PrinterState.h"
#include "sim/Recogniser.h"
#include "sim/Transfers.h"

#include <map>
#include <optional>
#include <string>

namespace sim {

struct Delivery {
    uint32_t delayMs = 0;
    uint32_t dripBytes = 0; // 0: all at once
    uint32_t dripIntervalMs = 0;
    std::optional<uint32_t> dropAfter; // bytes sent before the connection drops
};

struct Outcome {
    std::string name; // the request's name (Request::Name)
    bool answered = false;
    Bytes answer;
    Delivery delivery;
    bool restart = false;     // the printer resets: drop the connection, unreachable for a while
    uint32_t restartMs = 0;   // how long the restart lasts
    bool neverReturn = false; // the printer does not come back from this restart
    bool silentOnUsb = false; // the answer is not sent when the host is on USB
    std::string bootLoader;   // the restart goes into this boot loader ("renesas"), not the printer
    std::vector<ValueChange> changes;
    std::vector<std::string> notes; // refusal reasons and the fault switches that fired
    std::optional<TransferRecord> transfer;
};

class Session {
public:
    Session(PrinterState& state, FaultInjector& faults)
        : m_state(state), m_faults(faults), m_installer(state) {}

    [[nodiscard]] Outcome Handle(const Request& request);

private:
    // The answer without faults; nullopt when a real printer sends none.
    std::optional<Bytes> Answer(const Request& request, bool wrongChecksum, Outcome& outcome);
    std::optional<Bytes> AnswerFramed(const Request& request, bool wrongChecksum, Outcome& outcome);
    std::optional<Bytes> AnswerIdentity(const Request& request) const;
    Bytes AnswerItem(const Request& request, bool wrongChecksum, Outcome& outcome) const;
    Bytes AnswerSetValue(const Request& request, Outcome& outcome);
    std::optional<Bytes> AnswerTool(const Request& request, Outcome& outcome);
    std::optional<Bytes> AnswerStatus(const Request& request);
    std::optional<Bytes> SwitchToBoot(const Request& request, const FaultDecision& fault, Outcome& outcome);
    [[nodiscard]] Bytes LateAnswer(const std::string& name, Bytes answer, bool stale);

    PrinterState& m_state;
    FaultInjector& m_faults;
    Installer m_installer;
    // The last answer of each request name, for answers that arrive late.
    std::map<std::string, Bytes> m_previousAnswers;
};

// ddmmyyHHMMSS as the set-date tool sends it, turned into "YYYY/MM/DD HH:MM:SS"; empty when invalid.
[[nodiscard]] std::string ToolDateToItemText(const std::string& digits);

} // namespace sim
