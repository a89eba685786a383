#include "firmware/PSWFile.h"

#include "base/GenericFunctions.h"
#include "base/Log.h"
#include "firmware/Checksums.h"
#include "firmware/EncryptionPSW.h"
#include "firmware/ModuleData.h"

#include <algorithm>
#include <climits>
#include <functional>

namespace {

constexpr const char* kWhere = "PSWFile::ScanForHeadersAndFields";

bool Matches(const char* const* markers, uint8_t byte) {
    const char text[2] = {static_cast<char>(byte), 0};
    return byte != 0 && GenericFunctions::IndexOf(markers, text) >= 0;
}

struct HeaderKind {
    const char* const* markers;
    const char* name;
    std::function<std::unique_ptr<PSWHeader>()> create;
};

template <typename Header> HeaderKind Kind(const char* name) {
    return {Header::HeaderMarker, name, [] { return std::make_unique<Header>(); }};
}

// Tested in this order; the first match decides.
const std::vector<HeaderKind>& HeaderKinds() {
    static const std::vector<HeaderKind> kinds = {
        Kind<PSWHeaderPrinter>("HEADER PRINTER"),
        Kind<PSWHeaderSoftware>("HEADER SOFTWARE"),
        Kind<PSWHeaderLogos>("HEADER LOGOS"),
        Kind<PSWHeaderFonts>("HEADER FONTS"),
        Kind<PSWHeaderUSBLoader>("HEADER USBLOADER"),
        Kind<PSWHeaderBootLoader>("HEADER BOOTLOADER"),
        Kind<PSWHeaderGenericData>("HEADER GENERICDATA"),
        Kind<PSWHeaderModule>("HEADER MODULE"),
        Kind<PSWHeaderBin>("HEADER BIN"),
    };
    return kinds;
}

bool CompareSums(uint16_t stored1, uint16_t stored2, const ByteSums& computed) {
    if (stored1 != computed.sum1) {
        Log::WriteLog(kWhere, "ERROR File integrity Checksum!");
        Log::WriteLogP(kWhere, "ERROR Checksum file (1) : 0x%04X(F) - 0x%04X(C)", stored1, computed.sum1);
        return false;
    }
    if (stored2 != computed.sum2) {
        Log::WriteLog(kWhere, "ERROR File integrity Checksum!");
        Log::WriteLogP(kWhere, "ERROR Checksum file (2) : 0x%04X(F) - 0x%04X(C)", stored2, computed.sum2);
        return false;
    }
    Log::WriteLog(kWhere, "File integrity Checksum PASSED!");
    return true;
}

} // namespace

void PSWFile::Reset() {
    m_headers.clear();
    m_pswType = 0;
    m_contents = 0;
    m_components.ResetList();
}

std::optional<std::vector<uint8_t>> PSWFile::readfile(const char* path, int* size) {
    return GenericFunctions::readfile(path, size);
}

bool PSWFile::LoadPSWFromFile(const char* path, bool requireUpgradeFields) {
    Reset();
    Log::WriteLogP("PSWFile::LoadPSWFromFile", "Opening PSW File: %s", path ? path : "");
    int size = 0;
    auto bytes = readfile(path, &size);
    if (!bytes) {
        Log::WriteLogP("PSWFile::LoadPSWFromFile", "ERROR Reading PSW File: %s", path ? path : "");
        m_data.clear();
        return false;
    }
    m_data = std::move(*bytes);
    return LoadPSW(requireUpgradeFields);
}

bool PSWFile::LoadPSWFromMemory(const uint8_t* buffer, int length, bool requireUpgradeFields) {
    Reset();
    if (buffer == nullptr || length < 0) {
        Log::WriteLog("PSWFile::LoadPSWFromMemory", "ERROR No PSW data");
        m_data.clear();
        return false;
    }
    m_data.assign(buffer, buffer + length);
    return LoadPSW(requireUpgradeFields);
}

bool PSWFile::LoadPSW(bool requireUpgradeFields) {
    m_headers.clear();
    if (!ScanForHeadersAndFields())
        return false;
    if (requireUpgradeFields && GetHeadersCount(HTYPE_UPGRADE) == 0) {
        Log::WriteLog("PSWFile::LoadPSW", "This PSW doesn't contain the Upgrade fields");
        return false;
    }
    return true;
}

