// The permission hint for USB device nodes; see UsbPermission.h.
#include "transport/UsbPermission.h"

#include "base/CmdConsole.h"
#include "base/Log.h"
#include "transport/UsbLibusb.h"

#include <cstdio>

std::string UsbDevNode(libusb_device* device) {
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", libusb_get_bus_number(device),
                  libusb_get_device_address(device));
    return node;
}

void ReportUsbPermission(const char* where, const std::string& node) {
    Log::WriteLogP(where, "No permission to open USB device %s: %s", node.c_str(), kUsbPermissionHint);
    CmdConsole::WriteToConsoleString("No permission to open USB device %s: %s", node.c_str(),
                                     kUsbPermissionHint);
}

std::optional<std::string> UnopenableUsbNode(uint16_t vid, uint16_t pid) {
    int code = LIBUSB_SUCCESS;
    const UsbContext context = StartUsb(&code);
    if (!context)
        return std::nullopt;
    const UsbDeviceList list = TakeDeviceList(context.get(), &code);
    for (libusb_device* device : list.Devices()) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS ||
            descriptor.idVendor != vid || descriptor.idProduct != pid)
            continue;
        // Opening is the test that counts: access(2) judges by the real user, and root's by the
        // capabilities it may take, not by those this thread has.
        libusb_device_handle* raw = nullptr;
        const int opened = libusb_open(device, &raw);
        if (opened == LIBUSB_SUCCESS)
            libusb_close(raw);
        else if (opened == LIBUSB_ERROR_ACCESS)
            return UsbDevNode(device);
    }
    return std::nullopt;
}
