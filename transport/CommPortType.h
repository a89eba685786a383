// Port kinds. Kinds 2, 3 and 4 count as USB wherever the program asks whether a port is USB.
#pragma once

#include <cstdint>

enum CommPortType : int32_t {
    COMM_NONE = -1,
    COMM_SERIAL = 0,
    COMM_ETHERNET = 1,
    COMM_USB_PRN = 2,
    COMM_RESERVED = 3, // no port class: creating a port of this kind fails
    COMM_USB_SCANNER = 4,
};

inline bool IsUsbPortType(int type) {
    return type == COMM_USB_PRN || type == COMM_RESERVED || type == COMM_USB_SCANNER;
}
