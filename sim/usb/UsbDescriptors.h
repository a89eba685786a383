// The standard descriptors of an emulated USB device and its answers on endpoint 0 to the standard
// requests a host tool makes (GET_STATUS, GET_DESCRIPTOR, GET_CONFIGURATION, GET_INTERFACE, ...) and a
// HID interface's report descriptor, built from its setup. A full-speed device of USB 2.0: what it does
// not support stalls, as a real one's endpoint 0 does.
#pragma once

#include "sim/usb/EmulatedUsbDevice.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim::usbdesc {

constexpr uint8_t kManufacturerIndex = 1;
constexpr uint8_t kProductIndex = 2;
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
// The text as a string descriptor carries it, back in UTF-8: what the kernel shows in sysfs. A byte
// that is no UTF-8 reads as U+FFFD, and the text stops where a descriptor is full (126 UTF-16 units).
std::string DescriptorText(const std::string& text);

// Answers a control request on endpoint 0 (8 setup bytes) into data, at most length bytes; -1 stalls.
int ControlAnswer(const UsbDeviceSetup& setup, const uint8_t* request, uint8_t* data, int length);

} // namespace sim::usbdesc
