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

void PutInterface(std::vector<uint8_t>& body, const UsbDeviceSetup& setup, size_t index) {
    const uint8_t endpoints = index == 0 ? 2 : 0;
    body.insert(body.end(),
                {9, 4, static_cast<uint8_t>(index), 0, endpoints, setup.interfaceClasses[index], 1, 2, 0});
    if (index != 0)
        return;
    const uint8_t first =
        setup.inEndpointFirst ? EmulatedUsbDevice::kInEndpoint : EmulatedUsbDevice::kOutEndpoint;
    const uint8_t second =
        setup.inEndpointFirst ? EmulatedUsbDevice::kOutEndpoint : EmulatedUsbDevice::kInEndpoint;
    for (uint8_t address : {first, second}) {
        body.insert(body.end(), {7, 5, address, 2});
        Put16(body, 64);
        body.push_back(0);
    }
}

} // namespace

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
