// The setup item base, the list, numeric and date/time kinds, and the kind dispatch of the archive.
#include "model/SetupItemType.h"

#include "base/GenericFunctions.h"
#include "base/Log.h"
#include "model/ArchiveKeys.h"
#include "model/TCFXDataReader.h"
#include "model/TCFXDataWriter.h"

#include <cmath>
#include <ctime>

namespace {

void LogSame(const char* where, bool same) {
    Log::WriteLog(where, same ? "End (Same Value)" : "End (Different Value)");
}

} // namespace

const char* SetupItemKindName(uint8_t kind) {
    switch (kind) {
    case PROT_TYPE_LIST:
        return "PROT_TYPE_LIST";
    case PROT_TYPE_NUMERIC:
        return "PROT_TYPE_NUMERIC";
    case PROT_TYPE_DATETIME:
        return "PROT_TYPE_DATETIME";
    case PROT_TYPE_STRING:
        return "PROT_TYPE_STRING";
    case PROT_TYPE_CHECKBOXES:
        return "PROT_TYPE_CHECKBOXES";
    default:
        return "PROT_TYPE_UNKNOWN";
    }
}

void SetupItemType::SetDescription(std::string_view text) {
    m_description = CutText(text);
}

void SetupItemType::SetAddDescription(std::string_view text) {
    m_addDescription = CutText(text);
}

bool SetupItemType::CheckFieldValueIsCorrect(std::string& /*message*/) const {
    return true;
}

bool SetupItemType::Equals(const SetupItemType& other) const {
    const bool equal = m_id == other.m_id && m_type == other.m_type;
    Log::WriteLog("SetupItemType::Equals", equal ? "End (Equal)" : "End (NOT Equal)");
    return equal;
}

void SetupItemType::SaveCommon(TCFXDataWriter& writer, std::string_view prefix, int index,
                               const char* addDescriptionKey, int addDescriptionType) const {
    const std::string name(prefix);
    writer.addBaseElement(IndexedKey(name + "_Id", index).c_str(), ArchiveType::UInt64,
                          static_cast<unsigned long>(m_id));
    writer.addBaseElement(IndexedKey(name + "_Type", index).c_str(), ArchiveType::Kind,
                          static_cast<int>(m_type));
    writer.addBaseElement(IndexedKey(name + "_Description", index).c_str(), ArchiveType::Text, m_description);
    writer.addBaseElement(IndexedKey(addDescriptionKey, index).c_str(), addDescriptionType, m_addDescription);
}

void SetupItemType::LoadCommon(const TCFXDataReader& reader, std::string_view prefix, int index,
                               const char* addDescriptionKey) {
    const std::string name(prefix);
    // Ids are 32-bit in practice; the whole 64-bit range is read so that none is ever sign-extended.
    m_id = reader.getBaseValueAsUInt(IndexedKey(name + "_Id", index).c_str());
    SetDescription(reader.getBaseValueAsHexString(IndexedKey(name + "_Description", index).c_str()));
    SetAddDescription(reader.getBaseValueAsHexString(IndexedKey(addDescriptionKey, index).c_str()));
}

std::unique_ptr<SetupItemType>
SetupItemType::Serialize_Load(const TCFXDataReader& reader, const std::string& version, int index, int kind) {
    switch (kind) {
    case PROT_TYPE_LIST:
        return SetupItemTypeList::Load(reader, index);
    case PROT_TYPE_NUMERIC:
        return SetupItemTypeNumeric::Load(reader, index);
    case PROT_TYPE_DATETIME:
        return SetupItemTypeDateTime::Load(reader, index);
    case PROT_TYPE_STRING:
        return SetupItemTypeString::Load(reader, version, index);
    case PROT_TYPE_CHECKBOXES:
        return SetupItemTypeCheckbox::Load(reader, index);
    default:
        return nullptr;
    }
}

// ---- list ----

