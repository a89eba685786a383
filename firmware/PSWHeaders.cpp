#include "firmware/PSWHeaders.h"

#include "base/Log.h"

namespace {

// Field access inside one slot; callers check the slot's length first.
class Slot {
public:
    Slot(std::span<const uint8_t> file, size_t offset) : m_bytes(file.subspan(offset)) {}
    [[nodiscard]] int U8(size_t at) const { return m_bytes[at]; }
    [[nodiscard]] int S8(size_t at) const { return static_cast<int8_t>(m_bytes[at]); }
    [[nodiscard]] int U16(size_t at) const { return (m_bytes[at] << 8) | m_bytes[at + 1]; }
    [[nodiscard]] uint32_t U24(size_t at) const {
        return (uint32_t{m_bytes[at]} << 16) | (uint32_t{m_bytes[at + 1]} << 8) | m_bytes[at + 2];
    }
    [[nodiscard]] uint32_t U32(size_t at) const { return (uint32_t{m_bytes[at]} << 24) | U24(at + 1); }
    // Fixed-width text; a zero byte ends it early.
    [[nodiscard]] std::string Text(size_t at, size_t width) const {
        std::string text;
        for (size_t i = 0; i < width && m_bytes[at + i] != 0; ++i)
            text.push_back(static_cast<char>(m_bytes[at + i]));
        return text;
    }
    [[nodiscard]] bool IsNewVariant(char newMarker) const {
        return m_bytes[0] == static_cast<uint8_t>(newMarker);
    }

private:
    std::span<const uint8_t> m_bytes;
};

} // namespace

const char* const PSWHeaderPrinter::HeaderMarker[] = {"P", nullptr};
const char* const PSWHeaderSoftware::HeaderMarker[] = {"s", "S", nullptr};
const char* const PSWHeaderUpgrade::HeaderMarker[] = {nullptr};
const char* const PSWHeaderLogos::HeaderMarker[] = {"l", "L", nullptr};
const char* const PSWHeaderFonts::HeaderMarker[] = {"f", "F", nullptr};
const char* const PSWHeaderUSBLoader::HeaderMarker[] = {"u", nullptr};
const char* const PSWHeaderBootLoader::HeaderMarker[] = {"b", nullptr};
const char* const PSWHeaderGenericData::HeaderMarker[] = {"d", nullptr};
const char* const PSWHeaderModule::HeaderMarker[] = {"m", nullptr};
const char* const PSWHeaderBin::HeaderMarker[] = {"?", "@", nullptr};

bool PSWHeader::ExtractHederInfo(std::span<const uint8_t>, size_t, bool&) {
    return true;
}

bool PSWHeader::ExtractDataBuffer(std::span<const uint8_t>, int64_t) {
    return true;
}

bool PSWHeader::SlotFits(std::span<const uint8_t> file, size_t offset, size_t needed) const {
    if (offset <= file.size() && file.size() - offset >= needed)
        return true;
    Log::WriteLogP("PSWHeader::ExtractHederInfo",
                   "ERROR Header %d at offset %zu truncated (%zu bytes needed)", m_type, offset, needed);
    return false;
}

bool PSWHeaderWithData::CopyImage(std::span<const uint8_t> binData, int64_t position, int64_t length) {
    const auto available = static_cast<int64_t>(binData.size());
    if (position < 0 || length < 0 || position > available || length > available - position) {
        Log::WriteLogP(
            "PSWHeader::ExtractDataBuffer",
            "ERROR Header %d data (position %lld, length %lld) outside the binary data (%lld bytes)",
            GetHTYPE(), static_cast<long long>(position), static_cast<long long>(length),
            static_cast<long long>(available));
        return false;
    }
    const auto from = binData.begin() + position;
    m_data.assign(from, from + length);
    return true;
}

bool PSWHeaderPrinter::ExtractHederInfo(std::span<const uint8_t> file, size_t offset, bool&) {
    if (!SlotFits(file, offset, 30))
        return false;
    const Slot slot(file, offset);
    strPrinterModel = slot.Text(1, 8);
    strReleaseHW = slot.Text(9, 2);
    strReleasePSW = slot.Text(11, 3);
    strCreationDate = slot.Text(14, 6);
    iNumBanksVectorInterrupt = slot.U8(20);
    iGSILow = slot.U8(21);
    cComPortType = slot.U8(22) == 'S' ? 0 : slot.U8(22) == 'P' ? 1 : 2;
    iScrambleByte = slot.U8(23);
    iPswType = slot.U8(24) == '2' ? 1 : 0;
    iGSIHight = slot.U8(25);
    uiChecksum = slot.U32(26);
    uiChecksum1 = static_cast<uint16_t>(slot.U16(26));
    uiChecksum2 = static_cast<uint16_t>(slot.U16(28));
    return true;
}

