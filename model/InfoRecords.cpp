// Information pages, logos, upgrade information and interface state.
#include "model/InfoRecords.h"

#include "base/GenericFunctions.h"
#include "base/Log.h"
#include "model/ArchiveKeys.h"
#include "model/CryptoFunctions.h"
#include "model/TCFXDataReader.h"
#include "model/TCFXDataWriter.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

std::string WithoutBrackets(std::string_view text) {
    std::string out;
    std::copy_if(text.begin(), text.end(), std::back_inserter(out),
                 [](char c) { return c != '<' && c != '>'; });
    return out;
}

// Only into a scratch array of the caller: on failure the value may have been written.
bool ParseUInt32(std::string_view text, uint32_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

} // namespace

void InfoItemGenericInfo::AddTextLine(std::string_view line) {
    m_lines.push_back(CutText(line));
}

void InfoItemGenericInfo::SaveLines(TCFXDataWriter& writer, const char* key, const char* salt) const {
    if (salt == nullptr) {
        writer.addObjectElement(key, ArchiveType::TextList, m_lines);
        return;
    }
    std::vector<std::string> encrypted;
    encrypted.reserve(m_lines.size());
    for (const std::string& line : m_lines) {
        encrypted.push_back(CryptoFunctions::EncryptStringAES(line, CryptoFunctions::kPassword, salt));
    }
    writer.addObjectElement(key, ArchiveType::TextList, encrypted);
}

void InfoItemGenericInfo::LoadLines(const TCFXDataReader& reader, const char* key, const char* salt) {
    for (const std::string& line : reader.getStringListValue(key)) {
        AddTextLine(salt == nullptr
                        ? line
                        : CryptoFunctions::DecryptStringAES(line, CryptoFunctions::kPassword, salt));
    }
}

void InfoItemPrnDeviceInfo::Serialize_Save(TCFXDataWriter& writer, const std::string& /*version*/) const {
    SaveLines(writer, "InfoItemPrnDeviceInfo_ListPrnDeviceInfoTextLines", nullptr);
}

std::unique_ptr<InfoItemPrnDeviceInfo> InfoItemPrnDeviceInfo::Serialize_Load(const TCFXDataReader& reader,
                                                                             const std::string& /*version*/) {
    auto info = std::make_unique<InfoItemPrnDeviceInfo>();
    info->LoadLines(reader, "InfoItemPrnDeviceInfo_ListPrnDeviceInfoTextLines", nullptr);
    return info;
}

void InfoItemPrnHeadInfo::Serialize_Save(TCFXDataWriter& writer, const std::string& /*version*/) const {
    SaveLines(writer, "InfoItemPrnHeadInfo_ListPrnHeadInfoTextLines", nullptr);
}

std::unique_ptr<InfoItemPrnHeadInfo> InfoItemPrnHeadInfo::Serialize_Load(const TCFXDataReader& reader,
                                                                         const std::string& /*version*/) {
    auto info = std::make_unique<InfoItemPrnHeadInfo>();
    info->LoadLines(reader, "InfoItemPrnHeadInfo_ListPrnHeadInfoTextLines", nullptr);
    return info;
}

void InfoItemPrnLifeInfo::Serialize_Save(TCFXDataWriter& writer, const std::string& /*version*/) const {
    SaveLines(writer, "InfoItemPrnLifeInfo_ListPrnLifeInfoTextLines", CryptoFunctions::kSaltLifeInfo);
}

std::unique_ptr<InfoItemPrnLifeInfo> InfoItemPrnLifeInfo::Serialize_Load(const TCFXDataReader& reader,
                                                                         const std::string& /*version*/) {
    auto info = std::make_unique<InfoItemPrnLifeInfo>();
    info->LoadLines(reader, "InfoItemPrnLifeInfo_ListPrnLifeInfoTextLines", CryptoFunctions::kSaltLifeInfo);
    return info;
}

void LogosIDList::AddID(uint64_t id) {
    m_ids.insert(std::upper_bound(m_ids.begin(), m_ids.end(), id), id);
}

int32_t LogosType::CalcNumMaxLogo() {
    static constexpr const char* kWhere = "LogosType::CalcNumMaxLogo";
    if (m_infos.empty()) {
        m_numMaxLogo = 0;
        Log::WriteLog(kWhere, "NumMaxLogo = 0");
    } else if (std::any_of(m_infos.begin(), m_infos.end(),
                           [](const LogosInfo& i) { return i.MaxLogoCount == 0; })) {
        m_numMaxLogo = kUnlimited;
        Log::WriteLog(kWhere, "NumMaxLogo = INFINITE");
    } else {
        m_numMaxLogo =
            std::max_element(m_infos.begin(), m_infos.end(), [](const LogosInfo& a, const LogosInfo& b) {
                return a.MaxLogoCount < b.MaxLogoCount;
            })->MaxLogoCount;
        Log::WriteLogP(kWhere, "NumMaxLogo = %d", m_numMaxLogo);
    }
    return m_numMaxLogo;
}

bool UpgradeDataInfo::SetUpgradeMode(std::string_view text) {
    std::string mode = WithoutBrackets(text);
    GenericFunctions::ToUpper(mode.data());
    if (mode.size() != 2 || mode[0] != 'U' || mode[1] < '1' || mode[1] > '6') {
        return false;
    }
    m_upgradeMode = static_cast<uint32_t>(mode[1] - '0');
    return true;
}

bool UpgradeDataInfo::SetUpgradeConfigurationSettings(std::string_view text) {
    m_configurationSettings = CutText(WithoutBrackets(text));
    return true;
}

bool UpgradeDataInfo::SetUpgradeDeviceIDs(std::string_view text) {
    const std::string ids = WithoutBrackets(text);
    std::array<uint32_t, 3> values{};
    size_t start = 0;
    for (size_t k = 0; k < values.size(); ++k) {
        const size_t end = k + 1 < values.size() ? ids.find(';', start) : ids.size();
        if (end == std::string::npos ||
            !ParseUInt32(std::string_view(ids).substr(start, end - start), values[k])) {
            return false;
        }
        start = end + 1;
    }
    m_familyId = values[0];
    m_modelId = values[1];
    m_customizationId = values[2];
    return true;
}

int TabStatus::NumberOfTabDisabled() const {
    return static_cast<int>(
        std::count_if(m_words.begin(), m_words.end(), [](uint32_t w) { return (w & kDisabledBit) != 0; }));
}

std::unique_ptr<TabStatus> TabStatus::Serialize_Load(const TCFXDataReader& reader,
                                                     const std::string& /*version*/) {
    static constexpr const char* kKeys[GroupCount] = {
        "TabStatus_PrinterSetup",         "TabStatus_PrinterLogos",   "TabStatus_EditingFonts",
        "TabStatus_PrinterTools",         "TabStatus_PrinterUpgrade", "TabStatus_PrinterStatus",
        "TabStatus_BlackmarkInteractive", "TabStatus_AdvancedFonts"};
    auto status = std::make_unique<TabStatus>();
    for (size_t g = 0; g < GroupCount; ++g) {
        bool found = false;
        const unsigned long word = reader.getBaseValueAsUInt(kKeys[g], &found);
        if (found) {
            status->m_words[g] = static_cast<uint32_t>(word);
        }
    }
    return status;
}
