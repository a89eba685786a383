// The two listing operations of the command line: they need no printer session.
#include "app/CmdLineOperations.h"

#include "base/CmdConsole.h"
#include "transport/ComPortEth.h"
#include "comm/CommLayer.h"

#include <cstdio>

std::string UsbPrinterLines(size_t capacity) {
    std::string error;
    std::string lines;
    for (const std::string& name : CommLayer::EnumUsbPRNDevices(error)) {
        std::string line = name + "\n";
        // Whole lines only, within the buffer and its terminator.
        if (lines.size() + line.size() + 1 > capacity)
            break;
        lines += line;
    }
    return lines;
}

int RunUsbDeviceList() {
    std::string lines = UsbPrinterLines(kUsbListCapacity);
    printf("LIST USB DEVICES:\n%s\n", lines.c_str());
    fflush(stdout);
    return kExitSuccess;
}

int RunEthDeviceList() {
    std::string listing;
    std::string error;
    if (!ComPortEth::GetDeviceList(listing, error)) {
        CmdConsole::WriteToConsoleString("LIST ETH DEVICES ERROR\n");
        return kExitEthDiscovery;
    }
    printf("LIST ETH DEVICES:\n%s\n", listing.c_str());
    fflush(stdout);
    return kExitSuccess;
}
