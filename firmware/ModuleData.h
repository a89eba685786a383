// A loaded module file (.mod): a font, logo, flash-disk, radio, camera or other printer module.
// Validates the file, reads its text header, descrambles a working copy to list its fonts and builds
// the summary shown before sending. The bytes sent to a printer are always the file as stored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ModuleData {
public:
    // File layout.
    static constexpr int kHeaderAreaSize = 4102;
    static constexpr int kByteOrderOffset = 10;
    static constexpr int kScrambleByteOffset = 4101;
    static constexpr int kPayloadOffset = 4102;
    static constexpr int kSumsStart = 6;            // the sums cover [6, L - 7]
    static constexpr int kFrameBytes = 12;          // FILE_SIZE is the file length minus these
    static constexpr int kDecodedLengthBias = 4108; // descrambled length = FILE_SIZE - this
    // Limits kept from the stored format.
    static constexpr size_t kTextFieldSize = 256; // header values, terminator included
    static constexpr size_t kExtraInfoSize = 8196;
    static constexpr size_t kFontNameMax = 16;

    // Module types, as the printer's module list reports them.
    static constexpr int kTypeFont = 1;
    static constexpr int kTypeDisk = 2;
    static constexpr int kTypeRfidHf = 4;
    static constexpr int kTypeRfidUhf = 8;
    static constexpr int kTypeBluetooth = 16;
    static constexpr int kTypeLogos = 64;
    static constexpr int kTypeCamera = 128;
    static constexpr int kTypeOther = 0x8000;

    [[nodiscard]] bool LoadModuleFromFile(const char* path);
    [[nodiscard]] bool LoadModuleFromMemory(const uint8_t* buffer, int length);

    // Module type for the module id text (0x8000 for anything unknown).
    [[nodiscard]] int GetModuleID() const;
    [[nodiscard]] bool CheckSumOk() const;
    [[nodiscard]] bool ExtractModuleHeaderParams();
    // The value after `key` up to the next line feed; the key must occur exactly once in the header.
    [[nodiscard]] bool ExtractStringFieldFromHeader(std::string& out, const char* key) const;
    // Same, as a decimal number; an empty or non-numeric value fails and leaves *out untouched.
    [[nodiscard]] bool ExtractIntFieldFromHeader(int* out, const char* key) const;
    [[nodiscard]] bool DecodingBufferExtractInfo();
    // Appends "  <name>[ (Code: n)]\n" for every font record of the (descrambled) payload.
    void ExtractFontModuleInformations(std::string& out) const;
    [[nodiscard]] std::string GetFileInfo() const;

    [[nodiscard]] const std::vector<uint8_t>& GetStoredData() const { return m_stored; }
    [[nodiscard]] const std::vector<uint8_t>& GetWorkingData() const { return m_working; }
    [[nodiscard]] const std::string& GetRelease() const { return m_release; }
    [[nodiscard]] int GetModuleType() const { return m_moduleType; }
    [[nodiscard]] const std::string& GetModuleIdText() const { return m_moduleId; }
    [[nodiscard]] const std::string& GetDate() const { return m_date; }
    [[nodiscard]] const std::string& GetCode() const { return m_code; }
    [[nodiscard]] const std::string& GetFactory() const { return m_factory; }
    [[nodiscard]] const std::string& GetNote() const { return m_note; }
    [[nodiscard]] int GetFileSize() const { return m_fileSize; }
    [[nodiscard]] int GetDecodingMode() const { return m_decodingMode; }
    [[nodiscard]] int GetScrambleByte() const { return m_scrambleByte; }
    [[nodiscard]] const std::string& GetExtraInfo() const { return m_extraInfo; }

    // Summary name of a module type ("FONT MODULE", ..., "OTHER MODULE").
    [[nodiscard]] static const char* TypeName(int moduleType);

private:
    [[nodiscard]] bool Load(const char* where);
    [[nodiscard]] bool ValidateHeaderParams() const;
    void Release();

    std::vector<uint8_t> m_stored;  // the file as read, never changed
    std::vector<uint8_t> m_working; // descrambled in place
    std::vector<uint8_t> m_header;  // the header area
    std::string m_release;
    int m_moduleType = kTypeOther;
    std::string m_moduleId;
    std::string m_date;
    std::string m_code;
    std::string m_factory;
    std::string m_note;
    int m_fileSize = 0;
    int m_decodingMode = 0;
    int m_scrambleByte = 0;
    std::string m_extraInfo;
};
