// The pieces every printer operation is made of: a port that is closed whichever way the operation
// ends, one command and its answer cut into fields, and the failure that logs its step and throws.
#pragma once

#include "base/DalvoraException.h"
#include "comm/CommLayer.h"
#include "comm/Commands.h"
#include "comm/ProtocolFields.h"

#include <array>
#include <cstddef>
#include <optional>

class PrinterData;

namespace printer_session {

// Closes the layer's port when the operation leaves, unless it was closed already.
class PortCloser {
public:
    explicit PortCloser(CommLayer& layer) : m_layer(layer) {}
    ~PortCloser();
    PortCloser(const PortCloser&) = delete;
    PortCloser& operator=(const PortCloser&) = delete;

    void Close();

private:
    CommLayer& m_layer;
    bool m_open = true;
};

// One answer cut into fields; refusal is the printer's error code (100 + n), or 13 for a malformed
// answer, 0 for a positive one.
struct Answer {
    ProtocolFields fields;
    DalvoraError refusal = 0;
};

// Writes the command and collects its answer (timed when timeoutMs is given); nothing when no answer
// arrived or the command does not exist in the printer's protocol version (an empty command).
std::optional<Answer> Ask(CommLayer& layer, const unsigned char* command, size_t size,
                          std::optional<int> timeoutMs = std::nullopt);
inline std::optional<Answer> Ask(CommLayer& layer, const Bytes& command,
                                 std::optional<int> timeoutMs = std::nullopt) {
    return Ask(layer, command.data(), command.size(), timeoutMs);
}
template <size_t N>
std::optional<Answer> Ask(CommLayer& layer, const std::array<unsigned char, N>& command,
                          std::optional<int> timeoutMs = std::nullopt) {
    return Ask(layer, command.data(), N, timeoutMs);
}

// The record of a positive answer, read with the printer's protocol version.
AnswerRecord RecordOf(const Answer& answer, const PrinterData& data, uint64_t& dataErrors);
inline AnswerRecord RecordOf(const Answer& answer, const PrinterData& data) {
    uint64_t ignored = 0;
    return RecordOf(answer, data, ignored);
}

// The printer's protocol version as the command builders take it (0 when none was read).
uint64_t VersionOf(const PrinterData& data);

// Discards a half-finished exchange: the cancel byte.
void Cancel(CommLayer& layer);

// Logs the step under the operation's name and throws its code.
[[noreturn]] void Fail(const char* where, const char* text, DalvoraError code);
// An error answer: "Return is a Error Answer %d", then its code.
[[noreturn]] void FailRefused(const char* where, DalvoraError code);

// A frame-layer failure inside an operation: "Communication Error", "Error: %d", then code 7.
[[noreturn]] void FailCommunication(const char* where, int layerCode);

// Runs an operation body; a failed write inside it (the frame layer's exception) becomes the
// session error "no answer", which is what the printer's silence would have given.
template <typename Body> auto Guarded(const char* where, Body&& body) -> decltype(body()) {
    try {
        return body();
    } catch (const VmComLayerException& e) {
        FailCommunication(where, e.getCode());
    }
}

} // namespace printer_session
