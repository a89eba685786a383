// The header records of a firmware package (.psw/.pfw): one per 32-byte slot, told apart by the
// slot's first byte. Each record parses its own slot and, for the kinds that carry data, cuts its
// image out of the package's binary data. Multi-byte fields are big-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

enum HTYPE : int {
    HTYPE_BASE = 0,
    HTYPE_PRINTER = 1,
    HTYPE_SOFTWARE = 2,
    HTYPE_LOGOS = 3,
    HTYPE_FONTS = 4,
    HTYPE_USBLOADER = 5,
    HTYPE_BOOTLOADER = 6,
    HTYPE_GENERICDATA = 7,
    HTYPE_MODULE = 8,
    HTYPE_BIN = 10,
    HTYPE_UPGRADE = 11,
};

// Kinds of module images carried by module headers.
enum PSWModuleID : int {
    MODULE_FONTS = 0,
    MODULE_FONTS_2 = 1,
    MODULE_FLASHDISK = 2,
    MODULE_USBLOADER = 3,
    MODULE_BOOTLOADER = 4,
    MODULE_OTHER = 5,
    MODULE_SOFTWARE = 6,
    MODULE_LOGOS = 7,
};

class PSWHeader {
public:
    static constexpr size_t kSlotSize = 32;

    explicit PSWHeader(int type = HTYPE_BASE) : m_type(type) {}
    virtual ~PSWHeader() = default;
    PSWHeader(const PSWHeader&) = delete;
    PSWHeader& operator=(const PSWHeader&) = delete;

    // Parses the slot at `offset` of the whole file; false (after a log line) when the slot's fields
    // run past the end of the file. `flag` is set by headers that announce a further record.
    [[nodiscard]] virtual bool ExtractHederInfo(std::span<const uint8_t> file, size_t offset, bool& flag);
    // Cuts this header's image out of the binary data, which starts at file offset startDataIntoFile;
    // false when the image lies outside the binary data.
    [[nodiscard]] virtual bool ExtractDataBuffer(std::span<const uint8_t> binData, int64_t startDataIntoFile);

    [[nodiscard]] int GetHTYPE() const { return m_type; }

protected:
    // Fails with a log line when the slot holds fewer than `needed` bytes before the end of the file.
    [[nodiscard]] bool SlotFits(std::span<const uint8_t> file, size_t offset, size_t needed) const;

private:
    int m_type;
};

// A header that owns an image cut out of the binary data.
class PSWHeaderWithData : public PSWHeader {
public:
    using PSWHeader::PSWHeader;
    [[nodiscard]] const std::vector<uint8_t>& GetData() const { return m_data; }
    [[nodiscard]] std::vector<uint8_t>& GetData() { return m_data; }
    [[nodiscard]] size_t GetDataLength() const { return m_data.size(); }

protected:
    // Copies [position, position + length) of binData; false when outside it.
    [[nodiscard]] bool CopyImage(std::span<const uint8_t> binData, int64_t position, int64_t length);

    std::vector<uint8_t> m_data;
};

class PSWHeaderPrinter : public PSWHeader {
public:
    static const char* const HeaderMarker[];
    PSWHeaderPrinter() : PSWHeader(HTYPE_PRINTER) {}
    [[nodiscard]] bool ExtractHederInfo(std::span<const uint8_t> file, size_t offset, bool& flag) override;

    std::string strPrinterModel;
    std::string strReleaseHW;
    std::string strReleasePSW;
    std::string strCreationDate;
    int iNumBanksVectorInterrupt = 0;
    int iGSILow = 0;
    int cComPortType = 0; // 0 serial ('S'), 1 parallel ('P'), 2 anything else
    int iScrambleByte = 0;
    int iPswType = 0; // 1: package format 2
    int iGSIHight = 0;
    uint32_t uiChecksum = 0;
    uint16_t uiChecksum1 = 0;
    uint16_t uiChecksum2 = 0;
};

class PSWHeaderSoftware : public PSWHeader {
public:
    static const char* const HeaderMarker[];
    PSWHeaderSoftware() : PSWHeader(HTYPE_SOFTWARE) {}
    [[nodiscard]] bool ExtractHederInfo(std::span<const uint8_t> file, size_t offset, bool& flag) override;

    int iPswType = 0; // 1 for the new variant 's'
    int iNumBank = 0;
    int iNumTotBanks = 0;
    uint32_t uiAddrStart = 0;
    std::string strRelHeaderSupp;
    std::string strHeaderType;
    int bex = 0;
};

// The upgrade signature carried by a software slot whose bex is 0xAA.
class PSWHeaderUpgrade : public PSWHeader {
public:
    static const char* const HeaderMarker[];
    static constexpr int kSignaturePresent = 0xAA;
    static constexpr int kMustUpdateWhole = 0xCC;
    PSWHeaderUpgrade() : PSWHeader(HTYPE_UPGRADE) {}
    [[nodiscard]] bool ExtractHederInfo(std::span<const uint8_t> file, size_t offset, bool& flag) override;

