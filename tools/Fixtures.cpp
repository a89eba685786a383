#include "tools/Fixtures.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace fixtures {
namespace {

constexpr size_t kModuleHeaderArea = 4102;
constexpr size_t kModuleScrambleAt = 4101;
constexpr size_t kSlot = 32;

uint8_t Rol(uint8_t v, unsigned n) {
    n %= 8;
    return n == 0 ? v : static_cast<uint8_t>((v << n) | (v >> (8 - n)));
}
uint8_t Ror(uint8_t v, unsigned n) {
    n %= 8;
    return n == 0 ? v : static_cast<uint8_t>((v >> n) | (v << (8 - n)));
}

// Package scheme, scrambling direction: odd keys rotate left by (i / 4) % 8 after NOT(b ^ k), even
// keys rotate right by (i % 256) / 32 after b ^ k.
void ScramblePackageScheme(uint8_t key, uint8_t* data, size_t n) {
    if (key == 0)
        return;
    for (size_t i = 0; i < n; ++i) {
        if (key % 2 == 1)
            data[i] = Rol(static_cast<uint8_t>(~(data[i] ^ key)), static_cast<unsigned>((i / 4) % 8));
        else
            data[i] = Ror(static_cast<uint8_t>(data[i] ^ key), static_cast<unsigned>((i % 256) / 32));
    }
}

// ENMODE 1: XOR with (key + i) mod 256, complemented at even positions.
void ScrambleMode1(uint8_t key, uint8_t* data, size_t n) {
    if (key == 0)
        return;
    for (size_t i = 0; i < n; ++i) {
        uint8_t x = static_cast<uint8_t>(data[i] ^ static_cast<uint8_t>(key + i));
        data[i] = i % 2 == 0 ? static_cast<uint8_t>(~x) : x;
    }
}

std::pair<uint16_t, uint16_t> TwoSums(const uint8_t* data, size_t n) {
    uint32_t s1 = 0;
    uint32_t s2 = 0;
    for (size_t i = 0; i < n; ++i) {
        s1 += data[i];
        s2 += static_cast<uint32_t>(data[i] ^ (i % 65536));
    }
    return {static_cast<uint16_t>(s1), static_cast<uint16_t>(s2)};
}

std::pair<uint16_t, uint16_t> Stored(std::pair<uint16_t, uint16_t> sums, Sums mode) {
    switch (mode) {
    case Sums::Correct:
        return sums;
    case Sums::Zero:
        return {0, 0};
    case Sums::WrongFirst:
        return {static_cast<uint16_t>(sums.first + 1), sums.second};
    case Sums::WrongSecond:
        return {sums.first, static_cast<uint16_t>(sums.second + 1)};
    }
    return sums;
}

void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
void Put24(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 16);
    Put16(p + 1, v);
}
void Put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    Put24(p + 1, v);
}
// Fixed-width text, zero-padded.
void PutText(uint8_t* p, const std::string& text, size_t width) {
    std::memset(p, 0, width);
    std::memcpy(p, text.data(), std::min(width, text.size()));
}

struct Layout {
    size_t binSlotOffset = 0;
    size_t dataStart = 0; // absolute file offset of the binary data
    std::vector<uint8_t> data;
    std::vector<size_t> moduleOffsets; // inside data, one per ModuleSlot in slot order
};

Layout LayOut(const PackageDescription& desc) {
    Layout layout;
    layout.binSlotOffset = desc.slots.size() * kSlot;
    layout.dataStart = layout.binSlotOffset + (desc.binNewVariant ? 5 : 8);
    layout.data = desc.firmware;
    for (const Slot& slot : desc.slots) {
        if (const auto* module = std::get_if<ModuleSlot>(&slot)) {
            layout.moduleOffsets.push_back(layout.data.size());
            layout.data.insert(layout.data.end(), module->image.begin(), module->image.end());
        }
    }
    return layout;
}

struct SlotWriter {
    uint8_t* s;
    const Layout& layout;
    size_t& moduleIndex;

