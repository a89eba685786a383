// The raw USB host; see UsbHost.h.
#include "tests/sim/UsbHost.h"

#include "base/Clock.h"
#include "tests/sim/SimHarness.h"

#include <cstdio>

namespace simtest {
namespace {

std::string Name(libusb_device* device, const libusb_device_descriptor& d) {
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x|%04x|", d.idVendor, d.idProduct);
    std::string name = ids;
    libusb_device_handle* handle = nullptr;
    if (d.iSerialNumber != 0 && libusb_open(device, &handle) == 0) {
        unsigned char serial[256] = {};
        const int n = libusb_get_string_descriptor_ascii(handle, d.iSerialNumber, serial, sizeof serial);
        if (n > 0)
            name.append(reinterpret_cast<char*>(serial), static_cast<size_t>(n));
        libusb_close(handle);
    }
    return name;
}

} // namespace

UsbHost::UsbHost() {
    (void)libusb_init(&m_context);
}

UsbHost::~UsbHost() {
    Close();
    if (m_context != nullptr)
        libusb_exit(m_context);
}

std::vector<ListedDevice> UsbHost::List() {
    std::vector<ListedDevice> out;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(m_context, &list);
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor d{};
        if (libusb_get_device_descriptor(list[i], &d) != 0 || d.bDeviceClass == LIBUSB_CLASS_HUB)
            continue;
        ListedDevice listed;
        listed.name = Name(list[i], d);
        uint8_t ports[8];
        const int depth = libusb_get_port_numbers(list[i], ports, sizeof ports);
        listed.portPath.assign(ports, ports + std::max(depth, 0));
        listed.address = libusb_get_device_address(list[i]);
        out.push_back(listed);
    }
    if (count >= 0)
        libusb_free_device_list(list, 1);
    return out;
}

bool UsbHost::Open(uint16_t vid, uint16_t pid) {
    Close();
    m_handle = libusb_open_device_with_vid_pid(m_context, vid, pid);
    if (m_handle != nullptr && libusb_claim_interface(m_handle, 0) != 0)
        Close();
    return m_handle != nullptr;
}

void UsbHost::Close() {
    if (m_handle == nullptr)
        return;
    (void)libusb_release_interface(m_handle, 0);
    libusb_close(m_handle);
    m_handle = nullptr;
}

bool UsbHost::Write(const sim::Bytes& bytes, size_t chunk) {
    for (size_t sent = 0; sent < bytes.size();) {
        const size_t n = std::min(chunk, bytes.size() - sent);
        int done = 0;
        auto* data = const_cast<unsigned char*>(bytes.data() + sent);
        if (libusb_bulk_transfer(m_handle, 0x02, data, static_cast<int>(n), &done, 1000) != 0 ||
            done != static_cast<int>(n))
            return false;
        sent += n;
    }
    return true;
}

std::optional<sim::Bytes> UsbHost::ReadOnce(size_t capacity, unsigned timeoutMs) {
    sim::Bytes buffer(capacity);
    int done = 0;
    const int code =
        libusb_bulk_transfer(m_handle, 0x81, buffer.data(), static_cast<int>(capacity), &done, timeoutMs);
    if (code != 0 && done == 0)
        return std::nullopt;
    buffer.resize(static_cast<size_t>(done));
    return buffer;
}

sim::Bytes UsbHost::ReadAnswer(unsigned timeoutMs, size_t capacity) {
    sim::Bytes out;
    while (!FrameComplete(out)) {
        const std::optional<sim::Bytes> piece = ReadOnce(capacity, timeoutMs);
        if (!piece)
            break;
        out.insert(out.end(), piece->begin(), piece->end());
    }
    return out;
}

bool WaitListed(UsbHost& host, const std::string& name, bool present, unsigned ms) {
    const uint64_t end = Clock::MonotonicMs() + ms;
    for (;;) {
        bool found = false;
        for (const ListedDevice& d : host.List())
            found = found || d.name == name;
        if (found == present)
            return true;
        if (Clock::MonotonicMs() >= end)
            return false;
        Clock::SleepMs(10);
    }
}

} // namespace simtest
