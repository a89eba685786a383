// The one place where the Ethernet and serial ports turn a system errno into log context. The error
// texts a port keeps for its callers stay the fixed ones; the errno only goes to the log.
#pragma once

#include "base/Log.h"

#include <cstring>

inline void LogErrno(const char* where, int errnum) {
    if (errnum != 0)
        Log::WriteLogP(where, "errno %d: %s", errnum, strerror(errnum));
}