bool PSWHeaderSoftware::ExtractHederInfo(std::span<const uint8_t> file, size_t offset, bool& flag) {
    if (!SlotFits(file, offset, 7))
        return false;
    const Slot slot(file, offset);
    iPswType = slot.IsNewVariant('s') ? 1 : 0;
    if (iPswType == 1) {
        if (!SlotFits(file, offset, 12))
            return false;
        uiAddrStart = slot.U32(3);
        strRelHeaderSupp = slot.Text(7, 3);
        strHeaderType = slot.Text(10, 1);
        bex = slot.U8(11);
    } else {
        iNumBank = slot.U8(1);
        iNumTotBanks = slot.U8(2);
        uiAddrStart = slot.U24(3);
        bex = slot.U8(6);
    }
    flag = bex == PSWHeaderUpgrade::kSignaturePresent;
    return true;
}

bool PSWHeaderUpgrade::ExtractHederInfo(std::span<const uint8_t> file, size_t offset, bool&) {
    if (!SlotFits(file, offset, 7))
        return false;
    const Slot slot(file, offset);
    iPswType = slot.IsNewVariant('s') ? 1 : 0;
    const size_t bexAt = iPswType == 1 ? 11 : 6;
    const size_t idsAt = iPswType == 1 ? 12 : 7;
    if (!SlotFits(file, offset, bexAt + 1))
        return false;
    const int bex = slot.U8(bexAt);
    if (bex == kMustUpdateWhole) {
        bMustUpdateWhole = true;
        return true;
    }
    if (bex != kSignaturePresent)
        return true;
    if (!SlotFits(file, offset, idsAt + 6))
        return false;
    iIDFamily = slot.U16(idsAt);
    iIDModel = slot.U16(idsAt + 2);
    iIDCustomization = slot.U16(idsAt + 4);
    return true;
}

bool PSWHeaderLogos::ExtractHederInfo(std::span<const uint8_t> file, size_t offset, bool&) {
    if (!SlotFits(file, offset, 11))
        return false;
    const Slot slot(file, offset);
    iPswType = slot.IsNewVariant('l') ? 1 : 0;
    iNumLogo = slot.U8(1);
    iTotLogos = slot.U8(2);
    iDotSizeX = slot.U16(3);
    iDotSizeY = slot.U16(5);
    if (iPswType == 1) {
        if (!SlotFits(file, offset, 16))
            return false;
        uiAddrStart = slot.U32(7);
        iNumColors = slot.U8(11);
        strRelHeaderSupp = slot.Text(12, 3);
        strHeaderType = slot.Text(15, 1);
    } else {
        uiAddrStart = slot.U24(7);
        iNumColors = slot.U8(10);
    }
    return true;
}

bool PSWHeaderLogos::ExtractDataBuffer(std::span<const uint8_t> binData, int64_t startDataIntoFile) {
    const int64_t length = int64_t{iDotSizeX / 8} * iDotSizeY;
    const int64_t position = iPswType == 1 ? int64_t{uiAddrStart} - startDataIntoFile : int64_t{uiAddrStart};
    return CopyImage(binData, position, length);
}

bool PSWHeaderFonts::ExtractHederInfo(std::span<const uint8_t> file, size_t offset, bool&) {
    if (!SlotFits(file, offset, 16))
        return false;
    const Slot slot(file, offset);
    iPswType = slot.IsNewVariant('f') ? 1 : 0;
    iNumFont = slot.U8(1);
    iTotFonts = slot.U8(2);
    iFontSizeX = slot.U8(3);
    iFontSizeY = slot.U8(4);
    iFontAsciiStart = slot.U8(5);
    iFontAsciiEnd = slot.U8(6);
    // The old layout has everything after the address one byte earlier and stops at the sort byte.
    const size_t shift = iPswType == 1 ? 0 : 1;
    if (iPswType == 1) {
        if (!SlotFits(file, offset, 30))
            return false;
        uiAddrStart = slot.U32(7);
    } else {
        uiAddrStart = slot.U24(7);
    }
    iFontOrient = slot.U8(11 - shift);
    iMarginLeft = slot.S8(12 - shift);
    iMarginRight = slot.S8(13 - shift);
    iMarginUp = slot.S8(14 - shift);
    iMarginDown = slot.S8(15 - shift);
    iSort = slot.U8(16 - shift);
    if (iPswType == 1) {
        strFontName = slot.Text(17, 8);
        iNumModuleParent = slot.U8(25);
        strRelHeaderSupp = slot.Text(26, 3);
        strHeaderType = slot.Text(29, 1);
    }
    return true;
}

