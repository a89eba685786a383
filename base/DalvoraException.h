// The application exception: carries a session error code from the printer operations up to the
// command line (exit status) or the window (result code).
#pragma once

#include <string>

using DalvoraError = int;

class DalvoraException {
public:
    explicit DalvoraException(DalvoraError code) : m_code(code) {}
    DalvoraException(DalvoraError code, const char* message)
        : m_code(code), m_message(message ? message : "") {}

    DalvoraError getCode() const { return m_code; }
    const std::string& getMessage() const { return m_message; }

    // Extra text the window appends when writing to a printer fails.
    static std::string getDescriptionFromErrorCode(int code);

private:
    DalvoraError m_code;
    std::string m_message;
};
