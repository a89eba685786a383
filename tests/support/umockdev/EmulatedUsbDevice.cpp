#include "tests/support/umockdev/EmulatedUsbDevice.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {
constexpr uint8_t kSerialIndex = 3;
constexpr uint8_t kConfigurationValue = 1;
constexpr const char* kKernelDriverName = "usblp";

void Put16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
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
    for (size_t i = 0; i < setup.interfaceClasses.size(); ++i) {
        const uint8_t endpoints = i == 0 ? 2 : 0;
        body.insert(body.end(),
                    {9, 4, static_cast<uint8_t>(i), 0, endpoints, setup.interfaceClasses[i], 1, 2, 0});
        if (i != 0)
            continue;
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

// The arg of most requests points at a struct; resolving gives its local copy (owned by the caller).
UMockdevIoctlData* ResolveStruct(UMockdevIoctlData* arg, size_t size) {
    GError* error = nullptr;
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, size, &error);
    if (error != nullptr) {
        fprintf(stderr, "emulated usb: cannot resolve ioctl argument: %s\n", error->message);
        g_error_free(error);
        return nullptr;
    }
    return data;
}
} // namespace

EmulatedUsbDevice::EmulatedUsbDevice(UsbDeviceSetup setup, int devnum)
    : m_setup(std::move(setup)), m_devnum(devnum), m_handler(umockdev_ioctl_base_new()) {
    m_kernelDriver[0] = m_setup.kernelDriverOnInterface0;
    m_kernelDriver[1] = m_setup.kernelDriverOnInterface1 && m_setup.interfaceClasses.size() > 1;
    g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(&EmulatedUsbDevice::OnIoctl), this);
    g_signal_connect(m_handler, "client-connected", G_CALLBACK(&EmulatedUsbDevice::OnConnected), this);
    g_signal_connect(m_handler, "client-vanished", G_CALLBACK(&EmulatedUsbDevice::OnVanished), this);
}

EmulatedUsbDevice::~EmulatedUsbDevice() {
    g_signal_handlers_disconnect_by_data(m_handler, this);
    std::lock_guard lock(m_mutex);
    for (auto* queue : {&m_pendingIn, &m_done, &m_reaped})
        for (Urb& urb : *queue)
            Release(urb);
    g_object_unref(m_handler);
}

std::string EmulatedUsbDevice::DevNode() const {
    char path[64];
    snprintf(path, sizeof path, "/dev/bus/usb/%03d/%03d", m_setup.bus, m_devnum);
    return path;
}

std::string EmulatedUsbDevice::SysName() const {
    return std::to_string(m_setup.bus) + "-" + std::to_string(m_setup.port);
}

std::vector<uint8_t> EmulatedUsbDevice::Descriptors() const {
    std::vector<uint8_t> all = DeviceDescriptor(m_setup);
    std::vector<uint8_t> config = ConfigurationDescriptor(m_setup);
    all.insert(all.end(), config.begin(), config.end());
    return all;
}

void EmulatedUsbDevice::QueueInput(std::vector<uint8_t> packet) {
    std::lock_guard lock(m_mutex);
    m_input.push_back(std::move(packet));
    FeedPendingInput();
}

std::vector<uint8_t> EmulatedUsbDevice::Written() const {
    std::lock_guard lock(m_mutex);
    return m_written;
}

std::vector<size_t> EmulatedUsbDevice::OutTransferSizes() const {
    std::lock_guard lock(m_mutex);
    return m_outSizes;
}

void EmulatedUsbDevice::FailWrites() {
    std::lock_guard lock(m_mutex);
    m_failWrites = true;
}

bool EmulatedUsbDevice::KernelDriverOn(unsigned interface) const {
    std::lock_guard lock(m_mutex);
    auto it = m_kernelDriver.find(interface);
    return it != m_kernelDriver.end() && it->second;
}

bool EmulatedUsbDevice::Claimed(unsigned interface) const {
    std::lock_guard lock(m_mutex);
    return m_claimedBy.count(interface) != 0;
}

int EmulatedUsbDevice::OpenCount() const {
    std::lock_guard lock(m_mutex);
    return m_opens;
}

void EmulatedUsbDevice::Disconnect() {
    std::lock_guard lock(m_mutex);
    m_gone = true;
    while (!m_pendingIn.empty()) {
        Urb urb = m_pendingIn.front();
        m_pendingIn.pop_front();
        Finish(urb, -ESHUTDOWN, 0);
    }
}