void SetupItemTypeList::AddItem(std::string_view text, int32_t value) {
    m_items.push_back({CutText(text), value});
}

bool SetupItemTypeList::SameValue(const SetupItemType& other) const {
    const auto* list = dynamic_cast<const SetupItemTypeList*>(&other);
    const bool same = list != nullptr && list->m_currentUIValue == m_currentUIValue;
    LogSame("SetupItemTypeList::SameValue", same);
    return same;
}

std::string SetupItemTypeList::UIValue() const {
    return std::to_string(m_currentUIValue);
}

std::optional<std::string> SetupItemTypeList::UIDefaultText() const {
    return std::to_string(m_defaultValue);
}

void SetupItemTypeList::Serialize_Save(TCFXDataWriter& writer, const std::string& /*version*/,
                                       int index) const {
    SaveCommon(writer, "SetupItemTypeList", index, "SetupItemTypeList_AddDescription", ArchiveType::Text);
    writer.addBaseElement(IndexedKey("SetupItemTypeList_FirstValue", index).c_str(), ArchiveType::Int,
                          m_firstValue);
    writer.addBaseElement(IndexedKey("SetupItemTypeList_DefaultValue", index).c_str(), ArchiveType::Int,
                          m_defaultValue);
    writer.addBaseElement(IndexedKey("SetupItemTypeList_CurrentValue", index).c_str(), ArchiveType::Int,
                          m_currentValue);
    writer.addBaseElement(IndexedKey("SetupItemTypeList_CurrentUIValue", index).c_str(), ArchiveType::Int,
                          m_currentUIValue);
    writer.addObjectElement(IndexedKey("SetupItemTypeList_Items", index).c_str(), ArchiveType::ListItems,
                            m_items);
}

std::unique_ptr<SetupItemTypeList> SetupItemTypeList::Load(const TCFXDataReader& reader, int index) {
    auto item = std::make_unique<SetupItemTypeList>();
    item->LoadCommon(reader, "SetupItemTypeList", index, "SetupItemTypeList_AddDescription");
    item->m_firstValue = reader.getBaseValueAsInt(IndexedKey("SetupItemTypeList_FirstValue", index).c_str());
    item->m_defaultValue =
        reader.getBaseValueAsInt(IndexedKey("SetupItemTypeList_DefaultValue", index).c_str());
    item->m_currentValue =
        reader.getBaseValueAsInt(IndexedKey("SetupItemTypeList_CurrentValue", index).c_str());
    item->m_currentUIValue =
        reader.getBaseValueAsInt(IndexedKey("SetupItemTypeList_CurrentUIValue", index).c_str());
    for (const ListItem& entry :
         reader.getBasicItemListValue(IndexedKey("SetupItemTypeList_Items", index).c_str())) {
        item->AddItem(entry.Text, entry.Value);
    }
    return item;
}

// ---- numeric ----

bool SetupItemTypeNumeric::SameFloatValues(float a, float b) const {
    return std::fabs(a - b) <= m_stepValue / 10;
}

int SetupItemTypeNumeric::getNumOfDecimalDigits(float x) {
    return GenericFunctions::GetNumOfDecimalDigits(static_cast<double>(x));
}

bool SetupItemTypeNumeric::SameValue(const SetupItemType& other) const {
    const auto* numeric = dynamic_cast<const SetupItemTypeNumeric*>(&other);
    const bool same = numeric != nullptr && SameFloatValues(m_curUIValue, numeric->m_curUIValue);
    LogSame("SetupItemTypeNumeric::SameValue", same);
    return same;
}

std::string SetupItemTypeNumeric::UIValue() const {
    char text[64];
    return GenericFunctions::PrintFloat(text, sizeof text, m_curUIValue, getNumOfDecimalDigits(m_stepValue));
}

std::optional<std::string> SetupItemTypeNumeric::UIDefaultText() const {
    char text[64];
    return GenericFunctions::PrintFloat(text, sizeof text, m_defValue, getNumOfDecimalDigits(m_stepValue));
}

