// The two listing operations of the command line: they need no printer session.
#include "app/CmdLineOperations.h"

#include "base/CmdConsole.h"
#include "base/Log.h"
#include "transport/ComPortEth.h"
#include "transport/ComPortUsbIntPRN.h"
#include "transport/ProductIds.h"

#include <cstdio>

// In the order the bus lists them, as the command line always showed them; a printer that cannot be
// opened (permissions) leaves its error text but does not hide the others.
std::string UsbPrinterLines(size_t capacity, std::string* error) {
    std::string listError;
    const std::vector<USBDevice> printers =
        ComPortUsbIntPRN::GetDeviceListFilterByClass(listError, nullptr, nullptr, ProductIds::kPrinterClass);
    if (!listError.empty())
        Log::WriteLogP("UsbPrinterLines", "Error in enumerating usb devices: %s", listError.c_str());
    if (error != nullptr)
        *error = listError;
    std::string lines;
    for (const USBDevice& printer : printers) {
        std::string line = printer.DeviceName() + "\n";
        // Whole lines only, within the buffer and its terminator.
        if (lines.size() + line.size() + 1 > capacity)
            break;
        lines += line;
    }
    return lines;
}

int RunUsbDeviceList() {
    std::string error;
    std::string lines = UsbPrinterLines(kUsbListCapacity, &error);
    printf("LIST USB DEVICES:\n%s\n", lines.c_str());
    fflush(stdout);
    if (!error.empty())
        CmdConsole::WriteToConsoleString("%s", error.c_str());
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
