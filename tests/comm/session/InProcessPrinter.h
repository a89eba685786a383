// The simulated printer inside the test process, on loopback TCP: the session operations are driven
// directly, with the printer's transcript to say what they sent.
#pragma once

#include "comm/CommPortSettings.h"
#include "sim/Profile.h"
#include "sim/Server.h"
#include "tests/support/TempDir.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// A shipped profile ("default", "minimal"), to adjust before the printer starts.
sim::Profile ShippedProfile(const std::string& name);

class InProcessPrinter {
public:
    explicit InProcessPrinter(sim::Profile profile, const std::vector<std::string>& faults = {});
    ~InProcessPrinter();
    InProcessPrinter(const InProcessPrinter&) = delete;
    InProcessPrinter& operator=(const InProcessPrinter&) = delete;

    CommPortSettings Settings() const;
    // Request names in order ("GSI", "C4", ...), and the fields of the requests with this name.
    std::vector<std::string> Requests() const;
    std::vector<std::vector<std::string>> FieldsOf(const std::string& request) const;
    std::string TranscriptText() const;

private:
    TempDir m_dir;
    std::string m_transcriptPath;
    sim::PrinterState m_state;
    sim::FaultInjector m_faults;
    sim::Transcript m_transcript;
    sim::Server m_server;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
