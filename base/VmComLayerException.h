// The frame layer's exception: opening a port or a checked write failed.
#pragma once

#include <exception>
#include <string>

using VmComLayerError = int;

class VmComLayerException : public std::exception {
public:
    static constexpr VmComLayerError kInvalidPort = 2; // bad kind, no port, malformed device name
    static constexpr VmComLayerError kOpenFailed = 3;  // the port's own open failed
    static constexpr VmComLayerError kWriteFailed = 7;

    VmComLayerException() : VmComLayerException(0) {}
    explicit VmComLayerException(const char* message)
        : m_message(message ? message : ""), m_what(m_message.empty() ? DefaultWhat(0) : m_message) {}
    explicit VmComLayerException(VmComLayerError code) : m_code(code), m_what(DefaultWhat(code)) {}

    const std::string& getMessage() const { return m_message; }
    VmComLayerError getCode() const { return m_code; }
    // The message, or "Communication layer error N" when there is none.
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    static std::string DefaultWhat(VmComLayerError code) {
        return "Communication layer error " + std::to_string(code);
    }

    std::string m_message;
    VmComLayerError m_code = 0;
    std::string m_what;
};
