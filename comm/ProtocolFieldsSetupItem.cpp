// The "<C4>" answer: one setup item with its links, and the parsers of the five item kinds, which
// share a running field index and a running checksum.
#include "comm/ProtocolFields.h"

#include "base/GenericFunctions.h"
#include "base/Log.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string_view>

namespace {

constexpr const char* kItemWhere = "CreateSetupItemType_Prot100";

// Consumes the field at index when it has the type: the checksum grows by its own.
const ProtocolFieldInfo* Take(const ProtocolFields& fields, size_t& index, uint64_t& checksum, FTYPE type,
                              const char* where) {
    const ProtocolFieldInfo* field = fields.Expect(index, type, where);
    if (field != nullptr) {
        checksum += field->Checksum;
        ++index;
    }
    return field;
}

const ProtocolFieldInfo* TakeValue(const ProtocolFields& fields, size_t& index, uint64_t& checksum,
                                   const char* where, const char* error) {
    const ProtocolFieldInfo* field = fields.ExpectValue(index, where, error);
    if (field != nullptr) {
        checksum += field->Checksum;
        ++index;
    }
    return field;
}

// Consumes the field at index when it has the type; else logs `error`.
const ProtocolFieldInfo* TakeTyped(const ProtocolFields& fields, size_t& index, uint64_t& checksum,
                                   FTYPE type, const char* where, const char* error) {
    if (!fields.IsType(index, type)) {
        Log::WriteLog(where, error);
        return nullptr;
    }
    const ProtocolFieldInfo* field = fields.Field(index++);
    checksum += field->Checksum;
    return field;
}

const ProtocolFieldInfo* TakeText(const ProtocolFields& fields, size_t& index, uint64_t& checksum,
                                  const char* where, const char* error) {
    return TakeTyped(fields, index, checksum, FTYPE_STRING_VALUE, where, error);
}

// Description, additional-description flag and, when the flag is set, the additional description.
bool TakeDescriptions(const ProtocolFields& fields, size_t& index, uint64_t& checksum, SetupItemType& item,
                      const char* where) {
    const ProtocolFieldInfo* description = Take(fields, index, checksum, FTYPE_STRING_VALUE, where);
    if (description == nullptr)
        return false;
    item.SetDescription(*description->Text);
    const ProtocolFieldInfo* flag = Take(fields, index, checksum, FTYPE_VINT_VALUE, where);
    if (flag == nullptr)
        return false;
    if (flag->IntValue != 0) {
        const ProtocolFieldInfo* extra = Take(fields, index, checksum, FTYPE_STRING_VALUE, where);
        if (extra == nullptr)
            return false;
        item.SetAddDescription(*extra->Text);
    }
    return true;
}

int32_t ViewOperationOf(std::string_view part) {
    if (part.find('H') != std::string_view::npos)
        return LINK_VIEW_HIDE;
    if (part.find('D') != std::string_view::npos)
        return LINK_VIEW_DISABLE;
    return LINK_VIEW_SHOW;
}

// "found" or "found,fail"; false when a comma does not give exactly two non-empty parts.
bool ParseViewOperation(std::string_view text, int32_t& found, int32_t& fail) {
    const size_t comma = text.find(',');
    const std::string_view first = text.substr(0, comma);
    found = ViewOperationOf(first);
    fail = found == LINK_VIEW_SHOW ? LINK_VIEW_HIDE : LINK_VIEW_SHOW;
    if (comma == std::string_view::npos)
        return true;
    const std::string_view second = text.substr(comma + 1);
    if (first.empty() || second.empty() || second.find(',') != std::string_view::npos)
        return false;
    fail = ViewOperationOf(second);
    return true;
}

bool TakeLinks(const ProtocolFields& fields, size_t& index, uint64_t& checksum, uint64_t itemId,
               std::vector<std::unique_ptr<SetupItemLink>>& links) {
    const ProtocolFieldInfo* count = Take(fields, index, checksum, FTYPE_VINT_VALUE, kItemWhere);
    if (count == nullptr)
        return false;
    Log::WriteLogP(kItemWhere, "Link Size : %d", count->IntValue);
    for (int i = 0; i < count->IntValue; ++i) {
        const ProtocolFieldInfo* operation = fields.Field(index);
        if (operation == nullptr) {
            Log::WriteLog(kItemWhere, "Link Params Error");
            return false;
        }
        checksum += operation->Checksum;
        ++index;
        int32_t found = 0;
        int32_t fail = 0;
        std::string scratch;
        if (!ParseViewOperation(operation->ContentView(scratch), found, fail)) {
            Log::WriteLog(kItemWhere, "Link Params Error");
            return false;
        }
        Log::WriteLogP(kItemWhere, "Link %d: View Operation :%d/%d", i, found, fail);
        const ProtocolFieldInfo* source = Take(fields, index, checksum, FTYPE_VINT_VALUE, kItemWhere);
        if (source == nullptr)
            return false;
        Log::WriteLogP(kItemWhere, "Link %d: ID Source :%d", i, source->IntValue);
        const ProtocolFieldInfo* value = Take(fields, index, checksum, FTYPE_VINT_VALUE, kItemWhere);
        if (value == nullptr)
            return false;
        Log::WriteLogP(kItemWhere, "Link %d: Link ID Value :%d", i, value->IntValue);
        links.push_back(std::make_unique<SetupItemLink>(
            itemId, static_cast<uint64_t>(static_cast<uint32_t>(source->IntValue)), found, fail,
            value->IntValue));
    }
    return true;
}

// Digits at text[pos..pos+len), or -1.
int DigitsAt(std::string_view text, size_t pos, size_t len) {
    int value = 0;
    for (size_t i = pos; i < pos + len; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// GenericFunctions::ParseInt of the content. The view ends at the closing '>' or at the end of the text,
// where strtol stops as it would at the end of the content.
int ContentInt(const ProtocolFieldInfo& field, int fallback) {
    std::string scratch;
    return GenericFunctions::ParseInt(field.ContentView(scratch).data(), fallback);
}

// A decimal byte list "1,0,255" into bytes; false when malformed or longer than the array. The list
// parser refuses a trailing '>', so it gets the content as a string of its own.
bool ParseByteList(const ProtocolFieldInfo& field, SetupItemTypeCheckbox::Bytes& bytes, int& count) {
    bytes.fill(0);
    const std::string content = field.Content();
    count = GenericFunctions::BufferStringToByteArray(content.c_str(), ',', bytes.data(),
                                                      static_cast<int>(bytes.size()));
    return count > 0;
}

} // namespace

AnswerRecord ProtocolFields::CreateSetupItemType_Prot100(uint64_t& dataErrors, OBJTYPE& objType) const {
    Log::WriteLog(kItemWhere, "Begin");
    AnswerRecord record;
    m_confidential.clear();
    size_t index = 2;
    uint64_t checksum = m_fields.size() > 1 ? m_fields[1].Checksum : 0;
    std::vector<std::unique_ptr<SetupItemLink>> links;
    const ProtocolFieldInfo* id = Take(*this, index, checksum, FTYPE_VINT_VALUE, kItemWhere);
    if (id != nullptr)
        Log::WriteLogP(kItemWhere, "ID Number : %d", id->IntValue);
    const uint64_t itemId = id ? static_cast<uint64_t>(static_cast<uint32_t>(id->IntValue)) : 0;
    const ProtocolFieldInfo* kind = id && TakeLinks(*this, index, checksum, itemId, links)
                                        ? Take(*this, index, checksum, FTYPE_VINT_VALUE, kItemWhere)
                                        : nullptr;
    ItemPtr item;
    if (kind != nullptr) {
        Log::WriteLogP(kItemWhere, "Type : %d", kind->IntValue);
        using Parser = ItemPtr (*)(const ProtocolFields&, size_t&, uint64_t&, uint64_t&, OBJTYPE&);
        static constexpr Parser kParsers[] = {
            ExtractIDInfo_TypeList_Prot100, ExtractIDInfo_TypeNumeric_Prot100,
            ExtractIDInfo_TypeDateTime_Prot100, ExtractIDInfo_TypeString_Prot100,
            ExtractIDInfo_TypeCheckboxes_Prot100};
        if (kind->IntValue >= PROT_TYPE_LIST && kind->IntValue <= PROT_TYPE_CHECKBOXES) {
            Log::WriteLogP(kItemWhere, "Type : %s", SetupItemKindName(static_cast<uint8_t>(kind->IntValue)));
            item = kParsers[kind->IntValue - 1](*this, index, checksum, dataErrors, objType);
        }
        if (item == nullptr)
            Log::WriteLog(kItemWhere, "Extract Type Error");
    }
    if (item != nullptr && Expect(index, FTYPE_VINT_VALUE, kItemWhere) != nullptr) {
        if (static_cast<uint64_t>(static_cast<uint32_t>(m_fields[index].IntValue)) != (checksum & 0xFF)) {
            Log::WriteLog(kItemWhere, "Checksum Error");
        } else {
            item->SetId(itemId);
            Log::WriteLogP(kItemWhere, "Add %d Links", static_cast<int>(links.size()));
            for (const auto& link : links)
                item->AddLink(link.get());
            const OBJTYPE type =
                static_cast<OBJTYPE>(OBJTYPE_SETUP_ITEM_LIST + item->GetType() - PROT_TYPE_LIST);
            record = AnswerRecord(type, std::move(item));
            record.SetLinks(std::move(links));
        }
    }
    objType = record ? record.Type() : OBJTYPE_NONE;
    Log::WriteLog(kItemWhere, "End");
    return record;
}

ProtocolFields::ItemPtr ProtocolFields::ExtractIDInfo_TypeList_Prot100(const ProtocolFields& fields,
                                                                       size_t& index, uint64_t& checksum,
                                                                       uint64_t& dataErrors,
                                                                       OBJTYPE& objType) {
    constexpr const char* kWhere = "ExtractIDInfo_TypeList_Prot100";
    Log::WriteLog(kWhere, "Begin");
    auto item = std::make_unique<SetupItemTypeList>();
    const ProtocolFieldInfo* values[4] = {};
    bool ok = TakeDescriptions(fields, index, checksum, *item, kWhere);
    for (auto& value : values)
        ok = ok && (value = Take(fields, index, checksum, FTYPE_VINT_VALUE, kWhere)) != nullptr;
    const int32_t first = ok ? values[0]->IntValue : 0;
    const int32_t count = ok ? std::max(values[3]->IntValue, 0) : 0;
    for (int32_t i = 0; ok && i < count; ++i) {
        const ProtocolFieldInfo* text = Take(fields, index, checksum, FTYPE_STRING_VALUE, kWhere);
        ok = text != nullptr;
        if (ok)
            item->AddItem(*text->Text, first + i);
    }
    if (!ok) {
        Log::WriteLog(kWhere, "End");
        return nullptr;
    }
    const int32_t def = values[1]->IntValue;
    const int32_t cur = values[2]->IntValue;
    item->SetFirstValue(first);
    item->SetDefaultValue(def);
    item->SetCurrentValue(cur);
    item->SetCurrentUIValue(cur);
    // Compared in 64 bits so that first + count cannot overflow.
    auto inRange = [&](int32_t v) { return v >= first && int64_t{v} < int64_t{first} + count; };
    const bool curOk = inRange(cur);
    const bool defOk = inRange(def);
    if (!curOk) {
        Log::WriteLogP(kWhere, "DATA Error - Current Value %d out of Range", cur);
        ++dataErrors;
    }
    if (!defOk) {
        Log::WriteLogP(kWhere, "DATA Error - Default Value %d out of Range", def);
        ++dataErrors;
    }
    if (!curOk && defOk)
        item->SetCurrentValue(def);
    if (curOk && !defOk)
        item->SetDefaultValue(cur);
    objType = OBJTYPE_SETUP_ITEM_LIST;
    Log::WriteLog(kWhere, "End");
    return item;
}

ProtocolFields::ItemPtr ProtocolFields::ExtractIDInfo_TypeNumeric_Prot100(const ProtocolFields& fields,
                                                                          size_t& index, uint64_t& checksum,
                                                                          uint64_t& dataErrors,
                                                                          OBJTYPE& objType) {
    constexpr const char* kWhere = "ExtractIDInfo_TypeNumeric_Prot100";
    Log::WriteLog(kWhere, "Begin");
    auto item = std::make_unique<SetupItemTypeNumeric>();
    static constexpr const char* kErrors[] = {"Extract MinValue Error", "Extract MaxValue Error",
                                              "Extract StepValue Error", "Extract DefValue Error",
                                              "Extract CurValue Error"};
    float values[5] = {};
    bool ok = TakeDescriptions(fields, index, checksum, *item, kWhere);
    for (size_t i = 0; ok && i < 5; ++i) {
        const ProtocolFieldInfo* field = TakeValue(fields, index, checksum, kWhere, kErrors[i]);
        ok = field != nullptr;
        values[i] = ok ? field->FloatValue : 0.0f;
    }
    if (!ok) {
        Log::WriteLog(kWhere, "End");
        return nullptr;
    }
    const auto [min, max, step, def, cur] = values;
    item->SetMinValue(min);
    item->SetMaxValue(max);
    item->SetStepValue(step);
    item->SetDefValue(def);
    item->SetCurValue(cur);
    item->SetCurUIValue(cur);
    const std::pair<bool, const char*> checks[] = {
        {min >= max, "DATA Error - MinValue >= MaxValue "}, {step <= 0, "DATA Error - StepValue"},
        {def < min, "DATA Error - DefValue < MinValue "},   {def > max, "DATA Error - DefValue > MaxValue "},
        {cur < min, "DATA Error - CurValue < MinValue "},   {cur > max, "DATA Error - CurValue > MaxValue "}};
    for (const auto& [failed, text] : checks) {
        if (failed) {
            Log::WriteLog(kWhere, text);
            ++dataErrors;
        }
    }
    objType = OBJTYPE_SETUP_ITEM_NUMERIC;
    Log::WriteLog(kWhere, "End");
    return item;
}

ProtocolFields::ItemPtr ProtocolFields::ExtractIDInfo_TypeDateTime_Prot100(const ProtocolFields& fields,
                                                                           size_t& index, uint64_t& checksum,
                                                                           uint64_t& /*dataErrors*/,
                                                                           OBJTYPE& objType) {
    constexpr const char* kWhere = "ExtractIDInfo_TypeDateTime_Prot100";
    Log::WriteLog(kWhere, "Begin");
    auto item = std::make_unique<SetupItemTypeDateTime>();
    ItemPtr result;
    if (TakeDescriptions(fields, index, checksum, *item, kWhere)) {
        const ProtocolFieldInfo* field = fields.Field(index);
        if (field == nullptr || field->Type != FTYPE_VSTRING_VALUE) {
            Log::WriteLog(kWhere, "Extract Current Date / Time Value Error");
        } else {
            checksum += field->Checksum;
            ++index;
            // "yyyy/MM/dd HH:mm:ss" read by position; the separators are not looked at.
            std::string scratch;
            const std::string_view text = field->ContentView(scratch);
            std::tm tm{};
            const int parts[6] = {DigitsAt(text, 0, 4),  DigitsAt(text, 5, 2),  DigitsAt(text, 8, 2),
                                  DigitsAt(text, 11, 2), DigitsAt(text, 14, 2), DigitsAt(text, 17, 2)};
            if (std::any_of(std::begin(parts), std::end(parts), [](int v) { return v < 0; })) {
                Log::WriteLog(kWhere, "Extract Current Date / Time Error");
            } else {
                tm.tm_year = parts[0] - 1900;
                tm.tm_mon = parts[1] - 1;
                tm.tm_mday = parts[2];
                tm.tm_hour = parts[3];
                tm.tm_min = parts[4];
                tm.tm_sec = parts[5];
                tm.tm_isdst = -1;
                const time_t when = mktime(&tm);
                char shown[32] = {};
                strftime(shown, sizeof shown, "%d/%m/%Y %H:%M:%S", &tm);
                Log::WriteLogP(kWhere, "Current Date / Time Value (dd/MM/yyyy HH:mm:ss):%s", shown);
                item->SetCurDateTime(when);
                item->SetCurUIDateTime(when);
                objType = OBJTYPE_SETUP_ITEM_DATETIME;
                result = std::move(item);
            }
        }
    }
    Log::WriteLog(kWhere, "End");
    return result;
}

ProtocolFields::ItemPtr ProtocolFields::ExtractIDInfo_TypeString_Prot100(const ProtocolFields& fields,
                                                                         size_t& index, uint64_t& checksum,
                                                                         uint64_t& /*dataErrors*/,
                                                                         OBJTYPE& objType) {
    constexpr const char* kWhere = "ExtractIDInfo_TypeString_Prot100";
    Log::WriteLog(kWhere, "Begin");
    auto item = std::make_unique<SetupItemTypeString>();
    const ProtocolFieldInfo* minLen = nullptr;
    const ProtocolFieldInfo* maxLen = nullptr;
    const ProtocolFieldInfo* mask = nullptr;
    const ProtocolFieldInfo* def = nullptr;
    const ProtocolFieldInfo* cur = nullptr;
    bool ok = TakeDescriptions(fields, index, checksum, *item, kWhere) &&
              (minLen = TakeValue(fields, index, checksum, kWhere, "Extract MinLen Error")) &&
              (maxLen = TakeValue(fields, index, checksum, kWhere, "Extract MaxLen Error")) &&
              (mask = TakeValue(fields, index, checksum, kWhere, "Extract DataMask Error"));
    // A mask value is an integer even when the field is a VSTRING.
    const auto integer = [](const ProtocolFieldInfo* f) {
        return f->Type == FTYPE_VINT_VALUE ? f->IntValue : ContentInt(*f, 0);
    };
    if (ok && integer(mask) == 0) {
        Log::WriteLog(kWhere, "DataMask can't be 0");
        ok = false;
    }
    // A password: the two value fields stay out of the log whatever they turn out to hold.
    if (ok && (static_cast<uint32_t>(integer(mask)) & SetupItemTypeString::kMaskConfidential) != 0) {
        fields.MarkConfidential(index);
        fields.MarkConfidential(index + 1);
    }
    ok = ok && (def = TakeText(fields, index, checksum, kWhere, "Extract DefValue Error")) &&
         (cur = TakeText(fields, index, checksum, kWhere, "Extract CurValue Error"));
    ItemPtr result;
    if (ok) {
        item->SetMinLen(integer(minLen));
        item->SetMaxLen(integer(maxLen));
        item->SetDataMask(static_cast<uint32_t>(integer(mask)));
        item->SetDefValue(*def->Text);
        item->SetCurValue(*cur->Text);
        item->SetCurUIValue(*cur->Text);
        objType = OBJTYPE_SETUP_ITEM_STRING;
        result = std::move(item);
    }
    Log::WriteLog(kWhere, "End");
    return result;
}

ProtocolFields::ItemPtr ProtocolFields::ExtractIDInfo_TypeCheckboxes_Prot100(const ProtocolFields& fields,
                                                                             size_t& index,
                                                                             uint64_t& checksum,
                                                                             uint64_t& /*dataErrors*/,
                                                                             OBJTYPE& objType) {
    constexpr const char* kWhere = "ExtractIDInfo_TypeCheckboxes_Prot100";
    Log::WriteLog(kWhere, "Begin");
    auto item = std::make_unique<SetupItemTypeCheckbox>();
    const ProtocolFieldInfo* bits = nullptr;
    const ProtocolFieldInfo* def = nullptr;
    const ProtocolFieldInfo* cur = nullptr;
    bool ok = TakeDescriptions(fields, index, checksum, *item, kWhere) &&
              (bits = TakeValue(fields, index, checksum, kWhere, "Extract NumBits Error"));
    const int numBits = ok ? ContentInt(*bits, -1) : 0;
    // More elements than the item holds, or a negative count, cannot describe a real item.
    if (ok && (numBits < 0 || static_cast<size_t>(numBits) > SetupItemTypeCheckbox::kMaxElements)) {
        Log::WriteLog(kWhere, "Extract NumBits Error");
        ok = false;
    }
    int defCount = 0;
    int curCount = 0;
    ok = ok && (def = TakeValue(fields, index, checksum, kWhere, "Extract DefValue Error"));
    if (ok && !ParseByteList(*def, item->DefValue(), defCount)) {
        Log::WriteLog(kWhere, "Extract DefValue Error");
        ok = false;
    }
    ok = ok && (cur = TakeValue(fields, index, checksum, kWhere, "Extract CurValue Error"));
    if (ok && !ParseByteList(*cur, item->CurValue(), curCount)) {
        Log::WriteLog(kWhere, "Extract CurValue Error");
        ok = false;
    }
    if (ok && curCount * 8 < numBits) {
        Log::WriteLog(kWhere, "DATA Error - Buffer size < Number of bits ");
        ok = false;
    }
    if (ok) {
        item->CurUIValue() = item->GetCurValue();
        item->SetNumBits(numBits);
    }
    for (int i = 0; ok && i < numBits; ++i) {
        const ProtocolFieldInfo* label =
            TakeText(fields, index, checksum, kWhere, "Extract Field Value Error");
        const ProtocolFieldInfo* position =
            label ? TakeTyped(fields, index, checksum, FTYPE_VINT_VALUE, kWhere, "Extract bit Position Error")
                  : nullptr;
        ok = position != nullptr;
        if (ok && !item->AddElement(position->IntValue, *label->Text)) {
            Log::WriteLog(kWhere, "Extract bit Position Error");
            ok = false;
        }
    }
    Log::WriteLog(kWhere, "End");
    if (!ok)
        return nullptr;
    objType = OBJTYPE_SETUP_ITEM_CHECKBOX;
    return item;
}

std::vector<size_t> ProtocolFields::ConfidentialFieldIndices() const {
    m_confidential.clear();
    // Only item answers describe items; other answers, logos and modules among them, are not parsed.
    if (!IsType(1, FTYPE_VCMDID_VALUE) || m_fields[1].Text != "<C4>")
        return {};
    Log::Quiet quiet;
    uint64_t dataErrors = 0;
    OBJTYPE objType = OBJTYPE_NONE;
    (void)CreateSetupItem_Prot100(dataErrors, objType);
    return m_confidential;
}