gboolean EmulatedUsbDevice::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    auto* device = static_cast<EmulatedUsbDevice*>(self);
    int err = 0;
    long result;
    {
        std::lock_guard lock(device->m_mutex);
        result = device->Dispatch(client, umockdev_ioctl_client_get_request(client),
                                  umockdev_ioctl_client_get_arg(client), &err);
    }
    umockdev_ioctl_client_complete(client, result, err);
    std::lock_guard lock(device->m_mutex);
    for (Urb& urb : device->m_reaped)
        device->Release(urb);
    device->m_reaped.clear();
    return TRUE;
}

void EmulatedUsbDevice::OnConnected(UMockdevIoctlBase*, UMockdevIoctlClient*, gpointer self) {
    auto* device = static_cast<EmulatedUsbDevice*>(self);
    std::lock_guard lock(device->m_mutex);
    ++device->m_opens;
}

void EmulatedUsbDevice::OnVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    auto* device = static_cast<EmulatedUsbDevice*>(self);
    std::lock_guard lock(device->m_mutex);
    // A closed file descriptor gives up its interfaces and transfers, as usbfs does.
    for (auto it = device->m_claimedBy.begin(); it != device->m_claimedBy.end();)
        it = it->second == client ? device->m_claimedBy.erase(it) : std::next(it);
    for (auto* queue : {&device->m_pendingIn, &device->m_done}) {
        for (auto it = queue->begin(); it != queue->end();) {
            if (it->client == client) {
                device->Release(*it);
                it = queue->erase(it);
            } else {
                ++it;
            }
        }
    }
}

long EmulatedUsbDevice::Dispatch(UMockdevIoctlClient* client, unsigned long request, UMockdevIoctlData* arg,
                                 int* err) {
    if (m_gone) {
        if ((request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) && !m_done.empty())
            return Reap(client, arg, err);
        *err = ENODEV;
        return -1;
    }
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* caps = ResolveStruct(arg, sizeof(uint32_t));
        if (caps == nullptr)
            break;
        const uint32_t value = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM;
        memcpy(caps->data, &value, sizeof value);
        g_object_unref(caps);
        return 0;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE:
        return Claim(client, request, arg, err);
    case USBDEVFS_GETDRIVER:
        return GetDriver(arg, err);
    case USBDEVFS_IOCTL:
        return DriverCommand(arg, err);
    case USBDEVFS_SUBMITURB:
        return Submit(client, arg, err);
    case USBDEVFS_DISCARDURB:
        return Discard(arg, err);
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
        return Reap(client, arg, err);
    case USBDEVFS_CONTROL:
        return Control(arg, err);
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESET:
        return 0;
    default:
        fprintf(stderr, "emulated usb: unhandled ioctl 0x%lx\n", request);
        break;
    }
    *err = ENOTTY;
    return -1;
}

long EmulatedUsbDevice::Claim(UMockdevIoctlClient* client, unsigned long request, UMockdevIoctlData* arg,
                              int* err) {
    UMockdevIoctlData* data = ResolveStruct(arg, sizeof(unsigned));
    if (data == nullptr) {
        *err = EFAULT;
        return -1;
    }
    unsigned interface = 0;
    memcpy(&interface, data->data, sizeof interface);
    g_object_unref(data);
    if (interface >= m_setup.interfaceClasses.size() || !m_setup.configured) {
        *err = ENOENT;
        return -1;
    }
    auto holder = m_claimedBy.find(interface);
    if (request == USBDEVFS_RELEASEINTERFACE) {
        if (holder == m_claimedBy.end() || holder->second != client) {
            *err = EINVAL;
            return -1;
        }
        m_claimedBy.erase(holder);
        return 0;
    }
    // Like usbfs: a kernel driver or another file descriptor holding the interface makes it busy.
    if (m_kernelDriver[interface] || (holder != m_claimedBy.end() && holder->second != client)) {
        *err = EBUSY;
        return -1;
    }
    m_claimedBy[interface] = client;
    return 0;
}

long EmulatedUsbDevice::GetDriver(UMockdevIoctlData* arg, int* err) {
    UMockdevIoctlData* data = ResolveStruct(arg, sizeof(usbdevfs_getdriver));
    if (data == nullptr) {
        *err = EFAULT;
        return -1;
    }
    auto* query = reinterpret_cast<usbdevfs_getdriver*>(data->data);
    long result = 0;
    if (m_kernelDriver[query->interface]) {
        snprintf(query->driver, sizeof query->driver, "%s", kKernelDriverName);
    } else {
        *err = ENODATA;
        result = -1;
    }
    g_object_unref(data);
    return result;
}

