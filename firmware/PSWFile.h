// A loaded firmware package (.psw/.pfw): its headers in file order, integrity sums, descrambled
// binary data, module images and the list of selectable components. Loading is a pure function of
// the file's bytes; nothing here talks to a printer.
#pragma once

#include "firmware/PSWComponents.h"
#include "firmware/PSWHeaders.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class PSWFile {
public:
    // Contents mask bits.
    static constexpr int kContentsFirmware = 0x01;
    static constexpr int kContentsFonts = 0x02;
    static constexpr int kContentsFlashDisk = 0x04;
    static constexpr size_t kHeaderSlotSize = PSWHeader::kSlotSize;

    [[nodiscard]] bool LoadPSWFromFile(const char* path, bool requireUpgradeFields);
    [[nodiscard]] bool LoadPSWFromMemory(const uint8_t* buffer, int length, bool requireUpgradeFields);

    // The file's bytes, or nullopt when it cannot be read completely.
    [[nodiscard]] static std::optional<std::vector<uint8_t>> readfile(const char* path, int* size);

    // Headers of one type in file order; the list does not own them.
    [[nodiscard]] std::vector<PSWHeader*> GetHeaders(int htype) const;
    [[nodiscard]] int GetHeadersCount(int htype) const;
    [[nodiscard]] PSWHeaderPrinter* GetHeaderPrinter() const;
    [[nodiscard]] PSWHeaderBin* GetHeaderBin() const;
    [[nodiscard]] PSWHeaderModule* GetHeaderModuleSoftware() const;
    [[nodiscard]] std::vector<PSWHeaderModule*> GetModuleHeaders() const;
    [[nodiscard]] const std::vector<std::unique_ptr<PSWHeader>>& GetAllHeaders() const { return m_headers; }

    [[nodiscard]] bool HasModuleToChoose() const { return m_components.HasModuleToChoose(); }
    [[nodiscard]] std::string GetFileInfo(bool withSignature) const;

    // Both sums over the file from the end of the first slot to its end.
    void CalcPswChecksum(uint16_t* sum1, uint16_t* sum2) const;

    [[nodiscard]] bool DecryptionData();
    [[nodiscard]] bool ExtractData();
    [[nodiscard]] bool FixData();

    [[nodiscard]] const std::vector<uint8_t>& GetFileData() const { return m_data; }
    // 1 for package format 2, 0 for format 1.
    [[nodiscard]] int GetPswType() const { return m_pswType; }
    [[nodiscard]] int GetContents() const { return m_contents; }
    [[nodiscard]] const PSWComponents& GetComponents() const { return m_components; }

private:
    [[nodiscard]] bool LoadPSW(bool requireUpgradeFields);
    [[nodiscard]] bool ScanForHeadersAndFields();
    [[nodiscard]] bool ScanSlot(size_t offset, bool& endOfScan);
    [[nodiscard]] bool CheckRequiredHeaders() const;
    [[nodiscard]] bool CheckPackageSums() const;
    [[nodiscard]] bool CheckBinarySums() const;
    void AddModuleComponent(const PSWHeaderModule& module);
    void Reset();

    template <typename Header> [[nodiscard]] Header* FirstOf(int htype) const;

    std::vector<uint8_t> m_data;
    std::vector<std::unique_ptr<PSWHeader>> m_headers;
    int m_pswType = 0;
    int m_contents = 0;
    PSWComponents m_components;
};
