// The Silicon Laboratories HID boot loader a U6 printer becomes for a firmware upgrade (vendor id
// 0x10C4, a HID interface with interrupt endpoints). The host's output reports carry "$" records (the
// marker, a length byte, that many bytes led by the command byte); each whole record is answered with
// one input report, 40 00 00 00 for the commands 0x30..0x36. The records are kept in order; the run
// command (0x36) installs them as the new image and makes the loader leave the bus so the printer
// returns.
#pragma once

#include "sim/BootDevice.h"

namespace sim {

class SilabsBootDevice final : public BootDevice {
public:
    static constexpr uint16_t kVendorId = 0x10C4;
    static constexpr uint16_t kProductId = 0xEAC9;
    static constexpr uint8_t kMarker = 0x24;
    static constexpr uint8_t kRunCommand = 0x36;
    static constexpr uint8_t kAck = 0x40, kUnknownCommand = 0x3F;

    SilabsBootDevice(PrinterState& state, FaultInjector& faults);

    [[nodiscard]] BootIdentity Identity() const override;
    [[nodiscard]] std::string Name() const override { return "silabs"; }
    [[nodiscard]] BootReply Receive(const uint8_t* data, size_t length) override;
    void HostOpened() override { m_pending.clear(); }

    // "S" and the command byte in upper-case hexadecimal ("S33"): the fault switches' KIND of a record.
    [[nodiscard]] static std::string NameOf(const Bytes& record);

private:
    // The bytes before the next record's marker are no record: dropped (and noted).
    void SkipToMarker(BootReply& reply);
    [[nodiscard]] Bytes Answer(const Bytes& record, BootExchange& exchange, BootReply& reply);
    void Install(BootExchange& exchange);

    PrinterState& m_state;
    FaultInjector& m_faults;
    const BootSection m_boot;
    Bytes m_pending;
    Bytes m_image; // every acknowledged record, in order
    unsigned m_records = 0;
};

} // namespace sim
