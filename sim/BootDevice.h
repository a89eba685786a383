// A boot loader the printer turns into for an upgrade: the printer leaves the bus and a device of
// another identity (its own vendor and product id) enumerates in its place, speaks the loader's
// protocol, takes the image, and leaves again so the printer can return. The server only moves bytes
// and plugs devices; each kind of boot loader implements this interface.
#pragma once

#include "sim/Faults.h"
#include "sim/PrinterState.h"
#include "sim/Transfers.h"
#include "sim/Wire.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// How the boot device shows itself on USB.
struct BootIdentity {
    uint16_t vid = 0;
    uint16_t pid = 0;
    std::optional<std::string> serial;
    std::optional<std::string> manufacturer, product; // nullopt: no such string descriptor
    uint8_t deviceClass = 0xFF;
    uint8_t interfaceClass = 0xFF;
    // Bulk byte stream (an IN transfer takes what waits); false: each answer completes one transfer.
    bool streamInput = true;
    // A HID interface (interrupt endpoints, a vendor report descriptor, usbhid bound) instead of bulk.
    bool hid = false;
};

// What the boot device does with one piece of host input: one exchange for the transcript each.
struct BootExchange {
    std::string name; // the fault switches' KIND for it
    Bytes received;
    std::optional<Bytes> answer; // nullopt: nothing answered
    std::vector<std::string> notes;
    std::optional<TransferRecord> transfer; // the image, once the loader has it whole
};

struct BootReply {
    std::vector<BootExchange> exchanges;
    // The loader is done: it leaves the bus (once its last answer was read) after `leaveAfterMs`, and
    // the printer comes back after its restart.
    bool leave = false;
    uint32_t leaveAfterMs = 0;
};

class BootDevice {
public:
    virtual ~BootDevice() = default;
    BootDevice() = default;
    BootDevice(const BootDevice&) = delete;
    BootDevice& operator=(const BootDevice&) = delete;

    [[nodiscard]] virtual BootIdentity Identity() const = 0;
    // "renesas", ...: what the transcript's events name.
    [[nodiscard]] virtual std::string Name() const = 0;
    // The bytes of one OUT transfer (a report for packet devices).
    [[nodiscard]] virtual BootReply Receive(const uint8_t* data, size_t length) = 0;
    // A new host opened the device: a half-received command is forgotten.
    virtual void HostOpened() {}
};

// The boot loader has the whole image: the printer installs it (taking the profile's release after a
// firmware upgrade, if any) and restarts; the record of it for the transcript and the printer's list.
[[nodiscard]] TransferRecord InstallBootImage(PrinterState& state, const std::string& part,
                                              const Bytes& image, unsigned lastBank, size_t bankSize,
                                              bool sumsOk, uint8_t answer);

// Whether a printer of upgrade mode ("U2") restarts into a boot loader of that kind.
[[nodiscard]] bool HasBootLoader(const std::string& kind, const std::string& mode);
// The boot loader of that kind for this printer; null for a kind the simulator does not play.
[[nodiscard]] std::unique_ptr<BootDevice> MakeBootDevice(const std::string& kind, PrinterState& state,
                                                         FaultInjector& faults);

} // namespace sim
