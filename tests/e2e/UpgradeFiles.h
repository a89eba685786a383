// Firmware packages and module files for the upgrade cases, written by the fixture writer, with the
// bytes the printer must receive from each.
#pragma once

#include "tests/support/TempDir.h"
#include "tools/Fixtures.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct PackageShape {
    int format = 2;
    int banks = 4;
    uint32_t bankSize = 512;
    // Package modules in file order: f fonts and d flash disk go before the firmware, l logos and
    // o other after it.
    std::string modules = {};
    uint16_t family = 1, model = 2, customization = 3;
    uint8_t signature = 0xAA; // 0xCC: a package that must be installed whole; anything else: none
    fixtures::Sums sums = fixtures::Sums::Correct;
    std::optional<size_t> truncateTo = {};
    uint8_t scrambleByte = 0;
    // Non-empty: the firmware image itself (boot-loader records) instead of banks of a pattern.
    std::vector<uint8_t> image = {};
};

struct UpgradeFile {
    std::string path;
    std::vector<uint8_t> firmware;                // the image as the printer must receive it
    std::map<char, std::vector<uint8_t>> modules; // module files by MOD_ID, as stored
};

// The release every package carries ("3.13" once installed): the simulator's release after an upgrade.
inline constexpr const char* kPackageRelease = "313";

[[nodiscard]] UpgradeFile WriteUpgradePackage(const TempDir& dir, const PackageShape& shape,
                                              const std::string& name = "fw.psw");
[[nodiscard]] UpgradeFile WriteModule(const TempDir& dir, char moduleId, const std::string& name = "m.mod");

// Lower-case hexadecimal SHA-256 of bytes [offset, offset + length).
[[nodiscard]] std::string Sha256Of(const std::vector<uint8_t>& bytes, size_t offset = 0,
                                   size_t length = SIZE_MAX);
