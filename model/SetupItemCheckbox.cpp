// The checkboxes setup item: a bit field of up to 4096 bits, one described element per bit.
#include "base/Log.h"
#include "model/ArchiveKeys.h"
#include "model/SetupItemType.h"
#include "model/TCFXDataReader.h"
#include "model/TCFXDataWriter.h"

#include <algorithm>

namespace {

constexpr int32_t kMaxBits = static_cast<int32_t>(SetupItemTypeCheckbox::kMaxBytes * 8);

void SaveBytes(TCFXDataWriter& writer, const char* name, int index, const SetupItemTypeCheckbox::Bytes& bytes,
               size_t count) {
    writer.addBaseElement(IndexedKey(std::string(name) + "_Size", index).c_str(), ArchiveType::Int,
                          static_cast<int>(count));
    for (size_t i = 0; i < count; ++i) {
        writer.addBaseElement(IndexedKey(name, index, static_cast<int>(i)).c_str(), ArchiveType::Kind,
                              static_cast<int>(bytes[i]));
    }
}

// The stored count is cut to the array: a damaged file must not write past it.
void LoadBytes(const TCFXDataReader& reader, const char* name, int index,
               SetupItemTypeCheckbox::Bytes& bytes) {
    const int stored = reader.getBaseValueAsInt(IndexedKey(std::string(name) + "_Size", index).c_str());
    const int count = std::clamp(stored, 0, static_cast<int>(bytes.size()));
    for (int i = 0; i < count; ++i) {
        bytes[static_cast<size_t>(i)] =
            static_cast<uint8_t>(reader.getBaseValueAsInt(IndexedKey(name, index, i).c_str()));
    }
}

} // namespace

void SetupItemTypeCheckbox::SetNumBits(int32_t bits) {
    m_numBits = std::clamp(bits, 0, kMaxBits);
}

size_t SetupItemTypeCheckbox::MeaningfulBytes() const {
    return (static_cast<size_t>(m_numBits) + 7) / 8;
}

bool SetupItemTypeCheckbox::AddElement(int32_t position, std::string_view text) {
    if (m_elements.size() >= kMaxElements || position < 0 || position >= kMaxBits) {
        return false;
    }
    m_elements.push_back({position, CutText(text), position / 8, 1 << (position % 8)});
    return true;
}

bool SetupItemTypeCheckbox::SameValue(const SetupItemType& other) const {
    const auto* boxes = dynamic_cast<const SetupItemTypeCheckbox*>(&other);
    const auto count = static_cast<std::ptrdiff_t>(MeaningfulBytes());
    const bool same = boxes != nullptr && std::equal(m_curUIValue.begin(), m_curUIValue.begin() + count,
                                                     boxes->m_curUIValue.begin());
    Log::WriteLog("SetupItemTypeCheckbox::SameValue", same ? "End (Same Value)" : "End (Different Value)");
    return same;
}

std::string SetupItemTypeCheckbox::UIValue() const {
    std::string text;
    for (size_t i = 0; i < MeaningfulBytes(); ++i) {
        text += std::to_string(m_curUIValue[i]) + ",";
    }
    return text;
}

std::optional<std::string> SetupItemTypeCheckbox::UIDefaultText() const {
    std::string text;
    for (size_t i = 0; i < MeaningfulBytes() && i < m_defValue.size(); ++i) {
        text += std::to_string(m_defValue[i]) + ",";
    }
    return text;
}

// "Elements_Size" holds the number of elements written (the bit count, when the printer describes
// every bit): a reader then never looks for elements that are not there.
void SetupItemTypeCheckbox::Serialize_Save(TCFXDataWriter& writer, const std::string& /*version*/,
                                           int index) const {
    SaveCommon(writer, "SetupItemTypeCheckboxes", index, "SetupItemTypeCheckboxes_AddDescription",
               ArchiveType::UInt64);
    const size_t bytes = MeaningfulBytes();
    SaveBytes(writer, "SetupItemTypeCheckboxes_DefValue", index, m_defValue, bytes);
    SaveBytes(writer, "SetupItemTypeCheckboxes_CurValue", index, m_curValue, bytes);
    SaveBytes(writer, "SetupItemTypeCheckboxes_CurUIValue", index, m_curUIValue, bytes);
    writer.addBaseElement(IndexedKey("SetupItemTypeCheckboxes_NumBits", index).c_str(), ArchiveType::Int,
                          m_numBits);
    writer.addBaseElement(IndexedKey("SetupItemTypeCheckboxes_Elements_Size", index).c_str(),
                          ArchiveType::Int, static_cast<int>(m_elements.size()));
    for (size_t k = 0; k < m_elements.size(); ++k) {
        const CheckboxElement& element = m_elements[k];
        const int e = static_cast<int>(k);
        writer.addBaseElement(IndexedKey("SetupItemTypeCheckboxes_Elements_Text", index, e).c_str(),
                              ArchiveType::Text, element.Text);
        writer.addBaseElement(IndexedKey("SetupItemTypeCheckboxes_Elements_Position", index, e).c_str(),
                              ArchiveType::Int, element.Position);
        writer.addBaseElement(IndexedKey("SetupItemTypeCheckboxes_Elements_ByteIndex", index, e).c_str(),
                              ArchiveType::Int, element.ByteIndex);
        writer.addBaseElement(IndexedKey("SetupItemTypeCheckboxes_Elements_BitMask", index, e).c_str(),
                              ArchiveType::Int, element.BitMask);
    }
}

// Byte index and bit mask are derived from the position again rather than trusted from the file.
std::unique_ptr<SetupItemTypeCheckbox> SetupItemTypeCheckbox::Load(const TCFXDataReader& reader, int index) {
    auto item = std::make_unique<SetupItemTypeCheckbox>();
    item->LoadCommon(reader, "SetupItemTypeCheckboxes", index, "SetupItemTypeCheckboxes_AddDescription");
    LoadBytes(reader, "SetupItemTypeCheckboxes_DefValue", index, item->m_defValue);
    LoadBytes(reader, "SetupItemTypeCheckboxes_CurValue", index, item->m_curValue);
    LoadBytes(reader, "SetupItemTypeCheckboxes_CurUIValue", index, item->m_curUIValue);
    item->SetNumBits(reader.getBaseValueAsInt(IndexedKey("SetupItemTypeCheckboxes_NumBits", index).c_str()));
    const int stored =
        reader.getBaseValueAsInt(IndexedKey("SetupItemTypeCheckboxes_Elements_Size", index).c_str());
    const int count = std::clamp(stored, 0, static_cast<int>(kMaxElements));
    for (int e = 0; e < count; ++e) {
        bool found = false;
        const int position = reader.getBaseValueAsInt(
            IndexedKey("SetupItemTypeCheckboxes_Elements_Position", index, e).c_str(), &found);
        if (!found) {
            continue; // a count above the elements present: nothing to describe
        }
        const std::string text = reader.getBaseValueAsHexString(
            IndexedKey("SetupItemTypeCheckboxes_Elements_Text", index, e).c_str());
        if (!item->AddElement(position, text)) {
            Log::WriteLogP("SetupItemTypeCheckbox::Load", "Item %d: element %d with bit %d dropped", index, e,
                           position);
        }
    }
    return item;
}
