// The setup items a printer describes about itself: the common base and the five kinds (list, numeric,
// date/time, string, checkboxes), each with its user-interface value, its change test and its archive
// keys. Items are owned by PrinterData; links are owned by its link list and only referred to here.
#pragma once

#include "model/ListItem.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class SetupItemLink;
class TCFXDataReader;
class TCFXDataWriter;

enum SetupItemKind : uint8_t {
    PROT_TYPE_LIST = 1,
    PROT_TYPE_NUMERIC = 2,
    PROT_TYPE_DATETIME = 3,
    PROT_TYPE_STRING = 4,
    PROT_TYPE_CHECKBOXES = 5,
};

// The kind's name as the logs show it; "PROT_TYPE_UNKNOWN" for any other code.
const char* SetupItemKindName(uint8_t kind);

class SetupItemType {
public:
    virtual ~SetupItemType() = default;

    const std::string& GetDescription() const { return m_description; }
    void SetDescription(std::string_view text);
    const std::string& GetAddDescription() const { return m_addDescription; }
    void SetAddDescription(std::string_view text);
    uint64_t GetId() const { return m_id; }
    void SetId(uint64_t id) { m_id = id; }
    uint8_t GetType() const { return m_type; }

    // Links that act on this item, in link-list order; not owned.
    const std::vector<const SetupItemLink*>& GetLinks() const { return m_links; }
    void AddLink(const SetupItemLink* link) { m_links.push_back(link); }
    void ClearLinks() { m_links.clear(); }

    // True when the user-interface values are the same, so that nothing has to be written.
    virtual bool SameValue(const SetupItemType& other) const = 0;
    virtual std::string UIValue() const = 0;
    virtual int UIDefaultValue() const { return 0; }
    // The printer's default in the form UIValue() gives; absent for kinds without a default.
    virtual std::optional<std::string> UIDefaultText() const { return std::nullopt; }
    virtual bool IsChanged() const { return false; }
    virtual bool IsReadOnlyParam() const { return false; }
    // A password: its value must not reach a log, a table or the audit trail in clear.
    virtual bool IsConfidential() const { return false; }
    // False with a message for the user when the value may not be written.
    [[nodiscard]] virtual bool CheckFieldValueIsCorrect(std::string& message) const;
    // Same id and same kind; values, texts and links are not compared.
    bool Equals(const SetupItemType& other) const;

    virtual void Serialize_Save(TCFXDataWriter& writer, const std::string& version, int index) const = 0;
    // The item of the given kind stored with the given index; null for an unknown kind.
    static std::unique_ptr<SetupItemType> Serialize_Load(const TCFXDataReader& reader,
                                                         const std::string& version, int index, int kind);

protected:
    explicit SetupItemType(uint8_t type) : m_type(type) {}
    // Kinds copy as values; a copy through the base would slice, hence protected.
    SetupItemType(const SetupItemType&) = default;
    SetupItemType& operator=(const SetupItemType&) = default;
    // Id, type, description and additional description under "<prefix>_<Member>_<index>".
    void SaveCommon(TCFXDataWriter& writer, std::string_view prefix, int index, const char* addDescriptionKey,
                    int addDescriptionType) const;
    void LoadCommon(const TCFXDataReader& reader, std::string_view prefix, int index,
                    const char* addDescriptionKey);

private:
    std::string m_description;
    std::string m_addDescription;
    uint64_t m_id = 0;
    uint8_t m_type;
    std::vector<const SetupItemLink*> m_links;
};

class SetupItemTypeList : public SetupItemType {
public:
    SetupItemTypeList() : SetupItemType(PROT_TYPE_LIST) {}

