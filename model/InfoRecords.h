// The printer's descriptive records: information text pages (device, head, life counters, modules),
// logo descriptors and images, upgrade information, and the per-group interface state (TabStatus).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TCFXDataReader;
class TCFXDataWriter;

// An ordered list of text lines received from one answer.
class InfoItemGenericInfo {
public:
    virtual ~InfoItemGenericInfo() = default;

    void AddTextLine(std::string_view line);
    void Clean() { m_lines.clear(); }
    const std::vector<std::string>& GetTextLines() const { return m_lines; }

protected:
    // With a salt, each line is stored encrypted on its own.
    void SaveLines(TCFXDataWriter& writer, const char* key, const char* salt) const;
    void LoadLines(const TCFXDataReader& reader, const char* key, const char* salt);

private:
    std::vector<std::string> m_lines;
};

class InfoItemPrnDeviceInfo : public InfoItemGenericInfo {
public:
    void Serialize_Save(TCFXDataWriter& writer, const std::string& version) const;
    static std::unique_ptr<InfoItemPrnDeviceInfo> Serialize_Load(const TCFXDataReader& reader,
                                                                 const std::string& version);
};

class InfoItemPrnHeadInfo : public InfoItemGenericInfo {
public:
    void Serialize_Save(TCFXDataWriter& writer, const std::string& version) const;
    static std::unique_ptr<InfoItemPrnHeadInfo> Serialize_Load(const TCFXDataReader& reader,
                                                               const std::string& version);
};

// Life counters: every line is stored encrypted.
class InfoItemPrnLifeInfo : public InfoItemGenericInfo {
public:
    void Serialize_Save(TCFXDataWriter& writer, const std::string& version) const;
    static std::unique_ptr<InfoItemPrnLifeInfo> Serialize_Load(const TCFXDataReader& reader,
                                                               const std::string& version);
};

// Not archived.
class ModuleItemPrnModuleList : public InfoItemGenericInfo {};

// Logo ids stored in the printer, kept in ascending order.
class LogosIDList {
public:
    void AddID(uint64_t id);
    const std::vector<uint64_t>& GetIDs() const { return m_ids; }

private:
    std::vector<uint64_t> m_ids;
};

// One logo descriptor, its values kept as received.
struct LogosInfo {
    static constexpr int32_t kSizeNotGiven = 0x00FFFFFF;

    uint64_t LogoId = 0;
    int32_t MaxLogoCount = 0;
    int32_t Format = 0;    // 0 BMP, 1 other
    int32_t Flag = 0;      // 1 when its text holds Y
    int32_t MemoryTag = 1; // 0 when its text holds "M1", 1 otherwise
    int32_t Value = 0;
    int32_t Width = kSizeNotGiven;
    int32_t Height = kSizeNotGiven;
    int32_t SizeFlag = 0; // 1 when the size text holds F
    int32_t Value1 = 0;
    int32_t Value2 = 0;
};

class LogosType {
public:
    static constexpr int32_t kUnlimited = 0x7FFFFFFF;

    bool GetPrintPreview() const { return m_printPreview; }
    void SetPrintPreview(bool v) { m_printPreview = v; }
    void AddLogosInfo(const LogosInfo& info) { m_infos.push_back(info); }
    const std::vector<LogosInfo>& GetLogosInfos() const { return m_infos; }
    int32_t GetNumMaxLogo() const { return m_numMaxLogo; }
    // 0 without descriptors, kUnlimited when one allows any number (count 0), else the largest count.
    int32_t CalcNumMaxLogo();

private:
    bool m_printPreview = false;
    std::vector<LogosInfo> m_infos;
    int32_t m_numMaxLogo = 0;
};

// One logo image.
struct LogoItem {
    uint64_t Id = 0;
    int32_t Type = 0; // 0 BMP, 1 other
    std::string FileName;
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Image;
};

class UpgradeDataInfo {
public:
    uint32_t GetUpgradeMode() const { return m_upgradeMode; }
    const std::string& GetConfigurationSettings() const { return m_configurationSettings; }
    uint32_t GetFamilyId() const { return m_familyId; }
    uint32_t GetModelId() const { return m_modelId; }
    uint32_t GetCustomizationId() const { return m_customizationId; }

    // "U1".."U6" in either case, brackets ignored.
    [[nodiscard]] bool SetUpgradeMode(std::string_view text);
    // Brackets removed, kept as given (cut at 511 characters).
    bool SetUpgradeConfigurationSettings(std::string_view text);
    // "family;model;customization", three decimal numbers, brackets ignored.
    [[nodiscard]] bool SetUpgradeDeviceIDs(std::string_view text);

private:
    uint32_t m_upgradeMode = 0;
    std::string m_configurationSettings;
    uint32_t m_familyId = 0;
    uint32_t m_modelId = 0;
    uint32_t m_customizationId = 0;
};

struct UpgradeConfirmation {
    int32_t AnswerCode = 0;
    std::vector<uint8_t> Buffer;
};

// Per-group state of the interface; bit 3 (8) of a word disables its group. Read from archives, never
// written to them.
class TabStatus {
public:
    enum Group : size_t {
        PrinterSetup,
        PrinterLogos,
        EditingFonts,
        PrinterTools,
        PrinterUpgrade,
        PrinterStatus,
        BlackmarkInteractive,
        AdvancedFonts,
        GroupCount
    };
    static constexpr uint32_t kDefault = 5;
    static constexpr uint32_t kDisabledBit = 8;

    TabStatus() { Init(); }
    void Init() { m_words.fill(kDefault); }
    uint32_t Get(Group group) const { return m_words[group]; }
    void Set(Group group, uint32_t word) { m_words[group] = word; }
    bool IsDisabled(Group group) const { return (m_words[group] & kDisabledBit) != 0; }
    int NumberOfTabDisabled() const;
    bool IsSomethingDisabled() const { return NumberOfTabDisabled() > 0; }

    // Absent keys keep their default.
    static std::unique_ptr<TabStatus> Serialize_Load(const TCFXDataReader& reader,
                                                     const std::string& version);

private:
    std::array<uint32_t, GroupCount> m_words{};
};
