// Descriptors and standard control answers; see UsbDescriptors.h.
#include "sim/usb/UsbDescriptors.h"

#include <algorithm>
#include <cstring>

namespace sim::usbdesc {
namespace {

void Put16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

bool IsHid(const UsbDeviceSetup& setup) {
    return !setup.hidReportDescriptor.empty();
}

// The HID class descriptor: HID 1.11, no country, one report descriptor of the given length.
void PutHidDescriptor(std::vector<uint8_t>& body, const UsbDeviceSetup& setup) {
    body.insert(body.end(), {9, kHidDescriptorType, 0x11, 0x01, 0, 1, kReportDescriptorType});
    Put16(body, static_cast<uint16_t>(setup.hidReportDescriptor.size()));
}

void PutInterface(std::vector<uint8_t>& body, const UsbDeviceSetup& setup, size_t index) {
    const uint8_t endpoints = index == 0 ? 2 : 0;
    const uint8_t interfaceClass = index == 0 && IsHid(setup) ? kHidClass : setup.interfaceClasses[index];
    const uint8_t subClass = interfaceClass == kHidClass ? 0 : 1;
    const uint8_t protocol = interfaceClass == kHidClass ? 0 : 2;
    body.insert(body.end(),
                {9, 4, static_cast<uint8_t>(index), 0, endpoints, interfaceClass, subClass, protocol, 0});
    if (index != 0)
        return;
    if (IsHid(setup))
        PutHidDescriptor(body, setup);
    // HID reports travel on interrupt endpoints polled every millisecond; the printer uses bulk.
    const uint8_t transferType = IsHid(setup) ? 3 : 2;
    const uint8_t interval = IsHid(setup) ? 1 : 0;
    const uint8_t first =
        setup.inEndpointFirst ? EmulatedUsbDevice::kInEndpoint : EmulatedUsbDevice::kOutEndpoint;
    const uint8_t second =
        setup.inEndpointFirst ? EmulatedUsbDevice::kOutEndpoint : EmulatedUsbDevice::kInEndpoint;
    for (uint8_t address : {first, second}) {
        body.insert(body.end(), {7, 5, address, transferType});
        Put16(body, 64);
        body.push_back(interval);
    }
}

} // namespace

std::vector<uint8_t> VendorReportDescriptor() {
    return {
        0x06, 0x00, 0xFF,       // usage page: vendor defined
        0x09, 0x01,             // usage 1
        0xA1, 0x01,             // collection: application
        0x15, 0x00,             // logical minimum 0
        0x26, 0xFF, 0x00,       // logical maximum 255
        0x75, 0x08,             // report size: 8 bits
        0x95, 0x40,             // report count: 64
        0x09, 0x01, 0x81, 0x02, // input: data, variable, absolute
        0x95, 0x40,             // report count: 64
        0x09, 0x01, 0x91, 0x02, // output: data, variable, absolute
        0xC0,                   // end collection
    };
}

std::vector<uint8_t> DeviceDescriptor(const UsbDeviceSetup& setup) {
    std::vector<uint8_t> d = {18, 1};
    Put16(d, 0x0200);
    d.insert(d.end(), {setup.deviceClass, 0, 0, 64});
    Put16(d, setup.vid);
    Put16(d, setup.pid);
    Put16(d, 0x0100);
    d.insert(d.end(), {0, 0, static_cast<uint8_t>(setup.serial ? kSerialIndex : 0), 1});
    return d;
}

std::vector<uint8_t> ConfigurationDescriptor(const UsbDeviceSetup& setup) {
    std::vector<uint8_t> body;
    for (size_t i = 0; i < setup.interfaceClasses.size(); ++i)
        PutInterface(body, setup, i);
    std::vector<uint8_t> d = {9, 2};
    Put16(d, static_cast<uint16_t>(9 + body.size()));
    d.insert(d.end(),
             {static_cast<uint8_t>(setup.interfaceClasses.size()), kConfigurationValue, 0, 0x80, 50});
    d.insert(d.end(), body.begin(), body.end());
    return d;
}

std::vector<uint8_t> StringDescriptor(const std::string& text) {
    std::vector<uint8_t> d = {static_cast<uint8_t>(2 + 2 * text.size()), 3};
    for (char c : text)
        Put16(d, static_cast<uint8_t>(c));
    return d;
}

int ControlAnswer(const UsbDeviceSetup& setup, const uint8_t* request, uint8_t* data, int length) {
    const uint8_t requestType = request[0];
    const uint8_t code = request[1];
    const uint8_t index = request[2];
    const uint8_t type = request[3];
    std::vector<uint8_t> answer;
    if (requestType == 0x80 && code == 6) {
        if (type == 1)
            answer = DeviceDescriptor(setup);
        else if (type == 2 && setup.configured && index == 0)
            answer = ConfigurationDescriptor(setup);
        else if (type == 3 && index == 0)
            answer = {4, 3, 0x09, 0x04};
        else if (type == 3 && index == kSerialIndex && setup.serial)
            answer = StringDescriptor(*setup.serial);
        else
            return -1;
    } else if (requestType == 0x81 && code == 6 && type == kReportDescriptorType && IsHid(setup)) {
        answer = setup.hidReportDescriptor; // asked of the interface, not the device
    } else if (requestType == 0x80 && code == 8) {
        answer = {static_cast<uint8_t>(setup.configured ? kConfigurationValue : 0)};
    } else {
        return -1;
    }
    const int count = std::min(length, static_cast<int>(answer.size()));
    if (count > 0)
        std::memcpy(data, answer.data(), static_cast<size_t>(count));
    return count;
}

} // namespace sim::usbdesc
