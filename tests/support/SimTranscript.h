// The simulator's transcript (one JSON object per line: an exchange with its request name and fields,
// or an event such as a connection), read the one way every suite reads it; the upgrade transfers the
// printer received come out as records.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

// One firmware group or module the printer received (the "transfer" member of its exchange).
struct SimTransfer {
    std::string kind;   // "firmware" or "module"
    std::string part;   // firmware: "image", "code" or "data"; module: its MOD_ID
    int firstBank = 0;  // firmware only
    int lastBank = 0;   // firmware only
    int moduleType = 0; // module only
    size_t bytes = 0;
    std::string sums;   // "ok" or "bad"
    std::string sha256; // of every byte received, lower-case hexadecimal
    std::string answer; // the result byte decided, e.g. "aa"
    bool installed = false;
};

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
    // The bytes of each request with this name as received, in lower-case hexadecimal, in order.
    std::vector<std::string> ReceivedOf(const std::string& request) const;
    // Whether any host connected or sent anything.
    bool AnyConnection() const;
    // The transfers in the order received, and that order as "firmware:image", "module:F", ...
    std::vector<SimTransfer> Transfers() const;
    std::vector<std::string> TransferOrder() const;

private:
    std::string m_path;
};
