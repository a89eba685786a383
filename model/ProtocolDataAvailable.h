// Which groups of data a printer offers (DataAvailable) and which of them a save or a write carries
// (DataToSave): two 64-bit sets with the same bit per group.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class TCFXDataReader;
class TCFXDataWriter;

class ProtocolDataAvailable {
public:
    static constexpr uint64_t kSetup = 0x001;
    static constexpr uint64_t kLogo = 0x002;
    static constexpr uint64_t kUpgradeModules = 0x004;
    static constexpr uint64_t kFonts = 0x008;
    static constexpr uint64_t kTools = 0x010;
    static constexpr uint64_t kUpgradePrinter = 0x020;
    static constexpr uint64_t kStatusPrinter = 0x080;
    static constexpr uint64_t kBlackmarkInt = 0x100;
    // Setup, module upgrade, tools, firmware upgrade and status: the groups a save may carry.
    static constexpr uint64_t kSavable = 0xB5;

    ProtocolDataAvailable() = default;
    void Init() { m_dataAvailable = m_dataToSave = 0; }

    uint64_t GetDataAvailable() const { return m_dataAvailable; }
    void SetDataAvailable(uint64_t bits) { m_dataAvailable = bits; }
    uint64_t GetDataToSave() const { return m_dataToSave; }
    void SetDataToSave(uint64_t bits) { m_dataToSave = bits; }

    // With query true: the bit, nothing changed. With query false: sets the bit to value, true.
    bool SetupDataAvailable(bool query, bool value) { return Access(m_dataAvailable, kSetup, query, value); }
    bool SetupDataToSave(bool query, bool value) { return Access(m_dataToSave, kSetup, query, value); }
    bool LogoDataAvailable(bool query, bool value) { return Access(m_dataAvailable, kLogo, query, value); }
    bool LogoDataToSave(bool query, bool value) { return Access(m_dataToSave, kLogo, query, value); }
    bool UpgradeModulesAvailable(bool query, bool value) {
        return Access(m_dataAvailable, kUpgradeModules, query, value);
    }
    bool UpgradeModulesToSave(bool query, bool value) {
        return Access(m_dataToSave, kUpgradeModules, query, value);
    }
    bool FontsDataAvailable(bool query, bool value) { return Access(m_dataAvailable, kFonts, query, value); }
    bool FontsDataToSave(bool query, bool value) { return Access(m_dataToSave, kFonts, query, value); }
    bool ToolsAvailable(bool query, bool value) { return Access(m_dataAvailable, kTools, query, value); }
    bool ToolsToSave(bool query, bool value) { return Access(m_dataToSave, kTools, query, value); }
    bool UpgradePrinterAvailable(bool query, bool value) {
        return Access(m_dataAvailable, kUpgradePrinter, query, value);
    }
    bool UpgradePrinterToSave(bool query, bool value) {
        return Access(m_dataToSave, kUpgradePrinter, query, value);
    }
    bool StatusPrinterAvailable(bool query, bool value) {
        return Access(m_dataAvailable, kStatusPrinter, query, value);
    }
    bool StatusPrinterToSave(bool query, bool value) {
        return Access(m_dataToSave, kStatusPrinter, query, value);
    }
    bool BlackmarkIntAvailable(bool query, bool value) {
        return Access(m_dataAvailable, kBlackmarkInt, query, value);
    }
    bool BlackmarkIntToSave(bool query, bool value) {
        return Access(m_dataToSave, kBlackmarkInt, query, value);
    }

    // Read-only forms of the queries.
    bool Has(uint64_t bit) const { return (m_dataAvailable & bit) != 0; }
    bool ToSave(uint64_t bit) const { return (m_dataToSave & bit) != 0; }

    // Both words become DataAvailable restricted to the savable groups.
    void SetToSaveAllTheDataAvailable() { m_dataAvailable = m_dataToSave = m_dataAvailable & kSavable; }

    void Serialize_Save(TCFXDataWriter& writer, const std::string& version) const;
    static std::unique_ptr<ProtocolDataAvailable> Serialize_Load(const TCFXDataReader& reader,
                                                                 const std::string& version);

private:
    static bool Access(uint64_t& word, uint64_t bit, bool query, bool value) {
        if (query) {
            return (word & bit) != 0;
        }
        word = value ? (word | bit) : (word & ~bit);
        return true;
    }

    uint64_t m_dataAvailable = 0;
    uint64_t m_dataToSave = 0;
};

// The printer's protocol generation (100 for "1.00").
struct ProtocolVersion {
    uint64_t Version = 0;

    void Serialize_Save(TCFXDataWriter& writer, const std::string& version) const;
    static std::unique_ptr<ProtocolVersion> Serialize_Load(const TCFXDataReader& reader,
                                                           const std::string& version);
};
