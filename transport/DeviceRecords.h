// Records of devices found by the enumerations: a USB device (also used for the USB identity behind a
// virtual COM port) and a serial device.
#pragma once

#include <optional>
#include <string>

// Texts are kept within the 1024-byte buffers they always had: longer texts are cut.
struct USBDevice {
    static constexpr size_t kTextLimit = 1023;

    std::string vid;    // four lower-case hexadecimal digits
    std::string pid;    // four lower-case hexadecimal digits
    std::string serial; // the USB serial-number string, possibly empty
    bool flag = false;
    // Filled only by the virtual-COM lookup of a serial port.
    std::optional<std::string> virtualComVid;
    std::optional<std::string> virtualComPid;
    std::optional<std::string> virtualComSerial;
    std::optional<std::string> virtualComPath;

    void SetValues(const USBDevice& other) { *this = other; }
    // "%s|%s|%s": the USB device-name form.
    std::string DeviceName() const { return vid + "|" + pid + "|" + serial; }
};

struct SerialDevice {
    static constexpr size_t kTextLimit = 254; // 255-byte buffers

    std::string path;
    std::string description;

    void SetValues(const SerialDevice& other) { *this = other; }
};
