#include "transport/UsbLibusb.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

UsbDeviceList::UsbDeviceList(UsbDeviceList&& other) noexcept
    : m_list(std::exchange(other.m_list, nullptr)), m_count(std::exchange(other.m_count, 0)) {}

UsbDeviceList& UsbDeviceList::operator=(UsbDeviceList&& other) noexcept {
    if (this != &other) {
        Reset();
        m_list = std::exchange(other.m_list, nullptr);
        m_count = std::exchange(other.m_count, 0);
    }
    return *this;
}

void UsbDeviceList::Reset() {
    if (m_list != nullptr)
        libusb_free_device_list(m_list, 1);
    m_list = nullptr;
    m_count = 0;
}

const char* UsbErrorText(int code) {
    switch (code) {
    case LIBUSB_SUCCESS:
        return "Success";
    case LIBUSB_ERROR_IO:
        return "Input/Output Error";
    case LIBUSB_ERROR_INVALID_PARAM:
        return "Invalid parameter";
    case LIBUSB_ERROR_ACCESS:
        return "Access denied (insufficient permissions)";
    case LIBUSB_ERROR_NO_DEVICE:
        return "No such device (it may have been disconnected)";
    case LIBUSB_ERROR_NOT_FOUND:
        return "Entity not found";
    case LIBUSB_ERROR_BUSY:
        return "Resource busy";
    case LIBUSB_ERROR_TIMEOUT:
        return "Operation timed out";
    case LIBUSB_ERROR_OVERFLOW:
        return "Overflow";
    case LIBUSB_ERROR_PIPE:
        return "Pipe error";
    case LIBUSB_ERROR_INTERRUPTED:
        return "System call interrupted";
    case LIBUSB_ERROR_NO_MEM:
        return "Insufficient memory";
    case LIBUSB_ERROR_NOT_SUPPORTED:
        return "Operation not supported or unimplemented on this platform";
    default:
        return "Other error";
    }
}

UsbContext StartUsb(int* error) {
    libusb_context* context = nullptr;
    *error = libusb_init(&context);
    if (*error != LIBUSB_SUCCESS)
        return nullptr;
    return UsbContext(context);
}

UsbDeviceList TakeDeviceList(libusb_context* context, int* error) {
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    if (count < 0) {
        *error = static_cast<int>(count);
        return {};
    }
    *error = LIBUSB_SUCCESS;
    return {list, count};
}

std::string UsbIdText(uint16_t id) {
    char text[8];
    snprintf(text, sizeof text, "%04x", id);
    return text;
}

std::string UpperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool SameUsbIdText(const std::string& a, const std::string& b) {
    return UpperCase(a) == UpperCase(b);
}

std::optional<std::string> ReadSerialString(libusb_device_handle* handle, uint8_t index) {
    if (index == 0)
        return std::nullopt;
    unsigned char text[256] = {};
    const int length = libusb_get_string_descriptor_ascii(handle, index, text, sizeof text);
    if (length < 0)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
}

UsbConfigDescriptor ActiveConfig(libusb_device* device, int* error) {
    libusb_config_descriptor* config = nullptr;
    *error = libusb_get_active_config_descriptor(device, &config);
    if (*error != LIBUSB_SUCCESS)
        return nullptr;
    return UsbConfigDescriptor(config);
}

std::string CutIdentityText(const char* text) {
    constexpr size_t kLimit = 1023;
    std::string value = text != nullptr ? text : "";
    if (value.size() > kLimit)
        value.resize(kLimit);
    return value;
}
