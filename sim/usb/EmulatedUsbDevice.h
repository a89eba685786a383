// One USB device emulated at the usbfs ioctl level for libusb running under umockdev's preload: its
// descriptors, serial string, interfaces with an optional kernel driver, and bulk endpoints. What the
// host sends either is recorded (tests inspect it) or goes to an observer (the simulator answers it);
// what the device sends is queued as packets (one per IN transfer) or as a byte stream.
#pragma once

#include <umockdev.h>

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct UsbDeviceSetup {
    uint16_t vid = 0;
    uint16_t pid = 0;
    uint8_t deviceClass = 7;                     // 0: the class is given per interface
    std::vector<uint8_t> interfaceClasses = {7}; // one interface each; interface 0 carries the bulk pair
    std::optional<std::string> serial;           // nullopt: no serial-number descriptor
    std::optional<std::string> manufacturer;     // nullopt: no manufacturer string
    std::optional<std::string> product;          // nullopt: no product string
    bool inEndpointFirst = true;                 // order of the two endpoints of interface 0
    bool configured = true; // false: unconfigured, no active configuration descriptor can be read
    // Non-empty: interface 0 is a HID interface (class 3) with this report descriptor, its endpoint pair
    // is interrupt instead of bulk, and its kernel driver is usbhid.
    std::vector<uint8_t> hidReportDescriptor;
    bool kernelDriverOnInterface0 = false; // a kernel driver holds interface 0 until detached
    bool kernelDriverOnInterface1 = false;
    // Queued input is one byte stream: an IN transfer takes what is there up to its length and the rest
    // waits for the next one, as the bytes of a printer's answer do. Otherwise each queued packet
    // completes one transfer and is cut to its length.
    bool streamInput = false;
    int bus = 1;
    int port = 1; // port on the root hub: the device's location
};

// Told what the host does, on umockdev's worker thread with the device's lock held: it must not call
// back into the device.
class UsbHostObserver {
public:
    virtual ~UsbHostObserver() = default;
    virtual void Opened() = 0;
    virtual void Closed() = 0;
    virtual void Received(const uint8_t* data, size_t length) = 0; // one OUT transfer
};

class EmulatedUsbDevice {
public:
    static constexpr uint8_t kInEndpoint = 0x81;
    static constexpr uint8_t kOutEndpoint = 0x02;

    EmulatedUsbDevice(UsbDeviceSetup setup, int devnum);
    ~EmulatedUsbDevice();
    EmulatedUsbDevice(const EmulatedUsbDevice&) = delete;
    EmulatedUsbDevice& operator=(const EmulatedUsbDevice&) = delete;

    const UsbDeviceSetup& Setup() const { return m_setup; }
    int Devnum() const { return m_devnum; }
    std::string DevNode() const; // "/dev/bus/usb/BBB/DDD"
    std::string SysName() const; // "B-P"
    std::vector<uint8_t> Descriptors() const;
    UMockdevIoctlBase* Handler() const { return m_handler; }

    // With an observer, OUT bytes go to it instead of being recorded; null stops that. The observer
    // must outlive the device or be removed first.
    void Observe(UsbHostObserver* observer);
    // A packet (or, with streamInput, more bytes of the stream) for the IN endpoint. False once the
    // device is gone.
    bool QueueInput(std::vector<uint8_t> packet);
    // Bytes of all recorded OUT transfers, and the length of each OUT transfer, in order.
    std::vector<uint8_t> Written() const;
    std::vector<size_t> OutTransferSizes() const;
    // Stall every further OUT transfer.
    void FailWrites();
    bool KernelDriverOn(unsigned interface) const;
    bool Claimed(unsigned interface) const;
    // From now on the device is gone: pending transfers end, every request fails with ENODEV.
    void Disconnect();
    // Number of times the device node was opened, and how many of those opens are still open.
    int OpenCount() const;
    int OpenClients() const;
    // Whether queued input waits for an IN transfer of the host that opened the device last.
    bool InputPending() const;

private:
    struct StreamChunk {
        int opensBefore; // how many times the device had been opened when the bytes were queued
        std::vector<uint8_t> bytes;
        size_t used;
    };
    struct Urb {
        UMockdevIoctlClient* client;
        uintptr_t key; // the client's address of the URB
        UMockdevIoctlData* urb;
        UMockdevIoctlData* buffer; // nullptr for empty transfers
    };

    static gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
    static void OnConnected(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
    static void OnVanished(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
    static void OnClientFinalized(gpointer self, GObject* client);
    void HostClosed(UMockdevIoctlClient* client, bool clientAlive);

    // Each returns the ioctl result, errno set in *err.
    long Dispatch(UMockdevIoctlClient* client, unsigned long request, UMockdevIoctlData* arg, int* err);
    long Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg, int* err);
    long SubmitOnEndpoint(Urb& urb, int* err);
    long Discard(UMockdevIoctlData* arg, int* err);
    long Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg, int* err);
    long Control(UMockdevIoctlData* arg, int* err);
    long GetDriver(UMockdevIoctlData* arg, int* err);
    long DriverCommand(UMockdevIoctlData* arg, int* err);
    long Claim(UMockdevIoctlClient* client, unsigned long request, UMockdevIoctlData* arg, int* err);
    long SetInterface(UMockdevIoctlData* arg, int* err);
    // Takes the client's interfaces and transfers away; the transfers are for the caller to release.
    std::vector<Urb> ForgetClient(UMockdevIoctlClient* client);
    void CompleteControl(Urb& urb);
    void CompleteOut(Urb& urb);
    void FeedPendingInput();
    void FeedPacket(Urb& urb);
    [[nodiscard]] bool StreamReadyFor(UMockdevIoctlClient* reader);
    void FeedFromStream(Urb& urb);
    void Finish(Urb urb, int status, int actualLength);
    void Release(Urb& urb);

    UsbDeviceSetup m_setup;
    int m_devnum;
    UMockdevIoctlBase* m_handler;
    mutable std::mutex m_mutex;
    std::deque<std::vector<uint8_t>> m_input;
    std::deque<StreamChunk> m_stream;
    std::deque<Urb> m_pendingIn;
    std::deque<Urb> m_done;
    std::deque<Urb> m_reaped;
    std::vector<uint8_t> m_written;
    std::vector<size_t> m_outSizes;
    std::map<unsigned, UMockdevIoctlClient*> m_claimedBy;
    std::map<unsigned, bool> m_kernelDriver;
    UsbHostObserver* m_observer = nullptr;
    bool m_failWrites = false;
    bool m_gone = false;
    int m_opens = 0;
    std::map<UMockdevIoctlClient*, int> m_openClients; // open ones, with the number of their open
};

} // namespace sim