void SetupItemTypeNumeric::Serialize_Save(TCFXDataWriter& writer, const std::string& /*version*/,
                                          int index) const {
    SaveCommon(writer, "SetupItemTypeNumeric", index, "SetupItemTypeNumeric_AddDescription",
               ArchiveType::Text);
    const std::pair<const char*, float> values[] = {
        {"SetupItemTypeNumeric_MinValue", m_minValue},   {"SetupItemTypeNumeric_MaxValue", m_maxValue},
        {"SetupItemTypeNumeric_StepValue", m_stepValue}, {"SetupItemTypeNumeric_DefValue", m_defValue},
        {"SetupItemTypeNumeric_CurValue", m_curValue},   {"SetupItemTypeNumeric_CurUIValue", m_curUIValue}};
    for (const auto& [name, value] : values) {
        writer.addBaseElement(IndexedKey(name, index).c_str(), ArchiveType::Float, value);
    }
}

std::unique_ptr<SetupItemTypeNumeric> SetupItemTypeNumeric::Load(const TCFXDataReader& reader, int index) {
    auto item = std::make_unique<SetupItemTypeNumeric>();
    item->LoadCommon(reader, "SetupItemTypeNumeric", index, "SetupItemTypeNumeric_AddDescription");
    const auto value = [&](const char* name) {
        return reader.getBaseValueAsFloat(IndexedKey(name, index).c_str());
    };
    item->m_minValue = value("SetupItemTypeNumeric_MinValue");
    item->m_maxValue = value("SetupItemTypeNumeric_MaxValue");
    item->m_stepValue = value("SetupItemTypeNumeric_StepValue");
    item->m_defValue = value("SetupItemTypeNumeric_DefValue");
    item->m_curValue = value("SetupItemTypeNumeric_CurValue");
    item->m_curUIValue = value("SetupItemTypeNumeric_CurUIValue");
    return item;
}

// ---- date/time ----

bool SetupItemTypeDateTime::SameValue(const SetupItemType& /*other*/) const {
    LogSame("SetupItemTypeDateTime::SameValue", false);
    return false;
}

std::string SetupItemTypeDateTime::UIValue() const {
    const time_t time = static_cast<time_t>(m_curUIDateTime);
    std::tm local{};
    char text[64] = "";
    if (localtime_r(&time, &local) != nullptr) {
        std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
    }
    return text;
}

// The additional description goes under the list kind's key name: stored archives have it there.
// The times are written as exact whole seconds; readers that take them as floats still read them.
void SetupItemTypeDateTime::Serialize_Save(TCFXDataWriter& writer, const std::string& /*version*/,
                                           int index) const {
    SaveCommon(writer, "SetupItemTypeDateTime", index, "SetupItemTypeList_AddDescription", ArchiveType::Text);
    writer.addBaseElement(IndexedKey("SetupItemTypeDateTime_CurDateTime", index).c_str(), ArchiveType::UInt64,
                          static_cast<long>(m_curDateTime));
    writer.addBaseElement(IndexedKey("SetupItemTypeDateTime_CurUIDateTime", index).c_str(),
                          ArchiveType::UInt64, static_cast<long>(m_curUIDateTime));
}

std::unique_ptr<SetupItemTypeDateTime> SetupItemTypeDateTime::Load(const TCFXDataReader& reader, int index) {
    auto item = std::make_unique<SetupItemTypeDateTime>();
    item->LoadCommon(reader, "SetupItemTypeDateTime", index, "SetupItemTypeList_AddDescription");
    item->m_curDateTime =
        reader.getBaseValueAsInt64(IndexedKey("SetupItemTypeDateTime_CurDateTime", index).c_str());
    item->m_curUIDateTime =
        reader.getBaseValueAsInt64(IndexedKey("SetupItemTypeDateTime_CurUIDateTime", index).c_str());
    return item;
}
