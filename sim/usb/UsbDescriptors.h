// The standard descriptors of an emulated USB device and its answers to the standard control requests
// (GET_DESCRIPTOR, GET_CONFIGURATION), built from its setup.
#pragma once

#include "sim/usb/EmulatedUsbDevice.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim::usbdesc {

constexpr uint8_t kSerialIndex = 3;
constexpr uint8_t kConfigurationValue = 1;

std::vector<uint8_t> DeviceDescriptor(const UsbDeviceSetup& setup);
std::vector<uint8_t> ConfigurationDescriptor(const UsbDeviceSetup& setup);
std::vector<uint8_t> StringDescriptor(const std::string& text);

// Answers a standard control request (8 setup bytes) into data, at most length bytes; -1 stalls it.
int ControlAnswer(const UsbDeviceSetup& setup, const uint8_t* request, uint8_t* data, int length);

} // namespace sim::usbdesc
