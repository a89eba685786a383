// The simulated printer inside the test process, on loopback TCP, with its transcript to say what the
// session operations sent.
#pragma once

#include "sim/InProcessPrinter.h"
#include "sim/Profile.h"
#include "tests/support/SimTranscript.h"
#include "tests/support/TempDir.h"
#include "transport/CommPortSettings.h"

#include <cstdint>
#include <string>
#include <vector>

// A shipped profile ("default", "minimal"), to adjust before the printer starts.
sim::Profile ShippedProfile(const std::string& name);
// A numeric item of range 0..10 (default 5) holding `current`, which may lie outside that range.
sim::SetupItem NumericItem(uint32_t id, double current);

class TranscribedPrinter {
public:
    explicit TranscribedPrinter(sim::Profile profile, const std::vector<std::string>& faults = {});

    CommPortSettings Settings() const;
    // Request names in order ("GSI", "C4", ...), and the fields of the requests with this name.
    std::vector<std::string> Requests() const { return m_transcript.Requests(); }
    std::vector<std::vector<std::string>> FieldsOf(const std::string& request) const {
        return m_transcript.FieldsOf(request);
    }
    std::vector<std::string> ReceivedOf(const std::string& request) const {
        return m_transcript.ReceivedOf(request);
    }
    // The upgrade transfers received, as "firmware:image", "module:F", ...
    std::vector<std::string> TransferOrder() const { return m_transcript.TransferOrder(); }

private:
    TempDir m_dir;
    SimTranscript m_transcript;
    sim::InProcessPrinter m_printer;
};