    int iPswType = 0;
    int iIDFamily = 0;
    int iIDModel = 0;
    int iIDCustomization = 0;
    bool bMustUpdateWhole = false;
};

class PSWHeaderLogos : public PSWHeaderWithData {
public:
    static const char* const HeaderMarker[];
    PSWHeaderLogos() : PSWHeaderWithData(HTYPE_LOGOS) {}
    [[nodiscard]] bool ExtractHederInfo(std::span<const uint8_t> file, size_t offset, bool& flag) override;
    [[nodiscard]] bool ExtractDataBuffer(std::span<const uint8_t> binData,
                                         int64_t startDataIntoFile) override;

    int iPswType = 0;
    int iNumLogo = 0;
    int iTotLogos = 0;
    int iDotSizeX = 0;
    int iDotSizeY = 0;
    uint32_t uiAddrStart = 0;
    int iNumColors = 0;
    std::string strRelHeaderSupp;
    std::string strHeaderType;
};

class PSWHeaderFonts : public PSWHeaderWithData {
public:
    static const char* const HeaderMarker[];
    PSWHeaderFonts() : PSWHeaderWithData(HTYPE_FONTS) {}
    [[nodiscard]] bool ExtractHederInfo(std::span<const uint8_t> file, size_t offset, bool& flag) override;
    [[nodiscard]] bool ExtractDataBuffer(std::span<const uint8_t> binData,
                                         int64_t startDataIntoFile) override;

    int iPswType = 0;
    int iNumFont = 0;
    int iTotFonts = 0;
    int iFontSizeX = 0;
    int iFontSizeY = 0;
    int iFontAsciiStart = 0;
    int iFontAsciiEnd = 0;
    uint32_t uiAddrStart = 0;
    int iFontOrient = 0;
    int iMarginLeft = 0;
    int iMarginRight = 0;
    int iMarginUp = 0;
    int iMarginDown = 0;
    int iSort = 0;
    std::string strFontName;
    int iNumModuleParent = 0;
    std::string strRelHeaderSupp;
    std::string strHeaderType;
};

// USB loader ('u') and boot loader ('b') share one layout.
class PSWHeaderLoader : public PSWHeader {
public:
    using PSWHeader::PSWHeader;
    [[nodiscard]] bool ExtractHederInfo(std::span<const uint8_t> file, size_t offset, bool& flag) override;

    uint32_t uiAddrStart = 0;
    std::string strRelHeaderSupp;
    std::string strHeaderType;
};

class PSWHeaderUSBLoader : public PSWHeaderLoader {
public:
    static const char* const HeaderMarker[];
    PSWHeaderUSBLoader() : PSWHeaderLoader(HTYPE_USBLOADER) {}
};

class PSWHeaderBootLoader : public PSWHeaderLoader {
public:
    static const char* const HeaderMarker[];
    PSWHeaderBootLoader() : PSWHeaderLoader(HTYPE_BOOTLOADER) {}
};

class PSWHeaderGenericData : public PSWHeader {
public:
    static const char* const HeaderMarker[];
    PSWHeaderGenericData() : PSWHeader(HTYPE_GENERICDATA) {}
    [[nodiscard]] bool ExtractHederInfo(std::span<const uint8_t> file, size_t offset, bool& flag) override;

    int iBlock = 0;
    int iTotBlocks = 0;
    uint32_t uiAddrStart = 0;
    std::string strRelHeaderSupp;
    std::string strHeaderType;
};

class PSWHeaderModule : public PSWHeaderWithData {
public:
    static const char* const HeaderMarker[];
    PSWHeaderModule() : PSWHeaderWithData(HTYPE_MODULE) {}
    [[nodiscard]] bool ExtractHederInfo(std::span<const uint8_t> file, size_t offset, bool& flag) override;
    [[nodiscard]] bool ExtractDataBuffer(std::span<const uint8_t> binData,
                                         int64_t startDataIntoFile) override;

    // The kind character of the slot mapped to a PSWModuleID.
    [[nodiscard]] static int ModuleIdFromKind(char kind);

    int modModuleID = MODULE_OTHER;
    int iNumModule = 0;
    int iTotModules = 0;
    uint32_t uiAddrStart = 0; // absolute file offset of the image
    uint32_t uiModuleSize = 0;
    int iNumBank = 0;       // software modules only
    uint32_t uiBankDim = 0; // software modules only
};

class PSWHeaderBin : public PSWHeaderWithData {
public:
    static const char* const HeaderMarker[];
    PSWHeaderBin() : PSWHeaderWithData(HTYPE_BIN) {}
    // Also copies the binary data, which runs from inside this slot towards the end of the file.
    [[nodiscard]] bool ExtractHederInfo(std::span<const uint8_t> file, size_t offset, bool& flag) override;

    int iPswType = 0;
    uint32_t uiBinLength = 0;
    int iNumBanks = 0;      // old variant only
    uint32_t uiBinSize = 0; // old variant only: the size of one bank
    int64_t iStartDataIntoFile = 0;
};
