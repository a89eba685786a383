// The usbfs requests of one emulated device; see EmulatedUsbDevice.h.
#include "sim/usb/EmulatedUsbDevice.h"

#include "sim/usb/UsbDescriptors.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace sim {
namespace {

const char* KernelDriverName(const UsbDeviceSetup& setup) {
    return setup.hidReportDescriptor.empty() ? "usblp" : "usbhid";
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

usbdevfs_urb* Header(UMockdevIoctlData* urb) {
    return reinterpret_cast<usbdevfs_urb*>(urb->data);
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
    for (const auto& [client, opened] : m_openClients)
        g_object_weak_unref(G_OBJECT(client), &EmulatedUsbDevice::OnClientFinalized, this);
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
    std::vector<uint8_t> all = usbdesc::DeviceDescriptor(m_setup);
    std::vector<uint8_t> config = usbdesc::ConfigurationDescriptor(m_setup);
    all.insert(all.end(), config.begin(), config.end());
    return all;
}

void EmulatedUsbDevice::Observe(UsbHostObserver* observer) {
    std::lock_guard lock(m_mutex);
    m_observer = observer;
}

bool EmulatedUsbDevice::QueueInput(std::vector<uint8_t> packet) {
    std::lock_guard lock(m_mutex);
    if (m_gone)
        return false;
    if (m_setup.streamInput && !packet.empty())
        m_stream.push_back({m_opens, std::move(packet), 0});
    else if (!m_setup.streamInput)
        m_input.push_back(std::move(packet));
    FeedPendingInput();
    return true;
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

bool EmulatedUsbDevice::InputPending() const {
    std::lock_guard lock(m_mutex);
    // Stream bytes queued before the latest open are for no one: the next reader drops them.
    const bool streamPending = std::any_of(m_stream.begin(), m_stream.end(),
                                           [this](const StreamChunk& c) { return c.opensBefore >= m_opens; });
    return streamPending || !m_input.empty();
}

int EmulatedUsbDevice::OpenClients() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_openClients.size());
}

void EmulatedUsbDevice::Disconnect() {
    std::lock_guard lock(m_mutex);
    m_gone = true;
    m_stream.clear();
    m_input.clear();
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

void EmulatedUsbDevice::OnConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    auto* device = static_cast<EmulatedUsbDevice*>(self);
    std::lock_guard lock(device->m_mutex);
    device->m_openClients[client] = ++device->m_opens;
    // This umockdev release does not always say "client-vanished": the client object's end tells too.
    g_object_weak_ref(G_OBJECT(client), &EmulatedUsbDevice::OnClientFinalized, self);
    if (device->m_observer != nullptr)
        device->m_observer->Opened();
}

void EmulatedUsbDevice::OnVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    static_cast<EmulatedUsbDevice*>(self)->HostClosed(client, true);
}

void EmulatedUsbDevice::OnClientFinalized(gpointer self, GObject* client) {
    static_cast<EmulatedUsbDevice*>(self)->HostClosed(reinterpret_cast<UMockdevIoctlClient*>(client), false);
}

void EmulatedUsbDevice::HostClosed(UMockdevIoctlClient* client, bool clientAlive) {
    std::vector<Urb> dropped;
    {
        std::lock_guard lock(m_mutex);
        if (m_openClients.erase(client) == 0)
            return; // told already
        if (clientAlive)
            g_object_weak_unref(G_OBJECT(client), &EmulatedUsbDevice::OnClientFinalized, this);
        dropped = ForgetClient(client);
        if (m_observer != nullptr)
            m_observer->Closed();
    }
    // Released outside the lock: the last reference to an object may end more of umockdev's objects.
    for (Urb& urb : dropped)
        Release(urb);
}

std::vector<EmulatedUsbDevice::Urb> EmulatedUsbDevice::ForgetClient(UMockdevIoctlClient* client) {
    // A closed file descriptor gives up its interfaces and transfers, as usbfs does.
    for (auto it = m_claimedBy.begin(); it != m_claimedBy.end();)
        it = it->second == client ? m_claimedBy.erase(it) : std::next(it);
    std::vector<Urb> dropped;
    for (auto* queue : {&m_pendingIn, &m_done}) {
        for (auto it = queue->begin(); it != queue->end();) {
            if (it->client == client) {
                dropped.push_back(*it);
                it = queue->erase(it);
            } else {
                ++it;
            }
        }
    }
    return dropped;
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
    case USBDEVFS_SETINTERFACE:
        return SetInterface(arg, err);
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

long EmulatedUsbDevice::SetInterface(UMockdevIoctlData* arg, int* err) {
    UMockdevIoctlData* data = ResolveStruct(arg, sizeof(usbdevfs_setinterface));
    if (data == nullptr) {
        *err = EFAULT;
        return -1;
    }
    usbdevfs_setinterface choice;
    memcpy(&choice, data->data, sizeof choice);
    g_object_unref(data);
    // Every interface has only its alternate setting 0.
    if (choice.interface >= m_setup.interfaceClasses.size() || !m_setup.configured ||
        choice.altsetting != 0) {
        *err = EINVAL;
        return -1;
    }
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
        snprintf(query->driver, sizeof query->driver, "%s", KernelDriverName(m_setup));
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
    usbdevfs_urb* header = Header(urb.urb);
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
        return 0;
    }
    return SubmitOnEndpoint(urb, err);
}

