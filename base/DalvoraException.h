// The application exception: carries a session error code from the printer operations up to the
// command line (exit status) or the window (result code).
#pragma once

#include <exception>
#include <string>

using DalvoraError = int;

class DalvoraException : public std::exception {
public:
    explicit DalvoraException(DalvoraError code);
    DalvoraException(DalvoraError code, const char* message);

    DalvoraError getCode() const { return m_code; }
    const std::string& getMessage() const { return m_message; }
    // The message, or "Dalvora error N" when there is none.
    const char* what() const noexcept override { return m_what.c_str(); }

    // Extra text the window appends when writing to a printer fails.
    static std::string getDescriptionFromErrorCode(int code);

private:
    DalvoraError m_code;
    std::string m_message;
    std::string m_what;
};
