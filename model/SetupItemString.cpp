// The string setup item: exact comparison, the IPv4 check, and encryption of confidential values in
// the archive.
#include "base/GenericFunctions.h"
#include "base/Log.h"
#include "model/ArchiveKeys.h"
#include "model/CryptoFunctions.h"
#include "model/SetupItemType.h"
#include "model/TCFXDataReader.h"
#include "model/TCFXDataWriter.h"

#include <regex>

namespace {

// Before this archive version confidential values were stored in clear.
constexpr double kFirstEncryptedVersion = 1.09;

std::string Encrypt(const std::string& text) {
    return CryptoFunctions::EncryptStringAES(text, CryptoFunctions::kPassword,
                                             CryptoFunctions::kSaltStringItem);
}

std::string Decrypt(const std::string& stored) {
    return CryptoFunctions::DecryptStringAES(stored, CryptoFunctions::kPassword,
                                             CryptoFunctions::kSaltStringItem);
}

bool IsEncryptedVersion(const std::string& version) {
    // Versions are compared as numbers ("1.1" is above "1.09"); a small margin absorbs float noise.
    // In the "C" locale: under a decimal comma "1.09" would read as 1 and the values stay encrypted.
    return GenericFunctions::StrtodC(version.c_str(), nullptr) >= kFirstEncryptedVersion - 1e-9;
}

} // namespace

void SetupItemTypeString::SetDefValue(std::string_view v) {
    m_defValue = CutText(v);
}
void SetupItemTypeString::SetCurValue(std::string_view v) {
    m_curValue = CutText(v);
}
void SetupItemTypeString::SetCurUIValue(std::string_view v) {
    m_curUIValue = CutText(v);
}

bool SetupItemTypeString::SameValue(const SetupItemType& other) const {
    const auto* text = dynamic_cast<const SetupItemTypeString*>(&other);
    const bool same = text != nullptr && text->m_curUIValue == m_curUIValue;
    Log::WriteLog("SetupItemTypeString::SameValue", same ? "End (Same Value)" : "End (Different Value)");
    return same;
}

bool SetupItemTypeString::CheckFieldValueIsCorrect(std::string& message) const {
    if ((m_dataMask & kMaskIPv4) == 0) {
        return true;
    }
    static const std::regex kIPv4("^(([0-9]|[1-9][0-9]|1[0-9]{2}|2[0-4][0-9]|25[0-5])\\.){3}"
                                  "([0-9]|[1-9][0-9]|1[0-9]{2}|2[0-4][0-9]|25[0-5])$",
                                  std::regex::ECMAScript);
    if (std::regex_match(m_curUIValue, kIPv4)) {
        return true;
    }
    message = "The data must be in IP Format (XXX.XXX.XXX.XXX)";
    return false;
}

void SetupItemTypeString::Serialize_Save(TCFXDataWriter& writer, const std::string& /*version*/,
                                         int index) const {
    SaveCommon(writer, "SetupItemTypeString", index, "SetupItemTypeString_AddDescription", ArchiveType::Text);
    writer.addBaseElement(IndexedKey("SetupItemTypeString_MinLen", index).c_str(), ArchiveType::Int,
                          m_minLen);
    writer.addBaseElement(IndexedKey("SetupItemTypeString_MaxLen", index).c_str(), ArchiveType::Int,
                          m_maxLen);
    writer.addBaseElement(IndexedKey("SetupItemTypeString_DataMask", index).c_str(), ArchiveType::UInt64,
                          m_dataMask);
    writer.addBaseElement(IndexedKey("SetupItemTypeString_DefValue", index).c_str(), ArchiveType::Text,
                          m_defValue);
    const bool confidential = (m_dataMask & kMaskConfidential) != 0;
    writer.addBaseElement(IndexedKey("SetupItemTypeString_CurValue", index).c_str(), ArchiveType::Text,
                          confidential ? Encrypt(m_curValue) : m_curValue);
    writer.addBaseElement(IndexedKey("SetupItemTypeString_CurUIValue", index).c_str(), ArchiveType::Text,
                          confidential ? Encrypt(m_curUIValue) : m_curUIValue);
}

std::unique_ptr<SetupItemTypeString> SetupItemTypeString::Load(const TCFXDataReader& reader,
                                                               const std::string& version, int index) {
    auto item = std::make_unique<SetupItemTypeString>();
    item->LoadCommon(reader, "SetupItemTypeString", index, "SetupItemTypeString_AddDescription");
    item->m_minLen = reader.getBaseValueAsInt(IndexedKey("SetupItemTypeString_MinLen", index).c_str());
    item->m_maxLen = reader.getBaseValueAsInt(IndexedKey("SetupItemTypeString_MaxLen", index).c_str());
    item->m_dataMask = static_cast<uint32_t>(
        reader.getBaseValueAsUInt(IndexedKey("SetupItemTypeString_DataMask", index).c_str()));
    item->SetDefValue(
        reader.getBaseValueAsHexString(IndexedKey("SetupItemTypeString_DefValue", index).c_str()));
    std::string current =
        reader.getBaseValueAsHexString(IndexedKey("SetupItemTypeString_CurValue", index).c_str());
    std::string edited =
        reader.getBaseValueAsHexString(IndexedKey("SetupItemTypeString_CurUIValue", index).c_str());
    if ((item->m_dataMask & kMaskConfidential) != 0 && IsEncryptedVersion(version)) {
        current = Decrypt(current);
        edited = Decrypt(edited);
    }
    item->SetCurValue(current);
    item->SetCurUIValue(edited);
    return item;
}
