// The simulator's transcript (one JSON object per line: an exchange with its request name and fields,
// or an event such as a connection), read the one way every suite reads it.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

class SimTranscript {
public:
    explicit SimTranscript(std::string path) : m_path(std::move(path)) {}

    const std::string& Path() const { return m_path; }
    std::string Text() const;
    // Every line so far (none while the file does not exist).
    std::vector<nlohmann::json> Lines() const;
    // The request names in order ("GSI", "C4", ...), and how many exchanges had this name.
    std::vector<std::string> Requests() const;
    int Count(const std::string& request) const;
    // The fields of each request with this name, in order.
    std::vector<std::vector<std::string>> FieldsOf(const std::string& request) const;
    // Whether any host connected or sent anything.
    bool AnyConnection() const;

private:
    std::string m_path;
};
