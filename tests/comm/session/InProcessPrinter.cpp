#include "tests/comm/session/InProcessPrinter.h"

#include "sim/Options.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

namespace {

sim::FaultSet FaultsFrom(const std::vector<std::string>& switches) {
    sim::FaultSet set;
    for (const std::string& text : switches)
        sim::AddFault(set, text);
    return set;
}

} // namespace

sim::Profile ShippedProfile(const std::string& name) {
    return sim::LoadProfileFile(sim::ResolveProfilePath(name));
}

InProcessPrinter::InProcessPrinter(sim::Profile profile, const std::vector<std::string>& faults)
    : m_transcriptPath(m_dir.file("transcript.jsonl")), m_state(std::move(profile)),
      m_faults(FaultsFrom(faults)), m_transcript(m_transcriptPath),
      m_server(m_state, m_faults, m_transcript) {
    auto listener = std::make_unique<sim::TcpListener>("127.0.0.1", 0);
    m_port = listener->Port();
    m_server.AddTcp(std::move(listener));
    m_thread = std::thread([this] { m_server.Run(m_stop); });
}

InProcessPrinter::~InProcessPrinter() {
    m_stop = true;
    m_thread.join();
}

CommPortSettings InProcessPrinter::Settings() const {
    CommPortSettings settings;
    settings.type = COMM_ETHERNET;
    settings.ipAddress = "127.0.0.1";
    settings.tcpPort = m_port;
    return settings;
}

std::string InProcessPrinter::TranscriptText() const {
    std::ifstream in(m_transcriptPath);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> InProcessPrinter::Requests() const {
    std::vector<std::string> names;
    std::istringstream in(TranscriptText());
    for (std::string line; std::getline(in, line);) {
        const auto json = nlohmann::json::parse(line);
        if (json.contains("request"))
            names.push_back(json["request"].get<std::string>());
    }
    return names;
}

std::vector<std::vector<std::string>> InProcessPrinter::FieldsOf(const std::string& request) const {
    std::vector<std::vector<std::string>> result;
    std::istringstream in(TranscriptText());
    for (std::string line; std::getline(in, line);) {
        const auto json = nlohmann::json::parse(line);
        if (json.value("request", "") == request)
            result.push_back(json.value("fields", std::vector<std::string>{}));
    }
    return result;
}
