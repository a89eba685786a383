// Owners of libusb's context, device list, device handle and configuration descriptor, the one place
// where libusb error codes become texts, and the identity helpers the USB printer-class port and its
// device listing share.
#pragma once

#include <libusb.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

struct UsbContextDeleter {
    void operator()(libusb_context* context) const { libusb_exit(context); }
};
struct UsbHandleDeleter {
    void operator()(libusb_device_handle* handle) const { libusb_close(handle); }
};
struct UsbConfigDeleter {
    void operator()(libusb_config_descriptor* config) const { libusb_free_config_descriptor(config); }
};

using UsbContext = std::unique_ptr<libusb_context, UsbContextDeleter>;
using UsbHandle = std::unique_ptr<libusb_device_handle, UsbHandleDeleter>;
using UsbConfigDescriptor = std::unique_ptr<libusb_config_descriptor, UsbConfigDeleter>;

// The devices libusb saw when the list was taken; each device stays referenced while the list lives.
class UsbDeviceList {
public:
    UsbDeviceList() = default;
    UsbDeviceList(libusb_device** list, ssize_t count) : m_list(list), m_count(count > 0 ? count : 0) {}
    ~UsbDeviceList() { Reset(); }
    UsbDeviceList(UsbDeviceList&& other) noexcept;
    UsbDeviceList& operator=(UsbDeviceList&& other) noexcept;
    UsbDeviceList(const UsbDeviceList&) = delete;
    UsbDeviceList& operator=(const UsbDeviceList&) = delete;

    std::span<libusb_device* const> Devices() const { return {m_list, static_cast<size_t>(m_count)}; }
    bool Held() const { return m_list != nullptr; }
    void Reset();

private:
    libusb_device** m_list = nullptr;
    ssize_t m_count = 0;
};

// Text of a libusb error code (libusb_error or libusb_transfer_status is not mixed: codes are < 0).
const char* UsbErrorText(int code);

// A fresh libusb context, or nullptr with *error set to the libusb code.
[[nodiscard]] UsbContext StartUsb(int* error);
// The context's current device list, or an empty (not held) list with *error set.
[[nodiscard]] UsbDeviceList TakeDeviceList(libusb_context* context, int* error);

// "%04x" of a vendor or product id; the form USB device names carry.
std::string UsbIdText(uint16_t id);
// Hexadecimal ids compared the way device names are: both sides in upper case.
bool SameUsbIdText(const std::string& a, const std::string& b);
std::string UpperCase(std::string text);
// ASCII serial-number string; nullopt when the device has none or it cannot be read.
std::optional<std::string> ReadSerialString(libusb_device_handle* handle, uint8_t index);
// The active configuration, or nullptr with *error set.
[[nodiscard]] UsbConfigDescriptor ActiveConfig(libusb_device* device, int* error);
// Cuts a text to the 1023 characters of the fixed identity buffers.
std::string CutIdentityText(const char* text);
