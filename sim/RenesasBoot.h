// The Renesas USB boot device a U2/U4 printer becomes for a firmware upgrade (vendor id 0x045B, bulk
// endpoints). It answers the boot-mode commands one by one (ACK 0x06 and the inquiry answers), checks
// every programming frame's checksum and address, reassembles the image, which must end at address
// 0xFFFFFFFF, and installs it on the terminate command. The reset command (0x31) makes it leave the
// bus so the printer returns; a U4 printer waits for the user's power cycle instead.
#pragma once

#include "sim/BootDevice.h"

#include <map>

namespace sim {

class RenesasBootDevice final : public BootDevice {
public:
    static constexpr uint16_t kVendorId = 0x045B;
    static constexpr uint8_t kAck = 0x06, kRejected = 0xD0;
    static constexpr uint8_t kAddressError = 0x2A, kProgrammingError = 0x53, kChecksumError = 0x11;
    static constexpr uint8_t kResetAnswer = 0x52, kNewLoaderMark = 0x52;

    RenesasBootDevice(PrinterState& state, FaultInjector& faults);

    [[nodiscard]] BootIdentity Identity() const override;
    [[nodiscard]] std::string Name() const override { return "renesas"; }
    [[nodiscard]] BootReply Receive(const uint8_t* data, size_t length) override;
    void HostOpened() override { m_pending.clear(); }

    // The length of the command starting the bytes (0: not known yet, more bytes needed; the command
    // byte alone when it is not a boot command).
    [[nodiscard]] size_t CommandLength(const uint8_t* p, size_t have) const;

private:
    // The loader's own answer to one whole command, before faults.
    std::optional<Bytes> Answer(const Bytes& command, BootExchange& exchange, BootReply& reply);
    std::optional<Bytes> Frame(const Bytes& frame, BootExchange& exchange);
    std::optional<Bytes> Terminate(BootExchange& exchange);
    [[nodiscard]] Bytes StatusAnswer() const;
    [[nodiscard]] static std::string NameOf(const Bytes& command);

    PrinterState& m_state;
    FaultInjector& m_faults;
    const BootSection m_boot;
    Bytes m_pending;
    bool m_newLoaderAnnounced = false; // Save Security answered 0x15
    bool m_dataAreaChecked = false;
    bool m_programming = false; // after the area programming selection
    // Accepted frames by address; the next frame must follow the last one.
    std::map<uint64_t, Bytes> m_frames;
    std::optional<uint64_t> m_nextAddress;
    bool m_allFramesSound = true;
};

} // namespace sim
