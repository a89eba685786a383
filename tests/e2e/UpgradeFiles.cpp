#include "tests/e2e/UpgradeFiles.h"

#include <fstream>
#include <openssl/evp.h>

namespace {

using fixtures::ModuleSlot;

void Store(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The slot kind and the MOD_ID of the module file inside it, for a letter of PackageShape::modules.
std::pair<char, char> PackageModuleKind(char letter) {
    switch (letter) {
    case 'f':
        return {'f', 'F'};
    case 'd':
        return {'d', 'D'};
    case 'l':
        return {'l', 'L'};
    default:
        return {'o', 'E'};
    }
}

} // namespace

UpgradeFile WriteUpgradePackage(const TempDir& dir, const PackageShape& shape, const std::string& name) {
    UpgradeFile file;
    file.path = dir.file(name);
    file.firmware = !shape.image.empty()
                        ? shape.image
                        : fixtures::PatternBytes(static_cast<size_t>(shape.banks) * shape.bankSize,
                                                 static_cast<uint32_t>(shape.banks * 7 + shape.format));
    fixtures::PackageDescription desc = fixtures::StandardPackage(shape.format == 2, {});
    auto& printer = std::get<fixtures::PrinterSlot>(desc.slots[0]);
    printer.release = kPackageRelease;
    printer.scrambleByte = shape.scrambleByte;
    auto& software = std::get<fixtures::SoftwareSlot>(desc.slots[1]);
    software.bex = shape.signature;
    software.family = shape.family;
    software.model = shape.model;
    software.customization = shape.customization;
    if (shape.format == 2) {
        for (char letter : shape.modules) {
            const auto [kind, id] = PackageModuleKind(letter);
            ModuleSlot slot;
            slot.kind = kind;
            slot.image = fixtures::WriteModuleFile(fixtures::StandardModule(id));
            file.modules[id] = slot.image;
            desc.slots.push_back(slot);
        }
        ModuleSlot image;
        image.kind = 's';
        image.image = file.firmware;
        image.numBank = static_cast<uint16_t>(shape.banks);
        image.bankDim = shape.bankSize;
        desc.slots.push_back(image);
    } else {
        desc.firmware = file.firmware;
        desc.binNewVariant = false;
        desc.numBanks = static_cast<uint8_t>(shape.banks);
        desc.bankSize = shape.bankSize;
    }
    desc.sums = shape.sums;
    desc.truncateTo = shape.truncateTo;
    Store(file.path, fixtures::WritePackage(desc));
    return file;
}

UpgradeFile WriteModule(const TempDir& dir, char moduleId, const std::string& name) {
    UpgradeFile file;
    file.path = dir.file(name);
    file.modules[moduleId] = fixtures::WriteModuleFile(fixtures::StandardModule(moduleId));
    Store(file.path, file.modules[moduleId]);
    return file;
}

std::string Sha256Of(const std::vector<uint8_t>& bytes, size_t offset, size_t length) {
    offset = std::min(offset, bytes.size());
    length = std::min(length, bytes.size() - offset);
    uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    if (EVP_Digest(bytes.data() + offset, length, digest, &size, EVP_sha256(), nullptr) != 1)
        return {};
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned i = 0; i < size; ++i) {
        text.push_back(kHex[digest[i] >> 4]);
        text.push_back(kHex[digest[i] & 0x0F]);
    }
    return text;
}
