// What the printer's loader makes of the bytes of an upgrade: the two 16-bit sums of a firmware image
// (the index running over the whole group, or restarting in every bank), the checks of a module file,
// the SHA-256 of what arrived, and the record of one transfer that the transcript writes.
#pragma once

#include "sim/Wire.h"

#include <optional>
#include <string>

namespace sim {

// The loader's result bytes.
namespace result {
constexpr uint8_t Done = 0xAA, IdModuleError = 0x33, ModuleError = 0x44, RamError = 0x66,
                  ProgramFlashError = 0x77, ClearFlashError = 0x88, GenericError = 0x95,
                  PortNotSupported = 0x98, ChecksumError = 0x99;
} // namespace result

struct Sums {
    uint16_t sum1 = 0;
    uint16_t sum2 = 0;
    bool operator==(const Sums&) const = default;
};

// sum1 = sum of b[i], sum2 = sum of (b[i] XOR i), both modulo 65536; with a bank size, i restarts at 0
// at the start of every bank.
[[nodiscard]] Sums ImageSums(const uint8_t* data, size_t length, size_t bankSize = 0);

// A module file as the loader checks it: the sums stored in its last four bytes against those of the
// bytes from offset 6 to the seventh-last, and its one-character MOD_ID.
struct ModuleCheck {
    Sums stored;
    Sums computed;
    std::optional<char> moduleId;
    int moduleType = 0;
    [[nodiscard]] bool SumsOk() const { return stored == computed; }
};
[[nodiscard]] ModuleCheck CheckModule(const Bytes& image);
// The module type value of a MOD_ID character (0x8000 for one the printer does not know).
[[nodiscard]] int ModuleTypeOf(char id);

// The header field a module image announces its size by, and the bytes beyond that size.
inline constexpr char kModuleSizeKey[] = "FILE_SIZE:";
inline constexpr size_t kModuleFrameBytes = 12;
inline constexpr size_t kModuleHeaderBytes = 4102;

// Lower-case hexadecimal SHA-256 of the bytes.
[[nodiscard]] std::string Sha256Hex(const Bytes& bytes);

// One firmware group or module as received and judged.
struct TransferRecord {
    std::string kind; // "firmware" or "module"
    std::string part; // firmware: "image" (U1, U3), "code" or "data" (U5); module: its MOD_ID
    unsigned firstBank = 0;
    unsigned lastBank = 0;
    size_t bankSize = 0;
    size_t bytes = 0;
    Sums received; // firmware: from the program command; module: stored in the file
    Sums computed;
    bool sumsOk = false;
    std::string sha256;
    int moduleType = 0;
    uint8_t answer = 0; // the result byte the loader decided
    bool installed = false;
    std::string release; // the firmware release after this transfer
};

} // namespace sim
