// The printer's byte-stream connections to a host, behind one interface: TCP, the pty pair and the
// emulated USB device. A transport only moves bytes; the Server decides what they mean.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sim {

class Link {
public:
    virtual ~Link() = default;
    Link() = default;
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // The descriptor the server polls for input.
    [[nodiscard]] virtual int Fd() const = 0;
    // Bytes now available: > 0 read, 0 the host went away, -1 nothing (or a passing error).
    [[nodiscard]] virtual long ReadSome(uint8_t* buffer, size_t capacity) = 0;
    // Every byte or false when the host is gone.
    [[nodiscard]] virtual bool WriteAll(const uint8_t* data, size_t length) = 0;
    // Whether the printer can make sense of what the host sends now; `why` tells the host's mistake.
    [[nodiscard]] virtual bool Understands(std::string& why) {
        (void)why;
        return true;
    }
    // True when the host can be hung up on (a serial line cannot).
    [[nodiscard]] virtual bool CanDrop() const { return true; }
    // "tcp", "pty", "usb": the transcript's "via".
    [[nodiscard]] virtual std::string Via() const = 0;
};

} // namespace sim
