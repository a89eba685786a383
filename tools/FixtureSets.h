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
// A package and a module file that the simulator's default profile accepts, for trying an upgrade.
[[nodiscard]] std::vector<NamedFile> UpgradeSamples();

// Writes every file of `files` into `directory` (created if missing); false on the first failure.
[[nodiscard]] bool WriteFiles(const std::string& directory, const std::vector<NamedFile>& files);

} // namespace fixtures
