#include "tests/comm/session/InProcessPrinter.h"

#include "sim/Options.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

sim::Profile ShippedProfile(const std::string& name) {
    return sim::LoadProfileFile(sim::ResolveProfilePath(name));
}

TranscribedPrinter::TranscribedPrinter(sim::Profile profile, const std::vector<std::string>& faults)
    : m_transcriptPath(m_dir.file("transcript.jsonl")),
      m_printer(std::move(profile), sim::InProcessOptions{faults, m_transcriptPath, std::nullopt}) {}

CommPortSettings TranscribedPrinter::Settings() const {
    CommPortSettings settings;
    settings.type = COMM_ETHERNET;
    settings.ipAddress = "127.0.0.1";
    settings.tcpPort = m_printer.Port();
    return settings;
}

std::string TranscribedPrinter::TranscriptText() const {
    std::ifstream in(m_transcriptPath);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> TranscribedPrinter::Requests() const {
    std::vector<std::string> names;
    std::istringstream in(TranscriptText());
    for (std::string line; std::getline(in, line);) {
        const auto json = nlohmann::json::parse(line);
        if (json.contains("request"))
            names.push_back(json["request"].get<std::string>());
    }
    return names;
}

std::vector<std::vector<std::string>> TranscribedPrinter::FieldsOf(const std::string& request) const {
    std::vector<std::vector<std::string>> result;
    std::istringstream in(TranscriptText());
    for (std::string line; std::getline(in, line);) {
        const auto json = nlohmann::json::parse(line);
        if (json.value("request", "") == request)
            result.push_back(json.value("fields", std::vector<std::string>{}));
    }
    return result;
}
