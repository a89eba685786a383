// Test helpers; see SimHarness.h.
#include "tests/sim/SimHarness.h"

#include <nlohmann/json.hpp>
#include <stdexcept>

namespace simtest {

Bytes B(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

std::string S(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

Bytes Command(unsigned code, const std::vector<std::string>& fields) {
    Bytes out{0x1F, 0xFF, static_cast<uint8_t>(code)};
    for (const auto& f : fields) {
        out.push_back('<');
        out.insert(out.end(), f.begin(), f.end());
        out.push_back('>');
    }
    return out;
}

Bytes SetValueCommand(const std::string& id, const std::string& value) {
    Bytes out = Command(0x05, {id, value});
    unsigned sum = 0;
    for (uint8_t b : out)
        sum += b;
    const std::string checksum = "<" + std::to_string(sum % 256) + ">";
    out.insert(out.end(), checksum.begin(), checksum.end());
    return out;
}

bool FrameComplete(const Bytes& bytes) {
    const std::string text = S(bytes);
    const size_t begin = text.find("<DATABYTES>");
    if (begin == std::string::npos)
        return text.find('\x03') != std::string::npos;
    const size_t end = text.find("</DATABYTES>", begin);
    return end != std::string::npos && text.find('\x03', end) != std::string::npos;
}

Printer::Printer(const std::string& profileJson)
    : state(sim::LoadProfileText(profileJson, "test")), session(state, faults) {}

sim::Outcome Printer::Send(const Bytes& bytes) {
    std::vector<sim::Request> requests;
    recogniser.Feed(bytes.data(), bytes.size(), requests);
    if (requests.size() != 1)
        throw std::runtime_error("expected one request, got " + std::to_string(requests.size()));
    return session.Handle(requests[0]);
}

std::string SmallProfile(const std::string& extra) {
    nlohmann::json p = nlohmann::json::parse(R"({
      "name": "Test-1", "gsi": "0x141", "firmware": "FW 1.0", "baud": 19200, "capabilities": 17,
      "reset_ms": 2000,
      "header": ["LINE ONE"],
      "tools": {"group1": 127},
      "status": {"general_mask": 1, "extended_bytes": 1,
                 "general_schedule": [{"bytes": [0,0,0,0], "answers": 2}, {"bytes": [1,0,0,0], "answers": 1}],
                 "extended_schedule": [{"bytes": [9]}]},
      "items": [
        {"id": 7, "kind": "list", "text": "Speed", "first": 0, "elements": ["Low", "High"],
         "default": 0, "current": 0},
        {"id": 1203, "kind": "numeric", "text": "Width", "min": 10, "max": 80, "step": 0.5,
         "default": 40, "current": 72.5, "links": [{"op": "H,D", "source": 7, "value": 1}]},
        {"id": 8, "kind": "string", "text": "Address", "min_len": 7, "max_len": 15, "mask": 512,
         "default": "10.0.0.1", "current": "10.0.0.1"},
        {"id": 9, "kind": "datetime", "text": "Clock", "current": "2025/03/04 09:05:07"},
        {"id": 10, "kind": "checkboxes", "text": "Flags", "bits": 9, "default": [0, 0], "current": [255, 1],
         "elements": [{"text": "a", "bit": 0}, {"text": "b", "bit": 1}, {"text": "c", "bit": 2},
                      {"text": "d", "bit": 3}, {"text": "e", "bit": 4}, {"text": "f", "bit": 5},
                      {"text": "g", "bit": 6}, {"text": "h", "bit": 7}, {"text": "i", "bit": 8}]}
      ]})");
    if (!extra.empty())
        p.update(nlohmann::json::parse(extra));
    return p.dump();
}

} // namespace simtest
