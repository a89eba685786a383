// The USB HID port: data in HID output reports and answers from HID input reports, through hidapi.
// Only the upgrade of printers whose boot loader is a HID device uses it; that procedure creates the
// port itself and drives it with InitWithVid, Open, Write, the port's own ReadAll and Close.
//
// hidapi's libusb back end (hidapi-libusb) is the one linked, not hidraw: it talks to the device
// through usbfs, detaching the kernel's usbhid driver while the port is open and re-attaching it on
// close, so it works on any machine whose user may open the USB device node; and usbfs is what the
// tests emulate (umockdev's ioctl emulation of /dev/bus/usb), so the same code path runs there. The
// hidraw back end would need /dev/hidraw nodes and their ioctls, which the emulation does not play.
#pragma once

#include "transport/ComPort.h"

#include <hidapi.h>

#include <cstdint>
#include <memory>
#include <string>

class ComPortUsbHid : public ComPort {
public:
    static constexpr unsigned kPacketSize = 64; // payload of one output report
    static constexpr size_t kTextSize = 1024;

    ComPortUsbHid();
    explicit ComPortUsbHid(int timeoutMultiplier);
    ~ComPortUsbHid() override;

    // Stores the hexadecimal vendor and product ids and the serial number (null keeps the previous
    // serial; empty matches any); does not touch the device. Always 1.
    int InitWithVid(const char* vid, const char* pid, const char* serial) override;
    // Starts the HID library and opens the first device with the stored ids (and serial).
    int Open() override;
    // Ends the library when the port was open; a closed port gives true and does nothing.
    int Close() override;
    // Output reports of report number 0 and at most 64 data bytes; the count when all went out, else 0.
    unsigned Write(const unsigned char* buf, unsigned len, unsigned* error) override;
    // One input report of at most len bytes, waiting timeoutSeconds × 1000 × the multiplier
    // milliseconds (scaled by Clock). Bytes read, 0 on a time-out or an error. Virtual so that the
    // upgrade's tests can script the boot loader's answers.
    [[nodiscard]] virtual int ReadAll(unsigned char* buf, int len, int timeoutSeconds, unsigned* error);

    // Consecutive failed report writes tolerated per report (0: the first failure ends the write).
    void SetWriteRetries(int retries) { m_writeRetries = retries; }
    [[nodiscard]] bool IsOpen() const { return m_open; }
    [[nodiscard]] const std::string& Vid() const { return m_vid; }
    [[nodiscard]] const std::string& Pid() const { return m_pid; }
    [[nodiscard]] const std::string& Serial() const { return m_serial; }

private:
    struct DeviceCloser {
        void operator()(hid_device* device) const { hid_close(device); }
    };
    using HidHandle = std::unique_ptr<hid_device, DeviceCloser>;

    // hidapi's libusb back end gives no error texts of its own (hid_error is a placeholder there), so
    // the port names what failed.
    [[nodiscard]] bool EndLibrary();
    [[nodiscard]] bool WriteReport(const unsigned char* data, unsigned count);

    bool m_open = false;
    bool m_libraryStarted = false;
    std::string m_pid;
    std::string m_vid;
    std::string m_serial;
    int m_timeoutMultiplier = 1;
    HidHandle m_device;
    int m_writeRetries = 0;
};
