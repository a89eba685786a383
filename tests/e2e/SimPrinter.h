// A simulated printer for the end-to-end cases: dalvora-printer-sim started on loopback TCP or a pty
// with a profile, fault switches and a transcript, and the real dalvora binary run against it; both
// with every wait scaled down.
#pragma once

#include "tests/support/BackgroundProcess.h"
#include "tests/support/ProcessRunner.h"
#include "tests/support/SimTranscript.h"
#include "tests/support/TempDir.h"

#include <memory>
#include <string>
#include <vector>

// Short enough for fast runs, long enough that a loaded machine still answers within the read timeouts.
inline constexpr const char* kTimeScale = "0.1";

// SimPrinter({.profile = "minimal"}), SimPrinter({.faults = {"silence"}}), SimPrinter({.pty = true}).
struct SimOptions {
    std::string profile = "default";
    std::vector<std::string> faults = {};
    bool pty = false;                   // a serial line instead of TCP
    std::vector<std::string> sets = {}; // profile changes, "PATH=VALUE" as --set takes them
};

class SimPrinter {
public:
    explicit SimPrinter(const SimOptions& options = {});

    bool Started() const { return m_port != 0 || !m_ptyPath.empty(); }
    // "-t eth -d 127.0.0.1:PORT", or the serial line at a rate the printer does not use.
    std::vector<std::string> DeviceArgs() const;
    uint16_t Port() const { return m_port; }

    // What the printer saw, and how many exchanges had this request name ("C4", "GSI", ...).
    const SimTranscript& Log() const { return m_transcript; }
    int Count(const std::string& request) const { return m_transcript.Count(request); }

private:
    TempDir m_dir;
    SimTranscript m_transcript;
    std::string m_ptyPath;
    uint16_t m_port = 0;
    std::unique_ptr<BackgroundProcess> m_process;
};

// The real dalvora, with waits scaled down.
ProcessResult Dalvora(const std::vector<std::string>& args, int timeoutMs = 60000);
// The same as the USB host of a simulated USB printer (`dalvora-printer-sim --usb -- dalvora ...`),
// which starts it under umockdev's preload; with the device "-t usb -d ANY" after the arguments.
ProcessResult UnderUsbSim(const std::vector<std::string>& simArgs, const std::vector<std::string>& args,
                          int timeoutMs = 60000);
ProcessResult DalvoraOverUsb(const std::vector<std::string>& simArgs, const std::vector<std::string>& args,
                             int timeoutMs = 60000);
// The first field (the item id) of each set-value request from the `from`th on.
std::vector<std::string> SetValueIds(const SimTranscript& transcript, size_t from = 0);
inline bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}
// Joins option lists.
std::vector<std::string> Args(std::vector<std::string> first, const std::vector<std::string>& second);