    int32_t GetFirstValue() const { return m_firstValue; }
    void SetFirstValue(int32_t v) { m_firstValue = v; }
    int32_t GetDefaultValue() const { return m_defaultValue; }
    void SetDefaultValue(int32_t v) { m_defaultValue = v; }
    int32_t GetCurrentValue() const { return m_currentValue; }
    void SetCurrentValue(int32_t v) { m_currentValue = v; }
    int32_t GetCurrentUIValue() const { return m_currentUIValue; }
    void SetCurrentUIValue(int32_t v) { m_currentUIValue = v; }
    const std::vector<ListItem>& GetItems() const { return m_items; }
    void AddItem(std::string_view text, int32_t value);

    bool SameValue(const SetupItemType& other) const override;
    std::string UIValue() const override;
    std::optional<std::string> UIDefaultText() const override;
    void Serialize_Save(TCFXDataWriter& writer, const std::string& version, int index) const override;
    static std::unique_ptr<SetupItemTypeList> Load(const TCFXDataReader& reader, int index);

private:
    int32_t m_firstValue = 0;
    int32_t m_defaultValue = 0;
    int32_t m_currentValue = 0;
    int32_t m_currentUIValue = 0;
    std::vector<ListItem> m_items;
};

class SetupItemTypeNumeric : public SetupItemType {
public:
    SetupItemTypeNumeric() : SetupItemType(PROT_TYPE_NUMERIC) {}

    float GetMinValue() const { return m_minValue; }
    void SetMinValue(float v) { m_minValue = v; }
    float GetMaxValue() const { return m_maxValue; }
    void SetMaxValue(float v) { m_maxValue = v; }
    float GetStepValue() const { return m_stepValue; }
    void SetStepValue(float v) { m_stepValue = v; }
    float GetDefValue() const { return m_defValue; }
    void SetDefValue(float v) { m_defValue = v; }
    float GetCurValue() const { return m_curValue; }
    void SetCurValue(float v) { m_curValue = v; }
    float GetCurUIValue() const { return m_curUIValue; }
    void SetCurUIValue(float v) { m_curUIValue = v; }

    // Equal within a tenth of this item's step.
    bool SameFloatValues(float a, float b) const;
    // Decimals (0..5) that x needs: 1 -> 0, 0.5 -> 1, 0.25 -> 2, 0.001 -> 3.
    static int getNumOfDecimalDigits(float x);

    bool SameValue(const SetupItemType& other) const override;
    std::string UIValue() const override;
    std::optional<std::string> UIDefaultText() const override;
    void Serialize_Save(TCFXDataWriter& writer, const std::string& version, int index) const override;
    static std::unique_ptr<SetupItemTypeNumeric> Load(const TCFXDataReader& reader, int index);

private:
    float m_minValue = 0;
    float m_maxValue = 0;
    float m_stepValue = 0;
    float m_defValue = 0;
    float m_curValue = 0;
    float m_curUIValue = 0;
};

class SetupItemTypeDateTime : public SetupItemType {
public:
    SetupItemTypeDateTime() : SetupItemType(PROT_TYPE_DATETIME) {}

    // Seconds since the epoch, shown in local time.
    int64_t GetCurDateTime() const { return m_curDateTime; }
    void SetCurDateTime(int64_t t) { m_curDateTime = t; }
    int64_t GetCurUIDateTime() const { return m_curUIDateTime; }
    void SetCurUIDateTime(int64_t t) { m_curUIDateTime = t; }

    // Always false: the printer's clock runs on, so a date/time item is always written.
    bool SameValue(const SetupItemType& other) const override;
    // "%Y/%m/%d %H:%M:%S" in local time.
    std::string UIValue() const override;
    void Serialize_Save(TCFXDataWriter& writer, const std::string& version, int index) const override;
    static std::unique_ptr<SetupItemTypeDateTime> Load(const TCFXDataReader& reader, int index);

private:
    int64_t m_curDateTime = 0;
    int64_t m_curUIDateTime = 0;
};

class SetupItemTypeString : public SetupItemType {
public:
    static constexpr uint32_t kMaskConfidential = 0x001; // stored encrypted in the archive
    static constexpr uint32_t kMaskIPv4 = 0x200;
    static constexpr uint32_t kMaskReadOnly = 0x800; // shown, never edited

