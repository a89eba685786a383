// The printer on USB: a umockdev testbed with one emulated printer-class device whose identity (vendor
// and product id, serial number, class) comes from the profile. A host program running under
// umockdev's preload with UMOCKDEV_DIR set to RootDir() finds it through libusb, writes requests to
// the bulk OUT endpoint and reads the answers from the bulk IN endpoint as one byte stream.
// umockdev serves the device's requests on its own worker thread; what the host does is queued here
// and Fd() wakes the server loop, which answers through WriteAll.
#pragma once

#include "sim/BootDevice.h"
#include "sim/Profile.h"
#include "sim/Transport.h"

#include <memory>
#include <optional>

namespace sim {

class UsbLink final : public Link {
public:
    // The maker's name in the printer's manufacturer string.
    static constexpr const char* kManufacturer = "Velmar";

    // Creates the testbed and plugs the printer in, its product string being `product` (the profile's
    // name); throws TransportError (TcpTransport.h), also in a build without umockdev.
    UsbLink(const UsbSection& usb, const std::string& product);
    ~UsbLink() override;

    // Readable while host bytes or host events wait.
    int Fd() const override;
    // Bytes the host sent, up to the next host event; -1 when none wait.
    long ReadSome(uint8_t* buffer, size_t capacity) override;
    // Queues the bytes for the IN endpoint; false while the printer is off the bus.
    bool WriteAll(const uint8_t* data, size_t length) override;
    // A USB printer cannot hang up on its host: an answer cut short simply stops.
    bool CanDrop() const override { return false; }
    std::string Via() const override { return "usb"; }

    // "connect" (the host opened the device) or "disconnect" (it closed it) when that comes before any
    // further bytes, else nullopt.
    [[nodiscard]] std::optional<std::string> NextEvent();

    // Off the bus: the host's transfers fail and the device is no longer listed.
    void Unplug();
    // Back on the same port of the same hub, under a new device number, as after a restart.
    void Replug();
    // A boot loader on the printer's port in its place (the printer is off the bus); Unplug takes it
    // away again. Host bytes and events reach ReadSome and NextEvent as the printer's do.
    void PlugBootDevice(const BootIdentity& identity);
    [[nodiscard]] bool Plugged() const;
    // Whether answer bytes wait in the IN stream for the host to read them.
    [[nodiscard]] bool AnswerWaiting() const;
    // How many opens of the device node are not closed yet.
    [[nodiscard]] int HostsOpen() const;

    // "vid|pid|serial" with lower-case hexadecimal ids, as a host lists the printer.
    [[nodiscard]] std::string DeviceName() const;
    // The directory UMOCKDEV_DIR must name for a host program to see the printer.
    [[nodiscard]] std::string RootDir() const;
    // The device node under that directory, e.g. /dev/bus/usb/001/002.
    [[nodiscard]] std::string DevNode() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace sim
