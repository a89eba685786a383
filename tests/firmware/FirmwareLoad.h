// Loading fixture packages and module files with the log captured, shared by the firmware tests.
#pragma once

#include "base/Log.h"
#include "firmware/ModuleData.h"
#include "firmware/PSWFile.h"
#include "tools/Fixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct Loaded {
    bool ok;
    std::string log;
};

// Runs `load` with the log on and its standard output captured.
template <typename Load> Loaded WithLog(Load load) {
    Log::SetLogEnable(1, true, nullptr);
    testing::internal::CaptureStdout();
    const bool ok = load();
    std::string log = testing::internal::GetCapturedStdout();
    Log::SetLogEnable(0, false, nullptr);
    return {ok, std::move(log)};
}

inline Loaded LoadPackage(PSWFile& file, const std::vector<uint8_t>& bytes, bool requireUpgrade = true) {
    return WithLog(
        [&] { return file.LoadPSWFromMemory(bytes.data(), static_cast<int>(bytes.size()), requireUpgrade); });
}

inline Loaded LoadPackage(PSWFile& file, const fixtures::PackageDescription& desc,
                          bool requireUpgrade = true) {
    return LoadPackage(file, fixtures::WritePackage(desc), requireUpgrade);
}

inline Loaded LoadModule(ModuleData& module, const std::vector<uint8_t>& bytes) {
    return WithLog([&] { return module.LoadModuleFromMemory(bytes.data(), static_cast<int>(bytes.size())); });
}

inline Loaded LoadModule(ModuleData& module, const fixtures::ModuleDescription& desc) {
    return LoadModule(module, fixtures::WriteModuleFile(desc));
}

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

inline fixtures::PrinterSlot& PrinterOf(fixtures::PackageDescription& desc) {
    return std::get<fixtures::PrinterSlot>(desc.slots[0]);
}

// A module slot of `kind` carrying `image`; the bank fields are the software module's.
inline fixtures::ModuleSlot ModuleOf(char kind, std::vector<uint8_t> image, uint16_t numBank = 0,
                                     uint32_t bankDim = 0) {
    fixtures::ModuleSlot slot;
    slot.kind = kind;
    slot.image = std::move(image);
    slot.numBank = numBank;
    slot.bankDim = bankDim;
    return slot;
}
