// Where a USB device sits on the bus (its port path from the root) and the identity it was found
// under. The frame layer keeps it across re-opens, which replace the port object that saved it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

struct UsbLocation {
    static constexpr size_t kMaxPorts = 8;

    std::string vid;
    std::string pid;
    std::string serial; // of the device last seen there
    std::array<uint8_t, kMaxPorts> ports = {};
    size_t length = 0; // 0: nothing remembered

    bool Empty() const { return length == 0; }
};
