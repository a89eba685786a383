// The standard descriptors of an emulated USB device and its answers to the standard control requests
// (GET_DESCRIPTOR, GET_CONFIGURATION, and a HID interface's report descriptor), built from its setup.
#pragma once

#include "sim/usb/EmulatedUsbDevice.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim::usbdesc {

constexpr uint8_t kSerialIndex = 3;
constexpr uint8_t kConfigurationValue = 1;
constexpr uint8_t kHidClass = 3;
constexpr uint8_t kHidDescriptorType = 0x21;
constexpr uint8_t kReportDescriptorType = 0x22;

// A vendor-defined HID report descriptor: input and output reports of 64 bytes without report ids,
// the shape of a boot loader that takes records in output reports and answers in input reports.
std::vector<uint8_t> VendorReportDescriptor();

std::vector<uint8_t> DeviceDescriptor(const UsbDeviceSetup& setup);
std::vector<uint8_t> ConfigurationDescriptor(const UsbDeviceSetup& setup);
std::vector<uint8_t> StringDescriptor(const std::string& text);

// Answers a standard control request (8 setup bytes) into data, at most length bytes; -1 stalls it.
int ControlAnswer(const UsbDeviceSetup& setup, const uint8_t* request, uint8_t* data, int length);

} // namespace sim::usbdesc
