// The frame layer's exception: opening a port or a checked write failed.
#pragma once

#include <string>

using VmComLayerError = int;

class VmComLayerException {
public:
    static constexpr VmComLayerError kInvalidPort = 2; // bad kind, no port, malformed device name
    static constexpr VmComLayerError kOpenFailed = 3;  // the port's own open failed
    static constexpr VmComLayerError kWriteFailed = 7;

    VmComLayerException() = default;
    explicit VmComLayerException(const char* message) : m_message(message ? message : "") {}
    explicit VmComLayerException(VmComLayerError code) : m_code(code) {}

    const std::string& getMessage() const { return m_message; }
    VmComLayerError getCode() const { return m_code; }

private:
    std::string m_message;
    VmComLayerError m_code = 0;
};