bool PSWFile::ScanSlot(size_t offset, bool& endOfScan) {
    const uint8_t marker = m_data[offset];
    const auto& kinds = HeaderKinds();
    const auto kind = std::find_if(kinds.begin(), kinds.end(),
                                   [marker](const HeaderKind& k) { return Matches(k.markers, marker); });
    if (kind == kinds.end()) {
        endOfScan = true;
        return true;
    }
    auto header = kind->create();
    Log::WriteLogP(kWhere, "Found %d (%s)", header->GetHTYPE(), kind->name);
    bool flag = false;
    const bool parsed = header->ExtractHederInfo(m_data, offset, flag);
    PSWHeader* added = m_headers.emplace_back(std::move(header)).get();
    if (!parsed)
        return false;
    switch (added->GetHTYPE()) {
    case HTYPE_PRINTER: {
        m_pswType = static_cast<PSWHeaderPrinter*>(added)->iPswType;
        if (m_pswType == 1 && !CheckPackageSums())
            return false;
        break;
    }
    case HTYPE_SOFTWARE:
        if (flag) {
            auto upgrade = std::make_unique<PSWHeaderUpgrade>();
            Log::WriteLog(kWhere, "Found PSWHeaderUpgrade");
            bool unused = false;
            const bool read = upgrade->ExtractHederInfo(m_data, offset, unused);
            m_headers.push_back(std::move(upgrade));
            if (!read)
                return false;
        }
        m_contents |= kContentsFirmware;
        m_components.Add(PSW_COMPONENT_SOFTWARE);
        break;
    case HTYPE_MODULE:
        AddModuleComponent(*static_cast<PSWHeaderModule*>(added));
        break;
    case HTYPE_BIN:
        endOfScan = true;
        break;
    default:
        break;
    }
    return true;
}

void PSWFile::AddModuleComponent(const PSWHeaderModule& module) {
    switch (module.modModuleID) {
    case MODULE_SOFTWARE:
        m_components.Add(PSW_COMPONENT_SOFTWARE);
        m_contents |= kContentsFirmware;
        break;
    case MODULE_FONTS:
    case MODULE_FONTS_2:
        m_components.Add(PSW_COMPONENT_FONTS_BEFORE);
        m_contents |= kContentsFonts;
        break;
    case MODULE_FLASHDISK:
        m_components.Add(PSW_COMPONENT_FLASHDISK_BEFORE);
        m_contents |= kContentsFlashDisk;
        break;
    case MODULE_LOGOS:
        m_components.Add(PSW_COMPONENT_LOGOS_AFTER);
        break;
    default:
        m_components.Add(PSW_COMPONENT_OTHER_AFTER);
        break;
    }
}

bool PSWFile::CheckPackageSums() const {
    const PSWHeaderPrinter* printer = GetHeaderPrinter();
    if (printer->uiChecksum1 == 0 && printer->uiChecksum2 == 0) {
        Log::WriteLog(kWhere, "Checksum not available into the PSW file (TYPE2)");
        return true;
    }
    uint16_t sum1 = 0;
    uint16_t sum2 = 0;
    CalcPswChecksum(&sum1, &sum2);
    return CompareSums(printer->uiChecksum1, printer->uiChecksum2, ByteSums{sum1, sum2});
}

bool PSWFile::CheckBinarySums() const {
    const PSWHeaderPrinter* printer = GetHeaderPrinter();
    if (printer->uiChecksum1 == 0 && printer->uiChecksum2 == 0) {
        Log::WriteLog(kWhere, "Checksum not available into the PSW file (TYPE1)");
        return true;
    }
    return CompareSums(printer->uiChecksum1, printer->uiChecksum2,
                       ComputeByteSums(GetHeaderBin()->GetData()));
}

bool PSWFile::CheckRequiredHeaders() const {
    struct Required {
        int type;
        const char* name;
    };
    for (const Required& r :
         {Required{HTYPE_PRINTER, "HEADER PRINTER"}, Required{HTYPE_SOFTWARE, "HEADER SOFTWARE"},
          Required{HTYPE_BIN, "HEADER BIN"}}) {
        if (GetHeadersCount(r.type) != 1) {
            Log::WriteLogP(kWhere, "ERROR Searching Header %d (%s)", r.type, r.name);
            return false;
        }
    }
    return true;
}

