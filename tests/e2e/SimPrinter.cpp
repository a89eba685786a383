#include "tests/e2e/SimPrinter.h"

SimPrinter::SimPrinter(const SimOptions& options) : m_transcript(m_dir.file("transcript.jsonl")) {
    std::vector<std::string> args{"--profile", options.profile, "--transcript", m_transcript.Path()};
    if (options.pty) {
        m_ptyPath = m_dir.file("ttySIM");
        args.insert(args.end(), {"--pty", m_ptyPath});
    } else {
        args.insert(args.end(), {"--tcp", "127.0.0.1:0"});
    }
    for (const std::string& fault : options.faults)
        args.insert(args.end(), {"--fault", fault});
    for (const std::string& set : options.sets)
        args.insert(args.end(), {"--set", set});
    // The simulator's own waits (restart after a reset) follow the same scale as the product's.
    m_process = std::make_unique<BackgroundProcess>(
        "/usr/bin/env",
        Args({std::string("DALVORA_TESTONLY_TIME_SCALE=") + kTimeScale, DALVORA_SIM_BINARY}, args));
    const std::string line = m_process->ReadLine(10000);
    if (options.pty) {
        if (line.rfind("listening pty", 0) != 0)
            m_ptyPath.clear();
        return;
    }
    const size_t colon = line.rfind(':');
    if (line.rfind("listening tcp", 0) == 0 && colon != std::string::npos)
        m_port = static_cast<uint16_t>(std::stoi(line.substr(colon + 1)));
}

std::vector<std::string> SimPrinter::DeviceArgs() const {
    if (!m_ptyPath.empty())
        return {"-t", "ser", "-d", m_ptyPath + ":115200:NONE"};
    return {"-t", "eth", "-d", "127.0.0.1:" + std::to_string(m_port)};
}

std::vector<std::string> SetValueIds(const SimTranscript& transcript, size_t from) {
    std::vector<std::string> ids;
    const std::vector<std::vector<std::string>> all = transcript.FieldsOf("C5");
    for (size_t i = from; i < all.size(); ++i)
        ids.push_back(all[i].empty() ? "" : all[i][0]);
    return ids;
}

namespace {

ProcessOptions Quick(int timeoutMs) {
    ProcessOptions options;
    options.env = {{"QT_QPA_PLATFORM", "offscreen"}, {"DALVORA_TESTONLY_TIME_SCALE", kTimeScale}};
    options.timeoutMs = timeoutMs;
    return options;
}

} // namespace

ProcessResult Dalvora(const std::vector<std::string>& args, int timeoutMs) {
    return RunProcess(DALVORA_BINARY, args, Quick(timeoutMs));
}

ProcessResult UnderUsbSim(const std::vector<std::string>& simArgs, const std::vector<std::string>& args,
                          int timeoutMs) {
    return RunProcess(DALVORA_SIM_BINARY, Args(Args(simArgs, {"--usb", "--", DALVORA_BINARY}), args),
                      Quick(timeoutMs));
}

ProcessResult DalvoraOverUsb(const std::vector<std::string>& simArgs, const std::vector<std::string>& args,
                             int timeoutMs) {
    return UnderUsbSim(simArgs, Args(args, {"-t", "usb", "-d", "ANY"}), timeoutMs);
}

std::vector<std::string> Args(std::vector<std::string> first, const std::vector<std::string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}
