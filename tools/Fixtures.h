// Writes module files (.mod) and firmware packages (.psw, both formats) from a description, so
// tests, fuzz seeds and the simulator use files anyone can regenerate. Built from the file layouts
// only: it scrambles and sums with its own code, never with the readers'.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace fixtures {

// What to store in a file's integrity fields.
enum class Sums { Correct, Zero, WrongFirst, WrongSecond };

// ---- module files -------------------------------------------------------------------------------

inline constexpr const char* kAutoFileSize = "<auto>"; // replaced by the file length minus 12

struct ModuleDescription {
    char byteOrder = 'B';
    // Written in order as KEY + value + line feed into the header area.
    std::vector<std::pair<std::string, std::string>> fields;
    std::string rawHeaderText; // appended verbatim after the fields
    uint8_t scrambleByte = 0;
    int scheme = 0;               // 0: package scheme, 1: ENMODE 1 scheme
    bool scramblePayload = true;  // false stores the payload plain despite a non-zero key
    std::vector<uint8_t> payload; // plain bytes of the scrambled range
    std::vector<uint8_t> trailer = std::vector<uint8_t>(14, 0); // between the payload and the sums
    Sums sums = Sums::Correct;
};

// A valid module of id `moduleId` with a small payload.
[[nodiscard]] ModuleDescription StandardModule(char moduleId);
void SetField(ModuleDescription& desc, const std::string& key, const std::string& value);
void RemoveField(ModuleDescription& desc, const std::string& key);
// A font record as font modules carry them: "FNT:", the name, an optional code.
void AppendFontRecord(std::vector<uint8_t>& payload, const std::string& name, std::optional<uint8_t> code);

[[nodiscard]] std::vector<uint8_t> WriteModuleFile(const ModuleDescription& desc);

// ---- firmware packages --------------------------------------------------------------------------

struct PrinterSlot {
    std::string model = "TK180   ";
    std::string hwRelease = "01";
    std::string release = "123";
    std::string date = "261206";
    uint8_t vectorBanks = 1;
    uint8_t gsi = 0x42; // plain; stored scrambled when the key is non-zero
    char comPort = 'S';
    uint8_t scrambleByte = 0;
    bool format2 = true;
    uint8_t gsiHigh = 0x07;
};

struct SoftwareSlot {
    bool newVariant = true;
    uint8_t numBank = 1;
    uint8_t totBanks = 1;
    uint32_t addrStart = 0x1000;
    std::string relHeaderSupp = "100";
    char headerType = 'A';
    uint8_t bex = 0xAA;
    uint16_t family = 1;
    uint16_t model = 2;
    uint16_t customization = 3;
};

struct LogoSlot {
    bool newVariant = true;
    uint8_t num = 1;
    uint8_t tot = 1;
    uint16_t dotX = 16;
    uint16_t dotY = 4;
    uint32_t dataOffset = 0; // position inside the binary data
    uint8_t colors = 1;
};

struct FontSlot {
    bool newVariant = true;
    uint8_t num = 1;
    uint8_t tot = 1;
    uint8_t sizeX = 8;
    uint8_t sizeY = 2;
    uint8_t asciiStart = 0x41;
    uint8_t asciiEnd = 0x42;
    uint32_t dataOffset = 0;
    uint8_t orient = 0;
    std::array<int8_t, 4> margins{}; // left, right, up, down
    uint8_t sort = 0;
    std::string name = "FONTA";
    uint8_t parent = 0;
};

// 'u' (USB loader), 'b' (boot loader) or 'd' (generic data).
struct PlainSlot {
    char marker = 'u';
    uint32_t addrStart = 0;
};

struct ModuleSlot {
    char kind = 'd';
    uint8_t num = 1;
    uint8_t tot = 1;
    std::vector<uint8_t> image; // appended to the binary data after the firmware
    uint16_t numBank = 0;       // software modules only
    uint32_t bankDim = 0;
    std::optional<uint32_t> addrOverride; // absolute file offset written instead of the real one
    std::optional<uint32_t> sizeOverride;
};

struct RawSlot {
    std::array<uint8_t, 32> bytes{};
};

using Slot = std::variant<PrinterSlot, SoftwareSlot, LogoSlot, FontSlot, PlainSlot, ModuleSlot, RawSlot>;

// The scramble byte, GSI and sums are those of the first printer slot; format-2 sums come out right
// when that slot is the first of the file, as in every real package.
struct PackageDescription {
    std::vector<Slot> slots;   // every slot before the binary one, in file order
    bool binNewVariant = true; // '?' (new) or '@' (old, with bank count and bank size)
    uint8_t numBanks = 1;
    uint32_t bankSize = 0;
    std::vector<uint8_t> firmware; // plain; module images follow it in the binary data
    Sums sums = Sums::Correct;
    std::optional<uint32_t> binLengthOverride;
    std::optional<size_t> truncateTo;
};

// Printer, software and binary headers around `firmware` (correct sums, no scrambling).
[[nodiscard]] PackageDescription StandardPackage(bool format2, std::vector<uint8_t> firmware);
[[nodiscard]] std::vector<uint8_t> WritePackage(const PackageDescription& desc);

// Deterministic filler bytes.
[[nodiscard]] std::vector<uint8_t> PatternBytes(size_t count, uint32_t seed);

// A firmware image for the Silicon Labs HID boot loader: "$" records of identify, erase, `writes`
// writes of 128 bytes each (a record longer than one 64-byte report), verify and run.
[[nodiscard]] std::vector<uint8_t> BootRecordImage(int writes, uint32_t seed = 61);

} // namespace fixtures
