// Turning a positive answer into its record: the dispatch on the command tag and the small layouts
// (version, text pages, id lists, masks, line table, font module, live status bytes).
#include "comm/ProtocolFields.h"

#include "base/Log.h"

#include <algorithm>
#include <cstring>

namespace {

const char* TypeErrorText(FTYPE type) {
    switch (type) {
    case FTYPE_VINT_VALUE:
        return "FTYPE_VINT_VALUE Error";
    case FTYPE_VSTRING_VALUE:
        return "FTYPE_VSTRING_VALUE Error";
    case FTYPE_STRING_VALUE:
        return "FTYPE_STRING_VALUE Error";
    case FTYPE_VDATABYTES:
        return "FTYPE_VDATABYTES Error";
    case FTYPE_STX:
        return "FTYPE_STX Error";
    case FTYPE_VCMDID_VALUE:
        return "FTYPE_VCMDID_VALUE Error";
    default:
        return "Field Type Error";
    }
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The `count` ids from field 3 on, then the checksum field over them.
template <class List> AnswerRecord ParseIds(const ProtocolFields& fields, int count, OBJTYPE type) {
    constexpr const char* kWhere = "CreateSetupItem_Prot100";
    auto list = std::make_unique<List>();
    size_t index = 3;
    for (int i = 0; i < count; ++i, ++index) {
        const ProtocolFieldInfo* id = fields.Expect(index, FTYPE_VINT_VALUE, kWhere);
        if (id == nullptr)
            return {};
        list->AddID(static_cast<uint64_t>(static_cast<uint32_t>(id->IntValue)));
    }
    if (fields.Expect(index, FTYPE_VINT_VALUE, kWhere) == nullptr || !fields.ChecksumMatches(index))
        return {};
    return {type, std::move(list)};
}

} // namespace

const ProtocolFieldInfo* ProtocolFields::Expect(size_t index, FTYPE type, const char* where) const {
    if (!IsType(index, type)) {
        Log::WriteLog(where, TypeErrorText(type));
        return nullptr;
    }
    return &m_fields[index];
}

const ProtocolFieldInfo* ProtocolFields::ExpectValue(size_t index, const char* where,
                                                     const char* error) const {
    const ProtocolFieldInfo* field = Field(index);
    std::string scratch;
    if (field == nullptr || (field->Type != FTYPE_VSTRING_VALUE && field->Type != FTYPE_VINT_VALUE) ||
        field->ContentView(scratch).empty()) {
        Log::WriteLog(where, error);
        return nullptr;
    }
    return field;
}

AnswerRecord ProtocolFields::CreateSetupItem(uint64_t& dataErrors, const ProtocolVersion* version,
                                             OBJTYPE& objType) const {
    Log::WriteLog("CreateSetupItem", "Begin");
    objType = OBJTYPE_NONE;
    AnswerRecord record;
    if (version != nullptr && version->Version != 100)
        Log::WriteLogP("CreateSetupItem", "Current Protocoll Version : %d",
                       static_cast<int>(version->Version));
    else
        record = CreateSetupItem_Prot100(dataErrors, objType);
    Log::WriteLog("CreateSetupItem", "End");
    return record;
}

AnswerRecord ProtocolFields::CreateSetupItem_Prot100(uint64_t& dataErrors, OBJTYPE& objType) const {
    constexpr const char* kWhere = "CreateSetupItem_Prot100";
    Log::WriteLog(kWhere, "Begin");
    objType = OBJTYPE_NONE;
    AnswerRecord record;
    if (Expect(0, FTYPE_STX, kWhere) != nullptr && Expect(1, FTYPE_VCMDID_VALUE, kWhere) != nullptr) {
        const std::string_view tag = m_fields[1].Text ? std::string_view(*m_fields[1].Text) : "";
        if (tag == "<C1>")
            record = ParseVersion();
        else if (tag == "<C2>")
            record =
                ParseTextLines<SetupItemHeader>(OBJTYPE_SETUP_HEADER, kWhere, "Number of Header Lines : %d");
        else if (tag == "<C3>")
            record = ParseIdList();
        else if (tag == "<C4>")
            record = CreateSetupItemType_Prot100(dataErrors, objType);
        else if (tag == "<C32>")
            record = ParseTextLines<InfoItemPrnLifeInfo>(OBJTYPE_PRN_LIFE_INFO, kWhere,
                                                         "Number of Printer Life Info Lines : %d");
        else if (tag == "<C33>")
            record = ParseTextLines<InfoItemPrnDeviceInfo>(OBJTYPE_PRN_DEVICE_INFO, kWhere,
                                                           "Number of Printer Device Info Lines : %d");
        else if (tag == "<C35>")
            record = ParseTextLines<InfoItemPrnHeadInfo>(OBJTYPE_PRN_HEAD_INFO, kWhere,
                                                         "Number of Printer Head Info Lines : %d");
        else if (tag == "<C40>")
            record = ParseDataAvailable();
        else if (tag == "<C48>")
            record = ParseLogosType();
        else if (tag == "<C49>")
            record = ParseLogosIdList();
        else if (tag == "<C50>")
            record = CreateLogoData_Prot100(dataErrors, objType);
        else if (tag == "<C64>")
            record = ParseTextLines<ModuleItemPrnModuleList>(OBJTYPE_PRN_MODULE_LIST, kWhere,
                                                             "Number of Modules List : %d");
        else if (tag == "<C80>")
            record = ParseTools();
        else if (tag == "<C81>")
            record = ParseLineTable();
        else if (tag == "<C96>")
            record = ParseFontModule();
        else if (tag == "<C112>")
            record = ParseUpgradeInfo();
        else if (tag == "<C128>")
            record = ParseStatusGen();
        else if (tag == "<C129>")
            record = ParseStatusExt();
        else if (tag == "<C138>")
            record = ParseStatusBytes(kWhere, true);
        else if (tag == "<C139>")
            record = ParseStatusBytes(kWhere, false);
        else
            Log::WriteLogP(kWhere, "Unknown Command ID : %.*s", static_cast<int>(tag.size()), tag.data());
    }
    objType = record ? record.Type() : OBJTYPE_NONE;
    Log::WriteLog(kWhere, "End");
    return record;
}

AnswerRecord ProtocolFields::ParseVersion() const {
    constexpr const char* kWhere = "CreateSetupItem_Prot100";
    const ProtocolFieldInfo* field = Expect(2, FTYPE_VSTRING_VALUE, kWhere);
    if (field == nullptr)
        return {};
    // "<d.dd>": the digits stand at positions 1, 3 and 4, the bracket counted.
    const std::string& text = *field->Text;
    if (text.size() < 6 || !IsDigit(text[1]) || text[2] != '.' || !IsDigit(text[3]) || !IsDigit(text[4])) {
        Log::WriteLog(kWhere, "FTYPE_VSTRING_VALUE Error");
        return {};
    }
    auto version = std::make_unique<ProtocolVersion>();
    version->Version = static_cast<uint64_t>((text[1] - '0') * 100 + (text[3] - '0') * 10 + (text[4] - '0'));
    Log::WriteLogP(kWhere, "Printer Protocoll Version : %d", static_cast<int>(version->Version));
    if (version->Version == 100)
        Log::WriteLog(kWhere, "Printer Protocoll Version Supported");
    return {OBJTYPE_PROTOCOL_VERSION, std::move(version)};
}

template <class T>
AnswerRecord ProtocolFields::ParseTextLines(OBJTYPE type, const char* where, const char* countFormat) const {
    const ProtocolFieldInfo* count = Expect(2, FTYPE_VINT_VALUE, where);
    if (count == nullptr)
        return {};
    Log::WriteLogP(where, countFormat, count->IntValue);
    auto record = std::make_unique<T>();
    for (int i = 0; i < count->IntValue; ++i) {
        const ProtocolFieldInfo* line = Expect(3 + static_cast<size_t>(i), FTYPE_STRING_VALUE, where);
        if (line == nullptr)
            return {};
        Log::WriteLogP(where, "%02d - %s", i, line->Text->c_str());
        record->AddTextLine(*line->Text);
    }
    return {type, std::move(record)};
}

AnswerRecord ProtocolFields::ParseIdList() const {
    constexpr const char* kWhere = "CreateSetupItem_Prot100";
    const ProtocolFieldInfo* count = Expect(2, FTYPE_VINT_VALUE, kWhere);
    if (count == nullptr)
        return {};
    Log::WriteLogP(kWhere, "Total Number of ID : %d", count->IntValue);
    return ParseIds<SetupItemIDList>(*this, count->IntValue, OBJTYPE_SETUP_ID_LIST);
}

AnswerRecord ProtocolFields::ParseLogosIdList() const {
    const ProtocolFieldInfo* count = Expect(2, FTYPE_VINT_VALUE, "CreateSetupItem_Prot100");
    if (count == nullptr)
        return {};
    return ParseIds<LogosIDList>(*this, count->IntValue, OBJTYPE_LOGOS_ID_LIST);
}

AnswerRecord ProtocolFields::ParseDataAvailable() const {
    constexpr const char* kWhere = "CreateSetupItem_Prot100";
    const ProtocolFieldInfo* mask = Expect(2, FTYPE_VINT_VALUE, kWhere);
    if (mask == nullptr)
        return {};
    auto record = std::make_unique<ProtocolDataAvailable>();
    record->SetDataAvailable(static_cast<uint32_t>(mask->IntValue));
    record->SetDataToSave(0);
    Log::WriteLogP(kWhere, "Protocoll Data Available : %d", mask->IntValue);
    return {OBJTYPE_PROTOCOL_DATA_AVAILABLE, std::move(record)};
}

AnswerRecord ProtocolFields::ParseTools() const {
    constexpr const char* kWhere = "CreateSetupItem_Prot100";
    const ProtocolFieldInfo* tools1 = Expect(2, FTYPE_VINT_VALUE, kWhere);
    const ProtocolFieldInfo* tools2 = tools1 ? Expect(3, FTYPE_VINT_VALUE, kWhere) : nullptr;
    if (tools2 == nullptr)
        return {};
    auto record = std::make_unique<ToolsData>();
    record->SetTools1(static_cast<uint32_t>(tools1->IntValue));
    record->SetTools2(static_cast<uint32_t>(tools2->IntValue));
    Log::WriteLogP(kWhere, "Tools1 : 0x%08x", record->GetTools1());
    Log::WriteLogP(kWhere, "Tools2 : 0x%08x", record->GetTools2());
    return {OBJTYPE_TOOLS_DATA, std::move(record)};
}

AnswerRecord ProtocolFields::ParseLineTable() const {
    constexpr const char* kWhere = "CreateSetupItem_Prot100";
    if (Field(2) == nullptr) {
        Log::WriteLog(kWhere, "FTYPE_VINT_VALUE Error");
        return {};
    }
    const ProtocolFieldInfo* count = Expect(3, FTYPE_VINT_VALUE, kWhere);
    if (count == nullptr)
        return {};
    // The count is written as two digits: a larger one would overwrite the first line.
    if (count->IntValue > kMaxLineTableLines) {
        Log::WriteLog(kWhere, "FTYPE_VINT_VALUE Error");
        return {};
    }
    const int lines = count->IntValue < 0 ? 0 : count->IntValue;
    Log::WriteLogP(kWhere, "Number of strings: %d", lines);
    auto table = std::make_unique<LineTable>();
    table->Buffer.assign(LineTable::kSlotSize * static_cast<size_t>(lines) + 2, '\0');
    table->Buffer[0] = static_cast<char>('0' + lines / 10);
    table->Buffer[1] = static_cast<char>('0' + lines % 10);
    for (int i = 0; i < lines; ++i) {
        const ProtocolFieldInfo* line = Expect(4 + static_cast<size_t>(i), FTYPE_STRING_VALUE, kWhere);
        if (line == nullptr)
            return {};
        Log::WriteLogP(kWhere, "Line string: %s", line->Text->c_str());
        // One byte of each slot stays NUL so that every line is terminated.
        const size_t kept = std::min(line->Text->size(), LineTable::kSlotSize - 1);
        memcpy(table->Buffer.data() + 2 + LineTable::kSlotSize * static_cast<size_t>(i), line->Text->data(),
               kept);
    }
    return {OBJTYPE_LINE_TABLE, std::move(table)};
}

AnswerRecord ProtocolFields::ParseFontModule() const {
    constexpr const char* kWhere = "CreateSetupItem_Prot100";
    const ProtocolFieldInfo* size = Expect(2, FTYPE_VINT_VALUE, kWhere);
    if (size == nullptr)
        return {};
    Log::WriteLogP(kWhere, "Module Font Size Expected : %d", size->IntValue);
    const ProtocolFieldInfo* block = Expect(3, FTYPE_VDATABYTES, kWhere);
    if (block == nullptr)
        return {};
    if (size->IntValue < 0 || block->Size != static_cast<uint32_t>(size->IntValue)) {
        Log::WriteLogP(kWhere, "Buffer Size error: %d - %d", size->IntValue, static_cast<int>(block->Size));
        return {};
    }
    if (Expect(4, FTYPE_VINT_VALUE, kWhere) == nullptr || !ChecksumMatches(4))
        return {};
    auto module = std::make_unique<FontModuleData>();
    module->Bytes = block->Data;
    return {OBJTYPE_FONT_MODULE, std::move(module)};
}

AnswerRecord ProtocolFields::ParseStatusBytes(const char* where, bool exactlyFour) const {
    const ProtocolFieldInfo* block = Expect(2, FTYPE_VDATABYTES, where);
    if (block == nullptr)
        return {};
    const bool sizeOk = exactlyFour ? block->Size == 4 : block->Size <= kMaxStatusBytes;
    if (!sizeOk) {
        Log::WriteLogP(where, "Buffer Size error: %d - %d",
                       exactlyFour ? 4 : static_cast<int>(kMaxStatusBytes), static_cast<int>(block->Size));
        return {};
    }
    auto status = std::make_unique<StatusData>();
    status->Bytes = block->Data;
    return {OBJTYPE_STATUS_DATA, std::move(status)};
}