    void operator()(const PrinterSlot& p) const {
        s[0] = 'P';
        PutText(s + 1, p.model, 8);
        PutText(s + 9, p.hwRelease, 2);
        PutText(s + 11, p.release, 3);
        PutText(s + 14, p.date, 6);
        s[20] = p.vectorBanks;
        s[21] = p.scrambleByte == 0 ? p.gsi : static_cast<uint8_t>(~(p.gsi ^ p.scrambleByte));
        s[22] = static_cast<uint8_t>(p.comPort);
        s[23] = p.scrambleByte;
        s[24] = p.format2 ? '2' : '1';
        s[25] = p.gsiHigh;
    }
    void operator()(const SoftwareSlot& w) const {
        if (w.newVariant) {
            s[0] = 's';
            Put32(s + 3, w.addrStart);
            PutText(s + 7, w.relHeaderSupp, 3);
            s[10] = static_cast<uint8_t>(w.headerType);
            s[11] = w.bex;
            Put16(s + 12, w.family);
            Put16(s + 14, w.model);
            Put16(s + 16, w.customization);
        } else {
            s[0] = 'S';
            s[1] = w.numBank;
            s[2] = w.totBanks;
            Put24(s + 3, w.addrStart);
            s[6] = w.bex;
            Put16(s + 7, w.family);
            Put16(s + 9, w.model);
            Put16(s + 11, w.customization);
        }
    }
    void operator()(const LogoSlot& l) const {
        s[0] = l.newVariant ? 'l' : 'L';
        s[1] = l.num;
        s[2] = l.tot;
        Put16(s + 3, l.dotX);
        Put16(s + 5, l.dotY);
        if (l.newVariant) {
            Put32(s + 7, static_cast<uint32_t>(layout.dataStart + l.dataOffset));
            s[11] = l.colors;
            PutText(s + 12, "100", 3);
            s[15] = 'L';
        } else {
            Put24(s + 7, l.dataOffset); // the old layout stores the position inside the data
            s[10] = l.colors;
        }
    }
    void operator()(const FontSlot& f) const {
        s[0] = f.newVariant ? 'f' : 'F';
        s[1] = f.num;
        s[2] = f.tot;
        s[3] = f.sizeX;
        s[4] = f.sizeY;
        s[5] = f.asciiStart;
        s[6] = f.asciiEnd;
        size_t at = 7;
        if (f.newVariant) {
            Put32(s + at, static_cast<uint32_t>(layout.dataStart + f.dataOffset));
            at += 4;
        } else {
            Put24(s + at, f.dataOffset);
            at += 3;
        }
        s[at++] = f.orient;
        for (int8_t margin : f.margins)
            s[at++] = static_cast<uint8_t>(margin);
        s[at++] = f.sort;
        if (f.newVariant) {
            PutText(s + 17, f.name, 8);
            s[25] = f.parent;
            PutText(s + 26, "100", 3);
            s[29] = 'F';
        }
    }
    void operator()(const PlainSlot& p) const {
        s[0] = static_cast<uint8_t>(p.marker);
        if (p.marker == 'd') {
            s[1] = 1;
            s[2] = 1;
            Put32(s + 3, p.addrStart);
            PutText(s + 7, "100", 3);
            s[10] = 'D';
        } else {
            Put32(s + 1, p.addrStart);
            PutText(s + 5, "100", 3);
            s[8] = 'U';
        }
    }
    void operator()(const ModuleSlot& m) const {
        const size_t dataOffset = layout.moduleOffsets[moduleIndex++];
        s[0] = 'm';
        s[1] = static_cast<uint8_t>(m.kind);
        s[2] = m.num;
        s[3] = m.tot;
        Put32(s + 4, m.addrOverride.value_or(static_cast<uint32_t>(layout.dataStart + dataOffset)));
        Put32(s + 8, m.sizeOverride.value_or(static_cast<uint32_t>(m.image.size())));
        if (m.kind == 's') {
            Put16(s + 12, m.numBank);
            Put24(s + 14, m.bankDim);
        }
    }
    void operator()(const RawSlot& r) const { std::memcpy(s, r.bytes.data(), kSlot); }
};

const PrinterSlot* FirstPrinter(const PackageDescription& desc, size_t* index) {
    for (size_t i = 0; i < desc.slots.size(); ++i)
        if (const auto* p = std::get_if<PrinterSlot>(&desc.slots[i])) {
            *index = i;
            return p;
        }
    return nullptr;
}

} // namespace

ModuleDescription StandardModule(char moduleId) {
    ModuleDescription desc;
    desc.fields = {{"REL:", "1.02"},           {"MOD_ID:", std::string(1, moduleId)}, {"DATE:", "06/12/2026"},
                   {"CODE:", "A1234"},         {"FILE_SIZE:", kAutoFileSize},         {"FACTORY:", "VELMAR"},
                   {"NOTE:", "fixture module"}};
    desc.payload = PatternBytes(256, static_cast<uint32_t>(moduleId));
    return desc;
}

void SetField(ModuleDescription& desc, const std::string& key, const std::string& value) {
    for (auto& field : desc.fields)
        if (field.first == key) {
            field.second = value;
            return;
        }
    desc.fields.emplace_back(key, value);
}

void RemoveField(ModuleDescription& desc, const std::string& key) {
    std::erase_if(desc.fields, [&key](const auto& field) { return field.first == key; });
}

void AppendFontRecord(std::vector<uint8_t>& payload, const std::string& name, std::optional<uint8_t> code) {
    std::vector<uint8_t> record(40, 0);
    std::memcpy(record.data(), "FNT:", 4);
    std::memcpy(record.data() + 4, name.data(), std::min<size_t>(name.size(), 22));
    if (code) {
        record[26] = 'N';
        record[37] = *code;
    }
    payload.insert(payload.end(), record.begin(), record.end());
}

