#include "tests/support/SimTranscript.h"

#include "tests/support/TempDir.h"

#include <algorithm>
#include <sstream>

std::string SimTranscript::Text() const {
    return ReadWholeFile(m_path);
}

std::vector<nlohmann::json> SimTranscript::Lines() const {
    std::vector<nlohmann::json> lines;
    std::istringstream in(Text());
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(nlohmann::json::parse(line));
    return lines;
}

std::vector<std::string> SimTranscript::Requests() const {
    std::vector<std::string> names;
    for (const nlohmann::json& line : Lines())
        if (line.contains("request"))
            names.push_back(line["request"].get<std::string>());
    return names;
}

int SimTranscript::Count(const std::string& request) const {
    const std::vector<std::string> names = Requests();
    return static_cast<int>(std::count(names.begin(), names.end(), request));
}

std::vector<std::vector<std::string>> SimTranscript::FieldsOf(const std::string& request) const {
    std::vector<std::vector<std::string>> result;
    for (const nlohmann::json& line : Lines())
        if (line.value("request", "") == request)
            result.push_back(line.value("fields", std::vector<std::string>{}));
    return result;
}

bool SimTranscript::AnyConnection() const {
    const std::vector<nlohmann::json> lines = Lines();
    return std::any_of(lines.begin(), lines.end(), [](const nlohmann::json& line) {
        return line.contains("request") || line.value("event", "") == "connect";
    });
}
