// Firmware packages and module files for the upgrade cases, written by the fixture writer, with the
// bytes the printer must receive from each; and a dalvora run that a test can interrupt.
#pragma once

#include "tests/support/ProcessRunner.h"
#include "tests/support/TempDir.h"
#include "tools/Fixtures.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
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

// The real dalvora started in the background so that a test can signal it part-way.
class InterruptibleRun {
public:
    InterruptibleRun(const std::vector<std::string>& args, const std::vector<std::string>& env);
    ~InterruptibleRun();
    InterruptibleRun(const InterruptibleRun&) = delete;
    InterruptibleRun& operator=(const InterruptibleRun&) = delete;

    void Signal(int signal) const;
    // Reads output until standard error holds `text`; false when it does not come within limitMs.
    [[nodiscard]] bool WaitForError(const std::string& text, int limitMs);
    // Collects the output until the program ends (killed after timeoutMs).
    [[nodiscard]] ProcessResult Finish(int timeoutMs);

private:
    // Waits up to timeoutMs for output and appends what came; false once both pipes are closed.
    bool Pump(int timeoutMs);

    pid_t m_pid = -1;
    int m_fds[2] = {-1, -1}; // standard output, standard error
    ProcessResult m_result;
};

// Polls `done` until it holds or limitMs pass; true when it held.
[[nodiscard]] bool WaitUntil(const std::function<bool()>& done, int limitMs);
