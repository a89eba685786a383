// The USB link over a umockdev testbed; see UsbTransport.h.
#include "sim/UsbTransport.h"

#include "base/Log.h"
#include "sim/TcpTransport.h"
#include "sim/Wire.h"
#include "sim/usb/UsbDescriptors.h"
#include "sim/usb/UsbTestbed.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <sys/eventfd.h>
#include <unistd.h>

namespace sim {
namespace {

UsbDeviceSetup SetupFrom(const UsbSection& usb, const std::string& product) {
    UsbDeviceSetup setup;
    setup.manufacturer = UsbLink::kManufacturer;
    setup.product = product;
    setup.vid = static_cast<uint16_t>(usb.vid);
    setup.pid = static_cast<uint16_t>(usb.pid);
    setup.serial = usb.serial;
    setup.deviceClass = static_cast<uint8_t>(usb.deviceClass);
    // Class 0 on the device says "see the interfaces": the printer class is there.
    setup.interfaceClasses = {usb.deviceClass == 0 ? ProductIds::kPrinterClass
                                                   : static_cast<uint8_t>(usb.deviceClass)};
    setup.streamInput = true;
    return setup;
}

// Something the host did, in the order it did it: bytes, or an open or close of the device.
struct HostItem {
    std::string event; // empty for bytes
    Bytes bytes;
};

} // namespace

struct UsbLink::Impl final : UsbHostObserver {
    Impl(const UsbSection& usb, const std::string& product)
        : setup(SetupFrom(usb, product)), wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
        if (wake < 0)
            throw TransportError(std::string("usb: eventfd: ") + std::strerror(errno));
        try {
            testbed = std::make_unique<UsbTestbed>();
            Plug();
        } catch (const std::exception& e) {
            testbed.reset();
            ::close(wake);
            throw TransportError(std::string("usb: ") + e.what());
        }
    }
    ~Impl() override {
        // The testbed's worker thread calls this observer until the testbed is gone.
        testbed.reset();
        ::close(wake);
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    void Plug(const UsbDeviceSetup& as) { device = &testbed->Plug(as, this); }
    void Plug() { Plug(setup); }

    // Observer calls: umockdev's worker thread.
    void Opened() override { Push("connect"); }
    void Closed() override { Push("disconnect"); }
    void Received(const uint8_t* data, size_t length) override {
        std::lock_guard lock(mutex);
        if (items.empty() || !items.back().event.empty())
            items.push_back({});
        items.back().bytes.insert(items.back().bytes.end(), data, data + length);
        Wake();
    }
    void Push(const char* event) {
        std::lock_guard lock(mutex);
        items.push_back({event, {}});
        Wake();
    }
    // Both under the lock, so the descriptor is readable exactly while items wait.
    void Wake() const {
        const uint64_t one = 1;
        (void)!::write(wake, &one, sizeof one);
    }
    void PopFront() {
        items.pop_front();
        if (items.empty()) {
            uint64_t count = 0;
            (void)!::read(wake, &count, sizeof count);
        }
    }

    const UsbDeviceSetup setup;
    std::mutex mutex;
    std::deque<HostItem> items;
    int wake;
    std::unique_ptr<UsbTestbed> testbed;
    EmulatedUsbDevice* device = nullptr; // null while unplugged
};

UsbLink::UsbLink(const UsbSection& usb, const std::string& product)
    : m_impl(std::make_unique<Impl>(usb, product)) {
    Log::WriteLogP("UsbLink", "%s at %s", DeviceName().c_str(), DevNode().c_str());
}

UsbLink::~UsbLink() = default;

int UsbLink::Fd() const {
    return m_impl->wake;
}

long UsbLink::ReadSome(uint8_t* buffer, size_t capacity) {
    std::lock_guard lock(m_impl->mutex);
    auto& items = m_impl->items;
    if (items.empty() || !items.front().event.empty() || capacity == 0)
        return -1;
    Bytes& bytes = items.front().bytes;
    const size_t n = std::min(capacity, bytes.size());
    std::copy_n(bytes.begin(), n, buffer);
    bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    if (bytes.empty())
        m_impl->PopFront();
    return static_cast<long>(n);
}

std::optional<std::string> UsbLink::NextEvent() {
    std::lock_guard lock(m_impl->mutex);
    auto& items = m_impl->items;
    if (items.empty() || items.front().event.empty())
        return std::nullopt;
    std::string event = items.front().event;
    m_impl->PopFront();
    return event;
}

bool UsbLink::WriteAll(const uint8_t* data, size_t length) {
    return m_impl->device != nullptr && m_impl->device->QueueInput(Bytes(data, data + length));
}

void UsbLink::Unplug() {
    if (m_impl->device == nullptr)
        return;
    Log::WriteLog("UsbLink::Unplug", "Printer leaves the bus");
    m_impl->testbed->Unplug(*m_impl->device);
    m_impl->device = nullptr;
}

void UsbLink::Replug() {
    if (m_impl->device != nullptr)
        return;
    m_impl->Plug();
    Log::WriteLogP("UsbLink::Replug", "Printer back at %s", DevNode().c_str());
}

void UsbLink::PlugBootDevice(const BootIdentity& identity) {
    if (m_impl->device != nullptr)
        return;
    UsbDeviceSetup boot;
    boot.vid = identity.vid;
    boot.pid = identity.pid;
    boot.serial = identity.serial;
    boot.manufacturer = identity.manufacturer;
    boot.product = identity.product;
    boot.deviceClass = identity.deviceClass;
    boot.interfaceClasses = {identity.interfaceClass};
    boot.streamInput = identity.streamInput;
    if (identity.hid) {
        boot.hidReportDescriptor = usbdesc::VendorReportDescriptor();
        boot.kernelDriverOnInterface0 = true;
    }
    boot.bus = m_impl->setup.bus;
    boot.port = m_impl->setup.port;
    m_impl->Plug(boot);
    Log::WriteLogP("UsbLink::PlugBootDevice", "Boot device %04x|%04x at %s", identity.vid, identity.pid,
                   DevNode().c_str());
}

bool UsbLink::Plugged() const {
    return m_impl->device != nullptr;
}

bool UsbLink::AnswerWaiting() const {
    return m_impl->device != nullptr && m_impl->device->InputPending();
}

int UsbLink::HostsOpen() const {
    return m_impl->device != nullptr ? m_impl->device->OpenClients() : 0;
}

std::string UsbLink::DeviceName() const {
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x|%04x|", m_impl->setup.vid, m_impl->setup.pid);
    return ids + m_impl->setup.serial.value_or("");
}

std::string UsbLink::RootDir() const {
    return m_impl->testbed->RootDir();
}

std::string UsbLink::DevNode() const {
    return m_impl->device != nullptr ? m_impl->device->DevNode() : std::string();
}

} // namespace sim
