// The user's port choice: kind, serial line, USB device name, Ethernet address and TCP port.
#pragma once

#include "transport/CommPortType.h"

#include <cstdint>
#include <string>

struct CommPortSettings {
    CommPortType type = COMM_NONE;
    std::string comPortName;
    int64_t baudRate = 0;
    int64_t flowControl = 1;   // hardware RTS/CTS
    std::string usbDeviceName; // "VID|PID|SN"
    std::string ipAddress;
    int32_t tcpPort = 0;

    // Everything the chosen kind needs is filled in.
    bool IsValid() const;
};
