// Printers as the fleet tool names them: eth:HOST[:PORT], usb:VID|PID|SN or usb:ANY,
// ser:DEVICE[:BAUD[:FLOW]], one per argument or one per line of an inventory file.
#pragma once

#include "transport/CommPortSettings.h"

#include <optional>
#include <string>
#include <vector>

namespace fleet {

inline constexpr int kDefaultTcpPort = 9100;

struct PrinterTarget {
    std::string address; // as the operator wrote it
    std::string name;    // from the inventory; may be empty
    std::vector<std::string> tags;
    CommPortSettings settings;

    // The name when there is one, else the address.
    const std::string& Label() const { return name.empty() ? address : name; }
};

// The port settings of an address; nothing with the reason in `error`. usb:ANY is the first USB
// printer on the bus; a serial line without a baud rate is searched at every rate, with hardware
// flow control unless FLOW (HW, SW, NONE) says otherwise.
[[nodiscard]] std::optional<CommPortSettings> ParsePrinterAddress(const std::string& text,
                                                                  std::string& error);

// The maker's USB printers as VID|PID|SN in bus order; `error` gets an enumeration failure.
std::vector<std::string> UsbPrinterNames(std::string& error);

// An inventory file: one printer per line, "ADDRESS [NAME [TAG,TAG...]]", blank lines and lines
// starting with # ignored. Nothing with "FILE:LINE: reason" in `error` for the first bad line.
[[nodiscard]] std::optional<std::vector<PrinterTarget>> LoadInventory(const std::string& path,
                                                                      std::string& error);

// The targets carrying the tag (all when the tag is empty).
std::vector<PrinterTarget> WithTag(const std::vector<PrinterTarget>& targets, const std::string& tag);

} // namespace fleet