long EmulatedUsbDevice::DriverCommand(UMockdevIoctlData* arg, int* err) {
    UMockdevIoctlData* data = ResolveStruct(arg, sizeof(usbdevfs_ioctl));
    if (data == nullptr) {
        *err = EFAULT;
        return -1;
    }
    usbdevfs_ioctl command;
    memcpy(&command, data->data, sizeof command);
    g_object_unref(data);
    const auto interface = static_cast<unsigned>(command.ifno);
    if (static_cast<unsigned long>(command.ioctl_code) == USBDEVFS_DISCONNECT) {
        if (!m_kernelDriver[interface]) {
            *err = ENODATA;
            return -1;
        }
        m_kernelDriver[interface] = false;
        return 0;
    }
    if (static_cast<unsigned long>(command.ioctl_code) == USBDEVFS_CONNECT) {
        m_kernelDriver[interface] = true;
        return 0;
    }
    *err = ENOTTY;
    return -1;
}

long EmulatedUsbDevice::Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg, int* err) {
    Urb urb{client, 0, ResolveStruct(arg, sizeof(usbdevfs_urb)), nullptr};
    if (urb.urb == nullptr) {
        *err = EFAULT;
        return -1;
    }
    urb.key = urb.urb->client_addr;
    auto* header = reinterpret_cast<usbdevfs_urb*>(urb.urb->data);
    if (header->buffer_length > 0) {
        GError* error = nullptr;
        urb.buffer = umockdev_ioctl_data_resolve(urb.urb, offsetof(usbdevfs_urb, buffer),
                                                 static_cast<gsize>(header->buffer_length), &error);
        if (error != nullptr) {
            g_error_free(error);
            Release(urb);
            *err = EFAULT;
            return -1;
        }
    }
    header->status = 0;
    header->actual_length = 0;
    if (header->type == USBDEVFS_URB_TYPE_CONTROL) {
        CompleteControl(urb);
    } else if (header->type != USBDEVFS_URB_TYPE_BULK ||
               (header->endpoint != kInEndpoint && header->endpoint != kOutEndpoint)) {
        Release(urb);
        *err = EINVAL;
        return -1;
    } else if ((header->endpoint & 0x80) != 0) {
        m_pendingIn.push_back(urb);
        FeedPendingInput();
    } else {
        CompleteOut(urb);
    }
    return 0;
}

void EmulatedUsbDevice::CompleteControl(Urb& urb) {
    auto* header = reinterpret_cast<usbdevfs_urb*>(urb.urb->data);
    if (urb.buffer == nullptr || header->buffer_length < 8) {
        Finish(urb, -EPIPE, 0);
        return;
    }
    uint8_t* setup = urb.buffer->data;
    const int answered = ControlAnswer(setup, setup + 8, header->buffer_length - 8);
    if (answered < 0)
        Finish(urb, -EPIPE, 0);
    else
        Finish(urb, 0, answered);
}

void EmulatedUsbDevice::CompleteOut(Urb& urb) {
    auto* header = reinterpret_cast<usbdevfs_urb*>(urb.urb->data);
    if (m_failWrites) {
        Finish(urb, -EPIPE, 0);
        return;
    }
    const int length = header->buffer_length;
    if (urb.buffer != nullptr)
        m_written.insert(m_written.end(), urb.buffer->data, urb.buffer->data + length);
    m_outSizes.push_back(static_cast<size_t>(length));
    Finish(urb, 0, length);
}

void EmulatedUsbDevice::FeedPendingInput() {
    while (!m_pendingIn.empty() && !m_input.empty()) {
        Urb urb = m_pendingIn.front();
        m_pendingIn.pop_front();
        std::vector<uint8_t> packet = std::move(m_input.front());
        m_input.pop_front();
        auto* header = reinterpret_cast<usbdevfs_urb*>(urb.urb->data);
        const size_t length =
            std::min(packet.size(), static_cast<size_t>(std::max(header->buffer_length, 0)));
        if (length > 0)
            memcpy(urb.buffer->data, packet.data(), length);
        Finish(urb, 0, static_cast<int>(length));
    }
}

