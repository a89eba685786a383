// A raw USB host for the simulator's USB tests, written from the host's side of the bus with libusb
// (not the product's port): lists devices, opens one by its ids and claims interface 0, and moves
// bytes over the bulk endpoints. Only meaningful under umockdev's preload.
#pragma once

#include "sim/Wire.h"

#include <libusb.h>

#include <optional>
#include <string>
#include <vector>

namespace simtest {

struct ListedDevice {
    std::string name; // "vid|pid|serial", lower-case hexadecimal
    std::vector<uint8_t> portPath;
    uint8_t address = 0;
};

class UsbHost {
public:
    UsbHost();
    ~UsbHost();
    UsbHost(const UsbHost&) = delete;
    UsbHost& operator=(const UsbHost&) = delete;

    // The devices other than root hubs.
    std::vector<ListedDevice> List();
    // Opens the first device with these ids and claims interface 0.
    bool Open(uint16_t vid, uint16_t pid);
    void Close();
    // Bulk OUT in transfers of at most `chunk` bytes; false at the first failed one.
    bool Write(const sim::Bytes& bytes, size_t chunk = 64);
    // One bulk IN transfer of at most `capacity` bytes; nullopt when it failed (time-out included).
    std::optional<sim::Bytes> ReadOnce(size_t capacity, unsigned timeoutMs);
    // IN transfers until a frame ends in ETX or a transfer times out.
    sim::Bytes ReadAnswer(unsigned timeoutMs = 1000, size_t capacity = 512);

private:
    libusb_context* m_context = nullptr;
    libusb_device_handle* m_handle = nullptr;
};

// Polls the list until a device with this name is there (or not), at most `ms` milliseconds.
bool WaitListed(UsbHost& host, const std::string& name, bool present, unsigned ms);

} // namespace simtest