std::vector<uint8_t> WriteModuleFile(const ModuleDescription& desc) {
    const size_t length = kModuleHeaderArea + desc.payload.size() + desc.trailer.size() + 4;
    std::string header = "ENDIANISM:";
    header.push_back(desc.byteOrder);
    header.push_back('\n');
    for (const auto& [key, value] : desc.fields)
        header += key + (value == kAutoFileSize ? std::to_string(length - 12) : value) + "\n";
    header += desc.rawHeaderText;
    if (header.size() > kModuleScrambleAt)
        throw std::length_error("module header text longer than the header area");

    std::vector<uint8_t> file(length, 0);
    std::memcpy(file.data(), header.data(), header.size());
    file[kModuleScrambleAt] = desc.scrambleByte;
    uint8_t* payload = file.data() + kModuleHeaderArea;
    std::copy(desc.payload.begin(), desc.payload.end(), payload);
    if (desc.scramblePayload) {
        if (desc.scheme == 1)
            ScrambleMode1(desc.scrambleByte, payload, desc.payload.size());
        else
            ScramblePackageScheme(desc.scrambleByte, payload, desc.payload.size());
    }
    std::copy(desc.trailer.begin(), desc.trailer.end(), payload + desc.payload.size());
    const auto [sum1, sum2] = Stored(TwoSums(file.data() + 6, length - 12), desc.sums);
    Put16(file.data() + length - 4, sum1);
    Put16(file.data() + length - 2, sum2);
    return file;
}

PackageDescription StandardPackage(bool format2, std::vector<uint8_t> firmware) {
    PackageDescription desc;
    PrinterSlot printer;
    printer.format2 = format2;
    desc.slots = {printer, SoftwareSlot{}};
    desc.firmware = std::move(firmware);
    return desc;
}

std::vector<uint8_t> WritePackage(const PackageDescription& desc) {
    Layout layout = LayOut(desc);
    size_t printerIndex = 0;
    const PrinterSlot* printer = FirstPrinter(desc, &printerIndex);
    const uint8_t key = printer ? printer->scrambleByte : 0;

    std::vector<uint8_t> file(layout.dataStart + layout.data.size(), 0);
    size_t moduleIndex = 0;
    for (size_t i = 0; i < desc.slots.size(); ++i)
        std::visit(SlotWriter{file.data() + i * kSlot, layout, moduleIndex}, desc.slots[i]);

    uint8_t* bin = file.data() + layout.binSlotOffset;
    const auto binLength = desc.binLengthOverride.value_or(static_cast<uint32_t>(layout.data.size()));
    if (desc.binNewVariant) {
        bin[0] = '?';
        Put32(bin + 1, binLength);
    } else {
        bin[0] = '@';
        Put24(bin + 1, binLength);
        bin[4] = desc.numBanks;
        Put24(bin + 5, desc.bankSize);
    }
    uint8_t* data = file.data() + layout.dataStart;
    std::copy(layout.data.begin(), layout.data.end(), data);
    // Format 1 sums the plain binary data; format 2 sums the stored file after the first slot.
    const auto plainSums = TwoSums(data, std::min<size_t>(binLength, layout.data.size()));
    ScramblePackageScheme(key, data, layout.data.size());

    if (printer) {
        uint8_t* slot = file.data() + printerIndex * kSlot;
        auto sums = printer->format2 ? TwoSums(file.data() + kSlot, file.size() - kSlot) : plainSums;
        sums = Stored(sums, desc.sums);
        Put16(slot + 26, sums.first);
        Put16(slot + 28, sums.second);
    }
    if (desc.truncateTo && *desc.truncateTo < file.size())
        file.resize(*desc.truncateTo);
    return file;
}

std::vector<uint8_t> BootRecordImage(int writes, uint32_t seed) {
    constexpr size_t kWriteSize = 128;
    const std::vector<uint8_t> data = PatternBytes(static_cast<size_t>(writes) * kWriteSize, seed);
    std::vector<uint8_t> image{0x24, 0x03, 0x30, 0x49, 0x44, 0x24, 0x04, 0x32, 0x00, 0x00, 0x00};
    for (size_t w = 0; w < static_cast<size_t>(writes); ++w) {
        const auto address = static_cast<uint16_t>(w * kWriteSize);
        image.insert(image.end(), {0x24, 3 + kWriteSize, 0x33, static_cast<uint8_t>(address >> 8),
                                   static_cast<uint8_t>(address & 0xFF)});
        image.insert(image.end(), data.begin() + static_cast<std::ptrdiff_t>(w * kWriteSize),
                     data.begin() + static_cast<std::ptrdiff_t>((w + 1) * kWriteSize));
    }
    image.insert(image.end(), {0x24, 0x03, 0x34, 0x00, 0x00, 0x24, 0x03, 0x36, 0x00, 0x00});
    return image;
}

std::vector<uint8_t> PatternBytes(size_t count, uint32_t seed) {
    std::vector<uint8_t> bytes(count);
    uint32_t state = seed * 2654435761u + 12345u;
    for (auto& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<uint8_t>(state >> 16);
    }
    return bytes;
}

} // namespace fixtures