void EmulatedUsbDevice::Finish(Urb urb, int status, int actualLength) {
    auto* header = reinterpret_cast<usbdevfs_urb*>(urb.urb->data);
    header->status = status;
    header->actual_length = actualLength;
    m_done.push_back(urb);
}

long EmulatedUsbDevice::Discard(UMockdevIoctlData* arg, int* err) {
    uintptr_t key = 0;
    memcpy(&key, arg->data, std::min(sizeof key, static_cast<size_t>(std::max(arg->data_len, 0))));
    auto it =
        std::find_if(m_pendingIn.begin(), m_pendingIn.end(), [key](const Urb& u) { return u.key == key; });
    if (it == m_pendingIn.end()) {
        *err = EINVAL;
        return -1;
    }
    Urb urb = *it;
    m_pendingIn.erase(it);
    Finish(urb, -ENOENT, 0);
    return 0;
}

long EmulatedUsbDevice::Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg, int* err) {
    auto it =
        std::find_if(m_done.begin(), m_done.end(), [client](const Urb& u) { return u.client == client; });
    if (it == m_done.end()) {
        *err = m_gone ? ENODEV : EAGAIN;
        return -1;
    }
    // The argument is the address of the client's URB pointer, which receives the reaped URB.
    UMockdevIoctlData* slot = ResolveStruct(arg, sizeof(void*));
    if (slot == nullptr) {
        *err = EFAULT;
        return -1;
    }
    Urb urb = *it;
    m_done.erase(it);
    umockdev_ioctl_data_set_ptr(slot, 0, urb.urb);
    g_object_unref(slot);
    m_reaped.push_back(urb); // kept until the answer has been synced back to the client
    return 0;
}

long EmulatedUsbDevice::Control(UMockdevIoctlData* arg, int* err) {
    UMockdevIoctlData* data = ResolveStruct(arg, sizeof(usbdevfs_ctrltransfer));
    if (data == nullptr) {
        *err = EFAULT;
        return -1;
    }
    auto* transfer = reinterpret_cast<usbdevfs_ctrltransfer*>(data->data);
    uint8_t setup[8] = {transfer->bRequestType, transfer->bRequest};
    memcpy(setup + 2, &transfer->wValue, 2);
    memcpy(setup + 4, &transfer->wIndex, 2);
    memcpy(setup + 6, &transfer->wLength, 2);
    long result = -1;
    UMockdevIoctlData* buffer = nullptr;
    if (transfer->wLength > 0) {
        GError* error = nullptr;
        buffer = umockdev_ioctl_data_resolve(data, offsetof(usbdevfs_ctrltransfer, data), transfer->wLength,
                                             &error);
        if (error != nullptr)
            g_error_free(error);
    }
    if (buffer != nullptr || transfer->wLength == 0)
        result = ControlAnswer(setup, buffer ? buffer->data : nullptr, transfer->wLength);
    if (result < 0)
        *err = EPIPE;
    if (buffer != nullptr)
        g_object_unref(buffer);
    g_object_unref(data);
    return result < 0 ? -1 : result;
}

int EmulatedUsbDevice::ControlAnswer(const uint8_t* setup, uint8_t* data, int length) const {
    const uint8_t requestType = setup[0];
    const uint8_t request = setup[1];
    const uint8_t index = setup[2];
    const uint8_t type = setup[3];
    std::vector<uint8_t> answer;
    if (requestType == 0x80 && request == 6) {
        if (type == 1)
            answer = DeviceDescriptor(m_setup);
        else if (type == 2 && m_setup.configured && index == 0)
            answer = ConfigurationDescriptor(m_setup);
        else if (type == 3 && index == 0)
            answer = {4, 3, 0x09, 0x04};
        else if (type == 3 && index == kSerialIndex && m_setup.serial)
            answer = StringDescriptor(*m_setup.serial);
        else
            return -1;
    } else if (requestType == 0x80 && request == 8) {
        answer = {static_cast<uint8_t>(m_setup.configured ? kConfigurationValue : 0)};
    } else {
        return -1;
    }
    const int count = std::min(length, static_cast<int>(answer.size()));
    if (count > 0)
        memcpy(data, answer.data(), static_cast<size_t>(count));
    return count;
}

void EmulatedUsbDevice::Release(Urb& urb) {
    if (urb.buffer != nullptr)
        g_object_unref(urb.buffer);
    if (urb.urb != nullptr)
        g_object_unref(urb.urb);
    urb.buffer = nullptr;
    urb.urb = nullptr;
}
