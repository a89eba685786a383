#include "base/DalvoraException.h"

std::string DalvoraException::getDescriptionFromErrorCode(int code) {
    if (code == 9)
        return "\nPrinter informations not available or compatible with this data\n";
    return {};
}