bool PSWFile::ScanForHeadersAndFields() {
    Log::WriteLog(kWhere, "Search Headers:");
    bool endOfScan = false;
    for (size_t offset = 0; offset < m_data.size() && !endOfScan; offset += kHeaderSlotSize)
        if (!ScanSlot(offset, endOfScan))
            return false;
    Log::WriteLogP(kWhere, "Found %zu Headers", m_headers.size());
    if (!CheckRequiredHeaders())
        return false;
    if (m_pswType == 0) {
        // A format-1 package carries the firmware alone: modules are never sent from it.
        m_contents = kContentsFirmware;
        m_components.ResetList();
        m_components.Add(PSW_COMPONENT_SOFTWARE);
    }
    if (!DecryptionData()) {
        Log::WriteLog(kWhere, "ERROR Decryption");
        return false;
    }
    if (!ExtractData()) {
        Log::WriteLog(kWhere, "ERROR ExtractData");
        return false;
    }
    if (!FixData())
        return false;
    return m_pswType == 1 || CheckBinarySums();
}

bool PSWFile::DecryptionData() {
    PSWHeaderPrinter* printer = GetHeaderPrinter();
    PSWHeaderBin* bin = GetHeaderBin();
    if (printer == nullptr || bin == nullptr)
        return false;
    if (printer->iScrambleByte == 0)
        return true;
    printer->iGSILow = EncryptionPSW::DecryptionGSIByte(printer->iGSILow, printer->iScrambleByte);
    std::vector<uint8_t>& data = bin->GetData();
    if (data.size() > static_cast<size_t>(INT_MAX))
        return false;
    (void)EncryptionPSW::DecryptionBuffer(printer->iScrambleByte, data.data(), 0,
                                          static_cast<int>(data.size()));
    printer->iScrambleByte = 0;
    return true;
}

bool PSWFile::ExtractData() {
    const PSWHeaderBin* bin = GetHeaderBin();
    if (bin == nullptr)
        return false;
    for (const auto& header : m_headers)
        if (!header->ExtractDataBuffer(bin->GetData(), bin->iStartDataIntoFile))
            return false;
    return true;
}

bool PSWFile::FixData() {
    for (PSWHeaderModule* module : GetModuleHeaders()) {
        if (module->modModuleID != MODULE_FLASHDISK)
            continue;
        ModuleData image;
        const auto& data = module->GetData();
        if (image.LoadModuleFromMemory(data.data(), static_cast<int>(data.size())) &&
            image.GetModuleType() != ModuleData::kTypeDisk) {
            module->modModuleID = MODULE_OTHER;
            m_components.ChangeFirstModuleFind(PSW_COMPONENT_FLASHDISK_BEFORE, PSW_COMPONENT_OTHER_AFTER);
        }
    }
    return true;
}

void PSWFile::CalcPswChecksum(uint16_t* sum1, uint16_t* sum2) const {
    ByteSums sums;
    if (m_data.size() > kHeaderSlotSize)
        sums = ComputeByteSums(std::span(m_data).subspan(kHeaderSlotSize));
    *sum1 = sums.sum1;
    *sum2 = sums.sum2;
}

std::vector<PSWHeader*> PSWFile::GetHeaders(int htype) const {
    std::vector<PSWHeader*> list;
    for (const auto& header : m_headers)
        if (header->GetHTYPE() == htype)
            list.push_back(header.get());
    return list;
}

int PSWFile::GetHeadersCount(int htype) const {
    return static_cast<int>(std::count_if(m_headers.begin(), m_headers.end(),
                                          [htype](const auto& h) { return h->GetHTYPE() == htype; }));
}

template <typename Header> Header* PSWFile::FirstOf(int htype) const {
    for (const auto& header : m_headers)
        if (header->GetHTYPE() == htype)
            return static_cast<Header*>(header.get());
    return nullptr;
}

PSWHeaderPrinter* PSWFile::GetHeaderPrinter() const {
    return FirstOf<PSWHeaderPrinter>(HTYPE_PRINTER);
}

PSWHeaderBin* PSWFile::GetHeaderBin() const {
    return FirstOf<PSWHeaderBin>(HTYPE_BIN);
}

std::vector<PSWHeaderModule*> PSWFile::GetModuleHeaders() const {
    std::vector<PSWHeaderModule*> modules;
    for (PSWHeader* header : GetHeaders(HTYPE_MODULE))
        modules.push_back(static_cast<PSWHeaderModule*>(header));
    return modules;
}

PSWHeaderModule* PSWFile::GetHeaderModuleSoftware() const {
    for (PSWHeaderModule* module : GetModuleHeaders())
        if (module->modModuleID == MODULE_SOFTWARE)
            return module;
    return nullptr;
}