bool PSWHeaderFonts::ExtractDataBuffer(std::span<const uint8_t> binData, int64_t startDataIntoFile) {
    // Bytes per glyph row: width plus right margin, rounded up to whole bytes.
    const int64_t rowBits = int64_t{iFontSizeX} + iMarginRight;
    const int64_t rowBytes = rowBits >= 0 ? (rowBits + 7) / 8 : -((-rowBits) / 8);
    const int64_t glyphs = int64_t{iFontAsciiEnd} + 1 - iFontAsciiStart;
    const int64_t length = glyphs * iFontSizeY * rowBytes;
    const int64_t position = iPswType == 1 ? int64_t{uiAddrStart} - startDataIntoFile : int64_t{uiAddrStart};
    return CopyImage(binData, position, length);
}

bool PSWHeaderLoader::ExtractHederInfo(std::span<const uint8_t> file, size_t offset, bool&) {
    if (!SlotFits(file, offset, 9))
        return false;
    const Slot slot(file, offset);
    uiAddrStart = slot.U32(1);
    strRelHeaderSupp = slot.Text(5, 3);
    strHeaderType = slot.Text(8, 1);
    return true;
}

bool PSWHeaderGenericData::ExtractHederInfo(std::span<const uint8_t> file, size_t offset, bool&) {
    if (!SlotFits(file, offset, 11))
        return false;
    const Slot slot(file, offset);
    iBlock = slot.U8(1);
    iTotBlocks = slot.U8(2);
    uiAddrStart = slot.U32(3);
    strRelHeaderSupp = slot.Text(7, 3);
    strHeaderType = slot.Text(10, 1);
    return true;
}

int PSWHeaderModule::ModuleIdFromKind(char kind) {
    switch (kind) {
    case 'f':
        return MODULE_FONTS;
    case 'C':
        return MODULE_FONTS_2;
    case 'u':
        return MODULE_USBLOADER;
    case 'b':
        return MODULE_BOOTLOADER;
    case 'd':
        return MODULE_FLASHDISK;
    case 's':
        return MODULE_SOFTWARE;
    case 'l':
        return MODULE_LOGOS;
    default:
        return MODULE_OTHER;
    }
}

bool PSWHeaderModule::ExtractHederInfo(std::span<const uint8_t> file, size_t offset, bool&) {
    if (!SlotFits(file, offset, 12))
        return false;
    const Slot slot(file, offset);
    modModuleID = ModuleIdFromKind(static_cast<char>(slot.U8(1)));
    iNumModule = slot.U8(2);
    iTotModules = slot.U8(3);
    uiAddrStart = slot.U32(4);
    uiModuleSize = slot.U32(8);
    iNumBank = 0;
    uiBankDim = 0;
    if (modModuleID == MODULE_SOFTWARE) {
        if (!SlotFits(file, offset, 17))
            return false;
        iNumBank = slot.U16(12);
        uiBankDim = slot.U24(14);
    }
    return true;
}

bool PSWHeaderModule::ExtractDataBuffer(std::span<const uint8_t> binData, int64_t startDataIntoFile) {
    return CopyImage(binData, int64_t{uiAddrStart} - startDataIntoFile, int64_t{uiModuleSize});
}

bool PSWHeaderBin::ExtractHederInfo(std::span<const uint8_t> file, size_t offset, bool&) {
    if (!SlotFits(file, offset, 5))
        return false;
    const Slot slot(file, offset);
    iPswType = slot.IsNewVariant('?') ? 1 : 0;
    size_t dataAt = 5;
    if (iPswType == 1) {
        uiBinLength = slot.U32(1);
    } else {
        if (!SlotFits(file, offset, 8))
            return false;
        uiBinLength = slot.U24(1);
        iNumBanks = slot.U8(4);
        uiBinSize = slot.U24(5);
        dataAt = 8;
    }
    iStartDataIntoFile = static_cast<int64_t>(offset + dataAt);
    const size_t available = file.size() - offset - dataAt;
    if (uiBinLength > available) {
        Log::WriteLogP("PSWHeaderBin::ExtractHederInfo",
                       "ERROR Binary data length %u beyond the end of the file (%zu bytes left)", uiBinLength,
                       available);
        return false;
    }
    const auto from = file.begin() + static_cast<std::ptrdiff_t>(iStartDataIntoFile);
    m_data.assign(from, from + uiBinLength);
    return true;
}