long EmulatedUsbDevice::SubmitOnEndpoint(Urb& urb, int* err) {
    const usbdevfs_urb* header = Header(urb.urb);
    // A HID device's pair is interrupt endpoints; the data path is the same.
    const unsigned char expectedType =
        m_setup.hidReportDescriptor.empty() ? USBDEVFS_URB_TYPE_BULK : USBDEVFS_URB_TYPE_INTERRUPT;
    if (header->type != expectedType ||
        (header->endpoint != kInEndpoint && header->endpoint != kOutEndpoint)) {
        Release(urb);
        *err = EINVAL;
        return -1;
    }
    if ((header->endpoint & 0x80) != 0) {
        m_pendingIn.push_back(urb);
        FeedPendingInput();
    } else {
        CompleteOut(urb);
    }
    return 0;
}

void EmulatedUsbDevice::CompleteControl(Urb& urb) {
    const usbdevfs_urb* header = Header(urb.urb);
    if (urb.buffer == nullptr || header->buffer_length < 8) {
        Finish(urb, -EPIPE, 0);
        return;
    }
    uint8_t* setup = urb.buffer->data;
    const int answered = usbdesc::ControlAnswer(m_setup, setup, setup + 8, header->buffer_length - 8);
    if (answered < 0)
        Finish(urb, -EPIPE, 0);
    else
        Finish(urb, 0, answered);
}

void EmulatedUsbDevice::CompleteOut(Urb& urb) {
    const usbdevfs_urb* header = Header(urb.urb);
    if (m_failWrites) {
        Finish(urb, -EPIPE, 0);
        return;
    }
    const int length = header->buffer_length;
    const uint8_t* data = urb.buffer != nullptr ? urb.buffer->data : nullptr;
    if (m_observer != nullptr) {
        if (data != nullptr)
            m_observer->Received(data, static_cast<size_t>(length));
    } else {
        if (data != nullptr)
            m_written.insert(m_written.end(), data, data + length);
        m_outSizes.push_back(static_cast<size_t>(length));
    }
    Finish(urb, 0, length);
}

void EmulatedUsbDevice::FeedPendingInput() {
    while (!m_pendingIn.empty()) {
        UMockdevIoctlClient* reader = m_pendingIn.front().client;
        if (m_setup.streamInput ? !StreamReadyFor(reader) : m_input.empty())
            return;
        Urb urb = m_pendingIn.front();
        m_pendingIn.pop_front();
        if (m_setup.streamInput)
            FeedFromStream(urb);
        else
            FeedPacket(urb);
    }
}

void EmulatedUsbDevice::FeedPacket(Urb& urb) {
    std::vector<uint8_t> packet = std::move(m_input.front());
    m_input.pop_front();
    const size_t length =
        std::min(packet.size(), static_cast<size_t>(std::max(Header(urb.urb)->buffer_length, 0)));
    if (length > 0)
        memcpy(urb.buffer->data, packet.data(), length);
    Finish(urb, 0, static_cast<int>(length));
}

bool EmulatedUsbDevice::StreamReadyFor(UMockdevIoctlClient* reader) {
    // Bytes queued before this host opened the device were meant for an earlier one: a host that
    // opens the printer anew finds no answer left over. (The close of a device node is told too late
    // to clear them then.)
    auto it = m_openClients.find(reader);
    const int opened = it == m_openClients.end() ? 0 : it->second;
    while (!m_stream.empty() && m_stream.front().opensBefore < opened)
        m_stream.pop_front();
    return !m_stream.empty();
}

void EmulatedUsbDevice::FeedFromStream(Urb& urb) {
    const size_t room = static_cast<size_t>(std::max(Header(urb.urb)->buffer_length, 0));
    size_t filled = 0;
    while (filled < room && !m_stream.empty()) {
        StreamChunk& chunk = m_stream.front();
        const size_t n = std::min(room - filled, chunk.bytes.size() - chunk.used);
        memcpy(urb.buffer->data + filled, chunk.bytes.data() + chunk.used, n);
        filled += n;
        chunk.used += n;
        if (chunk.used == chunk.bytes.size())
            m_stream.pop_front();
    }
    Finish(urb, 0, static_cast<int>(filled));
}

void EmulatedUsbDevice::Finish(Urb urb, int status, int actualLength) {
    usbdevfs_urb* header = Header(urb.urb);
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
        result = usbdesc::ControlAnswer(m_setup, setup, buffer ? buffer->data : nullptr, transfer->wLength);
    if (result < 0)
        *err = EPIPE;
    if (buffer != nullptr)
        g_object_unref(buffer);
    g_object_unref(data);
    return result < 0 ? -1 : result;
}

void EmulatedUsbDevice::Release(Urb& urb) {
    if (urb.buffer != nullptr)
        g_object_unref(urb.buffer);
    if (urb.urb != nullptr)
        g_object_unref(urb.urb);
    urb.buffer = nullptr;
    urb.urb = nullptr;
}

} // namespace sim
