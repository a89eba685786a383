#include "base/DalvoraException.h"

DalvoraException::DalvoraException(DalvoraError code) : DalvoraException(code, nullptr) {}

DalvoraException::DalvoraException(DalvoraError code, const char* message)
    : m_code(code), m_message(message ? message : ""),
      m_what(m_message.empty() ? "Dalvora error " + std::to_string(code) : m_message) {}

std::string DalvoraException::getDescriptionFromErrorCode(int code) {
    if (code == 9)
        return "\nPrinter informations not available or compatible with this data\n";
    return {};
}