    SetupItemTypeString() : SetupItemType(PROT_TYPE_STRING) {}

    int32_t GetMinLen() const { return m_minLen; }
    void SetMinLen(int32_t v) { m_minLen = v; }
    int32_t GetMaxLen() const { return m_maxLen; }
    void SetMaxLen(int32_t v) { m_maxLen = v; }
    uint32_t GetDataMask() const { return m_dataMask; }
    void SetDataMask(uint32_t v) { m_dataMask = v; }
    const std::string& GetDefValue() const { return m_defValue; }
    void SetDefValue(std::string_view v);
    const std::string& GetCurValue() const { return m_curValue; }
    void SetCurValue(std::string_view v);
    const std::string& GetCurUIValue() const { return m_curUIValue; }
    void SetCurUIValue(std::string_view v);

    bool SameValue(const SetupItemType& other) const override;
    std::string UIValue() const override { return m_curUIValue; }
    std::optional<std::string> UIDefaultText() const override { return m_defValue; }
    bool IsConfidential() const override { return (m_dataMask & kMaskConfidential) != 0; }
    // A value the printer shows but does not take: writing only what changed must leave it out, or an
    // old archive would have the printer refuse the whole write.
    bool IsReadOnlyParam() const override { return (m_dataMask & kMaskReadOnly) != 0; }
    [[nodiscard]] bool CheckFieldValueIsCorrect(std::string& message) const override;
    void Serialize_Save(TCFXDataWriter& writer, const std::string& version, int index) const override;
    static std::unique_ptr<SetupItemTypeString> Load(const TCFXDataReader& reader, const std::string& version,
                                                     int index);

private:
    int32_t m_minLen = 0;
    int32_t m_maxLen = 0;
    uint32_t m_dataMask = 0;
    std::string m_defValue;
    std::string m_curValue;
    std::string m_curUIValue;
};

struct CheckboxElement {
    int32_t Position = 0;
    std::string Text;
    int32_t ByteIndex = 0;
    int32_t BitMask = 0;
};

class SetupItemTypeCheckbox : public SetupItemType {
public:
    static constexpr size_t kMaxBytes = 512;
    static constexpr size_t kMaxElements = 512;
    using Bytes = std::array<uint8_t, kMaxBytes>;

    SetupItemTypeCheckbox() : SetupItemType(PROT_TYPE_CHECKBOXES) {}

    int32_t GetNumBits() const { return m_numBits; }
    // Cut to what the byte arrays hold (0..4096).
    void SetNumBits(int32_t bits);
    // ceil(NumBits / 8): the bytes that carry meaning.
    size_t MeaningfulBytes() const;
    const Bytes& GetDefValue() const { return m_defValue; }
    Bytes& DefValue() { return m_defValue; }
    const Bytes& GetCurValue() const { return m_curValue; }
    Bytes& CurValue() { return m_curValue; }
    const Bytes& GetCurUIValue() const { return m_curUIValue; }
    Bytes& CurUIValue() { return m_curUIValue; }
    const std::vector<CheckboxElement>& GetElements() const { return m_elements; }
    // Refused when the list is full or the bit lies outside the byte arrays.
    [[nodiscard]] bool AddElement(int32_t position, std::string_view text);

    bool SameValue(const SetupItemType& other) const override;
    // Each meaningful byte in decimal followed by a comma: "1,0,255,".
    std::string UIValue() const override;
    std::optional<std::string> UIDefaultText() const override;
    void Serialize_Save(TCFXDataWriter& writer, const std::string& version, int index) const override;
    static std::unique_ptr<SetupItemTypeCheckbox> Load(const TCFXDataReader& reader, int index);

private:
    int32_t m_numBits = 0;
    Bytes m_defValue{};
    Bytes m_curValue{};
    Bytes m_curUIValue{};
    std::vector<CheckboxElement> m_elements;
};
