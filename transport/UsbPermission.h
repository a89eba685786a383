// What the user is told when a USB device cannot be opened for lack of permission on its usbfs node
// (/dev/bus/usb/BBB/DDD): which node, and that the udev rule installed with the program grants the
// access. The libusb ports see the refusal as LIBUSB_ERROR_ACCESS; hidapi only fails to find the
// device, so the HID port checks the node itself.
#pragma once

#include <libusb.h>

#include <cstdint>
#include <optional>
#include <string>

// The hint, after "... USB device NODE: ".
inline constexpr const char* kUsbPermissionHint =
    "see the udev rule 70-dalvora.rules installed with dalvora, or run as a user at the seat";

// "/dev/bus/usb/BBB/DDD" of the device, as usbfs names its node.
std::string UsbDevNode(libusb_device* device);
// Writes the permission line for that node to the log and the console (a line added to the failure's
// own message, which stays as it was).
void ReportUsbPermission(const char* where, const std::string& node);
// The node of the first device of these ids that this process may not open for lack of permission;
// nullopt when every one opens (or none is there, or the bus cannot be listed).
[[nodiscard]] std::optional<std::string> UnopenableUsbNode(uint16_t vid, uint16_t pid);
