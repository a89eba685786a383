// Descriptors and standard control answers; see UsbDescriptors.h.
#include "sim/usb/UsbDescriptors.h"

#include <algorithm>
#include <cstring>
#include <optional>

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

// A request's code and its wValue and wIndex; the caller cuts the answer to wLength.
struct Request {
    uint8_t code;
    uint16_t value;
    uint16_t index;
};

constexpr uint8_t kGetStatus = 0, kClearFeature = 1, kGetDescriptor = 6, kGetConfiguration = 8,
                  kGetInterface = 10;
constexpr uint16_t kEndpointHalt = 0;
const std::optional<std::vector<uint8_t>> kStall;

bool HasInterface(const UsbDeviceSetup& setup, uint16_t index) {
    return setup.configured && index < setup.interfaceClasses.size();
}

// Endpoint 0 always; the data endpoints once the device is configured.
bool HasEndpoint(const UsbDeviceSetup& setup, uint16_t address) {
    return address == 0 || (setup.configured && (address == EmulatedUsbDevice::kInEndpoint ||
                                                 address == EmulatedUsbDevice::kOutEndpoint));
}

std::optional<std::vector<uint8_t>> StringOf(const UsbDeviceSetup& setup, uint8_t index) {
    if (index == 0)
        return std::vector<uint8_t>{4, 3, 0x09, 0x04}; // US English only
    const std::optional<std::string>* text = index == kManufacturerIndex ? &setup.manufacturer
                                             : index == kProductIndex    ? &setup.product
                                             : index == kSerialIndex     ? &setup.serial
                                                                         : nullptr;
    if (text == nullptr || !*text)
        return kStall;
    return StringDescriptor(**text);
}

std::optional<std::vector<uint8_t>> ToDevice(const UsbDeviceSetup& setup, const Request& r) {
    if (r.code == kGetStatus) // bus powered, no remote wake-up
        return std::vector<uint8_t>{0, 0};
    if (r.code == kGetConfiguration)
        return std::vector<uint8_t>{static_cast<uint8_t>(setup.configured ? kConfigurationValue : 0)};
    if (r.code != kGetDescriptor)
        return kStall;
    const uint8_t type = r.value >> 8;
    const uint8_t index = r.value & 0xFF;
    if (type == 1)
        return DeviceDescriptor(setup);
    if (type == 2 && index == 0 && setup.configured)
        return ConfigurationDescriptor(setup);
    if (type == 3)
        return StringOf(setup, index);
    // A full-speed-only device has no device qualifier or other-speed configuration, and a USB 2.0
    // device no BOS: the host learns that from the stall.
    return kStall;
}

std::optional<std::vector<uint8_t>> ToInterface(const UsbDeviceSetup& setup, const Request& r) {
    if (!HasInterface(setup, r.index & 0xFF))
        return kStall;
    if (r.code == kGetStatus)
        return std::vector<uint8_t>{0, 0};
    if (r.code == kGetInterface)
        return std::vector<uint8_t>{0}; // each interface has only its alternate setting 0
    if (r.code == kGetDescriptor && (r.value >> 8) == kReportDescriptorType && IsHid(setup) &&
        (r.index & 0xFF) == 0)
        return setup.hidReportDescriptor;
    return kStall;
}

std::optional<std::vector<uint8_t>> ToEndpoint(const UsbDeviceSetup& setup, const Request& r) {
    if (r.code == kGetStatus && HasEndpoint(setup, r.index & 0xFF))
        return std::vector<uint8_t>{0, 0}; // not halted
    return kStall;
}

// CLEAR_FEATURE(ENDPOINT_HALT), which hosts send to resume an endpoint; the emulated endpoints never
// stay halted, so there is nothing to clear. Setting a halt is not supported.
std::optional<std::vector<uint8_t>> FeatureOfEndpoint(const UsbDeviceSetup& setup, const Request& r) {
    if (r.code == kClearFeature && r.value == kEndpointHalt && HasEndpoint(setup, r.index & 0xFF))
        return std::vector<uint8_t>{};
    return kStall;
}

void PutUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The code point of the UTF-8 sequence at text[i], advancing i; U+FFFD for a byte that starts no
// valid sequence (overlong forms and surrogates included), advancing by that one byte.
char32_t NextCodePoint(const std::string& text, size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t extra = lead < 0x80                   ? 0
                         : lead >= 0xC2 && lead < 0xE0 ? 1
                         : lead >= 0xE0 && lead < 0xF0 ? 2
                         : lead >= 0xF0 && lead < 0xF5 ? 3
                                                       : 4;
    if (extra == 0) {
        ++i;
        return lead;
    }
    char32_t c = extra == 4 ? 0 : lead & (0x3F >> extra);
    bool valid = extra < 4 && i + extra < text.size();
    for (size_t k = 1; valid && k <= extra; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        valid = (next & 0xC0) == 0x80;
        c = c << 6 | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (!valid || c < kSmallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += extra + 1;
    return c;
}

// UTF-16 units of the text, as many as a string descriptor holds.
std::u16string DescriptorUnits(const std::string& text) {
    constexpr size_t kMaxUnits = 126; // bLength is one byte: 2 + 2 * 126 = 254
    std::u16string units;
    for (size_t i = 0; i < text.size();) {
        const char32_t c = NextCodePoint(text, i);
        const size_t need = c >= 0x10000 ? 2 : 1;
        if (units.size() + need > kMaxUnits)
            break;
        if (need == 2) {
            units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            units += static_cast<char16_t>(c);
        }
    }
    return units;
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
    d.push_back(setup.manufacturer ? kManufacturerIndex : 0);
    d.push_back(setup.product ? kProductIndex : 0);
    d.push_back(setup.serial ? kSerialIndex : 0);
    d.push_back(1); // one configuration
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
    const std::u16string units = DescriptorUnits(text);
    std::vector<uint8_t> d = {static_cast<uint8_t>(2 + 2 * units.size()), 3};
    for (char16_t unit : units)
        Put16(d, unit);
    return d;
}

std::string DescriptorText(const std::string& text) {
    std::string utf8;
    const std::u16string units = DescriptorUnits(text);
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        PutUtf8(utf8, c);
    }
    return utf8;
}

int ControlAnswer(const UsbDeviceSetup& setup, const uint8_t* request, uint8_t* data, int length) {
    const Request r{request[1], static_cast<uint16_t>(request[2] | request[3] << 8),
                    static_cast<uint16_t>(request[4] | request[5] << 8)};
    std::optional<std::vector<uint8_t>> answer;
    switch (request[0]) {
    case 0x80:
        answer = ToDevice(setup, r);
        break;
    case 0x81:
        answer = ToInterface(setup, r);
        break;
    case 0x82:
        answer = ToEndpoint(setup, r);
        break;
    case 0x02:
        answer = FeatureOfEndpoint(setup, r);
        break;
    default: // class and vendor requests, and the rest of the standard ones
        break;
    }
    if (!answer)
        return -1;
    const int count = std::min(length, static_cast<int>(answer->size()));
    if (count > 0)
        std::memcpy(data, answer->data(), static_cast<size_t>(count));
    return count;
}

} // namespace sim::usbdesc
