// Product constants of the maker's USB devices, in one place.
//
// PLACEHOLDER VALUES: the maker's real USB vendor id and the product-id prefixes of its scanners are
// not known to this project. Replace them here (and only here) with the real ones before shipping.
#pragma once

#include <array>
#include <cstdint>

struct ProductIds {
    static constexpr uint16_t kVendorId = 0x1f5b;  // PLACEHOLDER: the maker's USB vendor id
    static constexpr uint8_t kPrinterClass = 7;    // USB printer class
    static constexpr uint8_t kScannerClass = 0xFF; // vendor-specific class of the scanners
    // PLACEHOLDER: first two characters of the PID text ("%04x") of the maker's scanner products.
    static constexpr std::array<const char*, 3> kScannerPidPrefixes = {"20", "21", "22"};
};
