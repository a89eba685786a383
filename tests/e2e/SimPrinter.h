// A simulated printer for the end-to-end cases: dalvora-printer-sim started on loopback TCP or a pty
// with a profile, fault switches and a transcript, and the real dalvora binary run against it; both
// with every wait scaled down.
#pragma once

#include "tests/support/BackgroundProcess.h"
#include "tests/support/ProcessRunner.h"
#include "tests/support/SimTranscript.h"
#include "tests/support/TempDir.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <vector>

// Short enough for fast runs, long enough that a loaded machine still answers within the read timeouts.
inline constexpr const char* kTimeScale = "0.1";

struct SimOptions {
    std::string profile = "default";
    std::vector<std::string> faults;
    bool pty = false; // a serial line instead of TCP

    static SimOptions Profile(std::string name) {
        SimOptions o;
        o.profile = std::move(name);
        return o;
    }
    static SimOptions Faults(std::vector<std::string> switches) {
        SimOptions o;
        o.faults = std::move(switches);
        return o;
    }
    static SimOptions Serial() {
        SimOptions o;
        o.pty = true;
        return o;
    }
};

class SimPrinter {
public:
    explicit SimPrinter(const SimOptions& options = {});

    bool Started() const { return m_port != 0 || !m_ptyPath.empty(); }
    // "-t eth -d 127.0.0.1:PORT", or the serial line at a rate the printer does not use.
    std::vector<std::string> DeviceArgs() const;
    uint16_t Port() const { return m_port; }

    // Every transcript line so far.
    std::vector<nlohmann::json> Transcript() const { return m_transcript.Lines(); }
    // The request names ("C4", "GSI", ...) in order, and how many exchanges had this name.
    std::vector<std::string> Requests() const { return m_transcript.Requests(); }
    int Count(const std::string& request) const { return m_transcript.Count(request); }
    // The ids of the set-value requests, in order.
    std::vector<std::string> SetValueIds() const;
    bool AnyConnection() const { return m_transcript.AnyConnection(); }

    const TempDir& Dir() const { return m_dir; }

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
// which starts it under umockdev's preload; the device is "-t usb -d ANY".
ProcessResult DalvoraOverUsb(const std::vector<std::string>& simArgs, const std::vector<std::string>& args,
                             int timeoutMs = 60000);
// Joins option lists.
std::vector<std::string> Args(std::vector<std::string> first, const std::vector<std::string>& second);
