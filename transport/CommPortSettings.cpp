#include "transport/CommPortSettings.h"

bool CommPortSettings::IsValid() const {
    switch (type) {
    case COMM_SERIAL:
        return !comPortName.empty() && baudRate != 0;
    case COMM_ETHERNET:
        return !ipAddress.empty() && tcpPort != 0;
    case COMM_USB_PRN:
    case COMM_RESERVED:
    case COMM_USB_SCANNER:
        return !usbDeviceName.empty();
    case COMM_NONE:
        break;
    }
    return false;
}
