// Named sets of fixture files: the seed corpora of the package and module fuzz targets, also
// checked by the tests (each valid seed must load).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fixtures {

struct NamedFile {
    std::string name;
    std::vector<uint8_t> bytes;
    bool valid; // whether the reader is expected to accept it
};

[[nodiscard]] std::vector<NamedFile> ModuleSeeds();
[[nodiscard]] std::vector<NamedFile> PackageSeeds();
// Boot-loader record images (whole, with bytes between records, cut inside a record) and, for the
// answer handling, the same images followed by the boot loader's answers: a two-byte image length
// (low byte first), the image, then each answer as a length byte and its bytes.
[[nodiscard]] std::vector<NamedFile> BootRecordSeeds();
[[nodiscard]] std::vector<NamedFile> BootAnswerSeeds();
// A package and a module file that the simulator's default profile accepts, for trying an upgrade.
[[nodiscard]] std::vector<NamedFile> UpgradeSamples();

// Writes every file of `files` into `directory` (created if missing); false on the first failure.
[[nodiscard]] bool WriteFiles(const std::string& directory, const std::vector<NamedFile>& files);

} // namespace fixtures
