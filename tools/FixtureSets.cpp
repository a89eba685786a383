#include "tools/FixtureSets.h"

#include "tools/Fixtures.h"

#include <filesystem>
#include <fstream>
#include <tuple>

namespace fixtures {
namespace {

ModuleDescription FontModule(uint8_t key, int scheme) {
    ModuleDescription desc = StandardModule('F');
    desc.payload.clear();
    AppendFontRecord(desc.payload, "ROMAN8", std::nullopt);
    AppendFontRecord(desc.payload, "KANJI24", uint8_t{7});
    desc.scrambleByte = key;
    desc.scheme = scheme;
    SetField(desc, "ENMODE:", std::to_string(scheme));
    return desc;
}

} // namespace

std::vector<NamedFile> ModuleSeeds() {
    std::vector<NamedFile> seeds;
    seeds.push_back({"disk_plain.mod", WriteModuleFile(StandardModule('D')), true});
    seeds.push_back({"font_psw_odd.mod", WriteModuleFile(FontModule(0x35, 0)), true});
    seeds.push_back({"font_psw_even.mod", WriteModuleFile(FontModule(0x42, 0)), true});
    seeds.push_back({"font_mode1.mod", WriteModuleFile(FontModule(0x91, 1)), true});
    ModuleDescription noMode = StandardModule('L');
    noMode.scrambleByte = 0x11;
    seeds.push_back({"logos_no_enmode.mod", WriteModuleFile(noMode), true});
    ModuleDescription bad = StandardModule('E');
    bad.sums = Sums::WrongSecond;
    seeds.push_back({"bluetooth_bad_sum.mod", WriteModuleFile(bad), false});
    return seeds;
}

std::vector<NamedFile> PackageSeeds() {
    std::vector<NamedFile> seeds;
    seeds.push_back({"format1_plain.psw", WritePackage(StandardPackage(false, PatternBytes(512, 1))), true});

    PackageDescription odd = StandardPackage(false, PatternBytes(600, 2));
    std::get<PrinterSlot>(odd.slots[0]).scrambleByte = 0x5B;
    odd.binNewVariant = false;
    odd.numBanks = 2;
    odd.bankSize = 300;
    std::get<SoftwareSlot>(odd.slots[1]).newVariant = false;
    seeds.push_back({"format1_old_odd.psw", WritePackage(odd), true});

    PackageDescription full = StandardPackage(true, PatternBytes(256, 3));
    std::get<PrinterSlot>(full.slots[0]).scrambleByte = 0x64;
    full.slots.push_back(LogoSlot{});
    FontSlot font;
    font.dataOffset = 64;
    full.slots.push_back(font);
    ModuleSlot software;
    software.kind = 's';
    software.image = PatternBytes(128, 4);
    software.numBank = 2;
    software.bankDim = 64;
    full.slots.push_back(software);
    ModuleSlot disk;
    disk.kind = 'd';
    disk.image = WriteModuleFile(StandardModule('D'));
    full.slots.push_back(disk);
    ModuleSlot fonts;
    fonts.kind = 'f';
    fonts.image = WriteModuleFile(FontModule(0x21, 0));
    full.slots.push_back(fonts);
    seeds.push_back({"format2_full.psw", WritePackage(full), true});

    PackageDescription wrongDisk = StandardPackage(true, PatternBytes(64, 5));
    ModuleSlot notDisk;
    notDisk.kind = 'd';
    notDisk.image = WriteModuleFile(StandardModule('H'));
    wrongDisk.slots.push_back(notDisk);
    seeds.push_back({"format2_disk_fix.psw", WritePackage(wrongDisk), true});

    PackageDescription badSum = StandardPackage(true, PatternBytes(64, 6));
    badSum.sums = Sums::WrongFirst;
    seeds.push_back({"format2_bad_sum.psw", WritePackage(badSum), false});
    return seeds;
}

std::vector<NamedFile> UpgradeSamples() {
    // Family 12, model 34, the maker's own customization and release 3.13: what the default profile
    // reports and installs. Four banks of 4 KiB, and a logos module that goes after the firmware.
    PackageDescription package = StandardPackage(true, {});
    auto& printer = std::get<PrinterSlot>(package.slots[0]);
    printer.release = "313";
    auto& software = std::get<SoftwareSlot>(package.slots[1]);
    software.family = 12;
    software.model = 34;
    software.customization = 0;
    ModuleSlot logos;
    logos.kind = 'l';
    logos.image = WriteModuleFile(StandardModule('L'));
    ModuleSlot image;
    image.kind = 's';
    image.image = PatternBytes(4 * 4096, 313);
    image.numBank = 4;
    image.bankDim = 4096;
    package.slots.push_back(logos);
    package.slots.push_back(image);
    return {{"sample-firmware.psw", WritePackage(package), true},
            {"sample-fonts.mod", WriteModuleFile(StandardModule('F')), true}};
}

std::vector<NamedFile> BootRecordSeeds() {
    std::vector<uint8_t> padded = BootRecordImage(1, 5);
    padded.insert(padded.begin() + 5, {0x0D, 0x0A, 0x00});
    std::vector<uint8_t> cut = BootRecordImage(2, 6);
    cut.resize(cut.size() - 60);
    return {{"whole.bin", BootRecordImage(3), true}, {"padded.bin", padded, true}, {"cut.bin", cut, false}};
}

std::vector<NamedFile> BootAnswerSeeds() {
    const std::vector<uint8_t> ack{4, 0x40, 0x00, 0x00, 0x00};
    std::vector<NamedFile> seeds;
    for (const auto& [name, answers, frames] :
         {std::tuple<const char*, std::vector<uint8_t>, int>{"acknowledged.bin", {}, 5},
          {"three_bytes.bin", {3, 0x40, 0x00, 0x00}, 1},
          {"silent.bin", {0}, 1}}) {
        const std::vector<uint8_t> image = BootRecordImage(1, 7);
        std::vector<uint8_t> seed{static_cast<uint8_t>(image.size() & 0xFF),
                                  static_cast<uint8_t>(image.size() >> 8)};
        seed.insert(seed.end(), image.begin(), image.end());
        for (int f = 0; f < frames - 1; ++f)
            seed.insert(seed.end(), ack.begin(), ack.end());
        seed.insert(seed.end(), answers.begin(), answers.end());
        if (answers.empty())
            seed.insert(seed.end(), ack.begin(), ack.end());
        seeds.push_back({name, seed, answers.empty()});
    }
    return seeds;
}

bool WriteFiles(const std::string& directory, const std::vector<NamedFile>& files) {
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error)
        return false;
    for (const NamedFile& file : files) {
        std::ofstream out(directory + "/" + file.name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.bytes.data()),
                  static_cast<std::streamsize>(file.bytes.size()));
        if (!out)
            return false;
    }
    return true;
}

} // namespace fixtures
