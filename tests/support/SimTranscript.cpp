#include "tests/support/SimTranscript.h"

#include "tests/support/TempDir.h"

#include <algorithm>
#include <sstream>

std::string SimTranscript::Text() const {
    return ReadWholeFile(m_path);
}

std::vector<nlohmann::json> SimTranscript::Lines() const {
    std::vector<nlohmann::json> lines;
    std::string text = Text();
    // A running simulator may be writing its next line: only whole lines count.
    text.erase(text.find_last_of('\n') == std::string::npos ? 0 : text.find_last_of('\n') + 1);
    std::istringstream in(text);
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

std::vector<std::string> SimTranscript::ReceivedOf(const std::string& request) const {
    std::vector<std::string> result;
    for (const nlohmann::json& line : Lines())
        if (line.value("request", "") == request)
            result.push_back(line.value("received", ""));
    return result;
}

bool SimTranscript::AnyConnection() const {
    const std::vector<nlohmann::json> lines = Lines();
    return std::any_of(lines.begin(), lines.end(), [](const nlohmann::json& line) {
        return line.contains("request") || line.value("event", "") == "connect";
    });
}

std::vector<SimTransfer> SimTranscript::Transfers() const {
    std::vector<SimTransfer> transfers;
    for (const nlohmann::json& line : Lines()) {
        if (!line.contains("transfer"))
            continue;
        const nlohmann::json& t = line["transfer"];
        SimTransfer r;
        r.kind = t.value("kind", "");
        r.part = r.kind == "module" ? t.value("module_id", "") : t.value("part", "");
        r.firstBank = t.value("first_bank", 0);
        r.lastBank = t.value("last_bank", 0);
        r.moduleType = t.value("module_type", 0);
        r.bytes = t.value("bytes", size_t{0});
        r.sums = t.value("sums", "");
        r.sha256 = t.value("sha256", "");
        r.answer = t.value("answer", "");
        r.installed = t.value("installed", false);
        transfers.push_back(r);
    }
    return transfers;
}

std::vector<std::string> SimTranscript::TransferOrder() const {
    std::vector<std::string> order;
    for (const SimTransfer& t : Transfers())
        order.push_back(t.kind + ":" + t.part);
    return order;
}
