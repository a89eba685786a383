// The device lists the communication dialog offers, one function per port kind. They default to the
// transports' enumerations; tests hand in their own so that they decide the lists and the errors (and
// no test broadcasts a discovery on the machine's network).
#pragma once

#include "comm/CommLayer.h"

#include <functional>
#include <string>
#include <vector>

struct PortEnumeration {
    // Device names; `error` receives the failure text, empty on success.
    using Enumerate = std::function<std::vector<std::string>(std::string& error)>;

    Enumerate usbPrinters = CommLayer::EnumUsbPRNDevices;
    Enumerate usbScanners = CommLayer::EnumUsbScannerDevices;
    Enumerate serialPorts = CommLayer::EnumComPorts;
    Enumerate ethernetPrinters = CommLayer::EnumEthDevices;

    // The table of a dialog made without one (the window's PORT button). A test of the window replaces
    // it so that pressing PORT never enumerates real devices or broadcasts a discovery. Main thread only.
    static PortEnumeration& forNewDialogs();
};
