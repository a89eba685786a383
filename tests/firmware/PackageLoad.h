// Loading a fixture package with the log captured, shared by the package tests.
#pragma once

#include "tests/firmware/LogCapture.h"
#include "tools/Fixtures.h"
#include "firmware/PSWFile.h"

#include <string>
#include <vector>

struct PackageLoad {
    bool ok;
    std::string log;
};

inline PackageLoad LoadPackage(PSWFile& file, const std::vector<uint8_t>& bytes, bool requireUpgrade = true) {
    LogCapture capture;
    const bool ok = file.LoadPSWFromMemory(bytes.data(), static_cast<int>(bytes.size()), requireUpgrade);
    return {ok, capture.Text()};
}

inline PackageLoad LoadPackage(PSWFile& file, const fixtures::PackageDescription& desc,
                               bool requireUpgrade = true) {
    return LoadPackage(file, fixtures::WritePackage(desc), requireUpgrade);
}

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

inline fixtures::PrinterSlot& PrinterOf(fixtures::PackageDescription& desc) {
    return std::get<fixtures::PrinterSlot>(desc.slots[0]);
}
