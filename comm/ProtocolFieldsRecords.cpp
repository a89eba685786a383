// The descriptive answers: logo descriptors and images, upgrade information, and the status bit
// descriptions of the general and the extended status.
#include "comm/ProtocolFields.h"

#include "base/GenericFunctions.h"
#include "base/Log.h"

#include <cstdio>
#include <string_view>

namespace {

constexpr const char* kWhere = "CreateSetupItem_Prot100";

bool Holds(const ProtocolFieldInfo& field, std::string_view part) {
    std::string scratch;
    return field.ContentView(scratch).find(part) != std::string_view::npos;
}

// A VSTRING or a VINT (a bracketed decimal number is always cut as VINT).
const ProtocolFieldInfo* ExpectStringOrInt(const ProtocolFields& fields, size_t index, const char* error) {
    const ProtocolFieldInfo* field = fields.Field(index);
    if (field == nullptr || (field->Type != FTYPE_VSTRING_VALUE && field->Type != FTYPE_VINT_VALUE)) {
        Log::WriteLog(kWhere, error);
        return nullptr;
    }
    return field;
}

// The nine fields of one logo descriptor from `index` on.
bool ParseLogoDescriptor(const ProtocolFields& fields, size_t index, LogosInfo& info) {
    static constexpr FTYPE kTypes[9] = {FTYPE_VINT_VALUE,    FTYPE_VINT_VALUE,    FTYPE_VSTRING_VALUE,
                                        FTYPE_VSTRING_VALUE, FTYPE_VSTRING_VALUE, FTYPE_VINT_VALUE,
                                        FTYPE_NONE,          FTYPE_VINT_VALUE,    FTYPE_VINT_VALUE};
    for (size_t i = 0; i < 9; ++i) {
        if (kTypes[i] == FTYPE_NONE) {
            if (ExpectStringOrInt(fields, index + i, "FTYPE_VSTRING_VALUE or FTYPE_VINT_VALUE Error") ==
                nullptr)
                return false;
        } else if (fields.Expect(index + i, kTypes[i], kWhere) == nullptr) {
            return false;
        }
    }
    const auto& f = fields.Fields();
    info.LogoId = static_cast<uint64_t>(static_cast<uint32_t>(f[index].IntValue));
    info.MaxLogoCount = f[index + 1].IntValue;
    info.Format = Holds(f[index + 2], "BMP") ? 0 : 1;
    info.Flag = Holds(f[index + 3], "Y") ? 1 : 0;
    info.MemoryTag = Holds(f[index + 4], "M1") ? 0 : 1;
    info.Value = f[index + 5].IntValue;
    const ProtocolFieldInfo& size = f[index + 6];
    info.SizeFlag = Holds(size, "F") ? 1 : 0;
    info.Width = info.Height = LogosInfo::kSizeNotGiven;
    if (Holds(size, "X")) {
        int values[2] = {LogosInfo::kSizeNotGiven, LogosInfo::kSizeNotGiven};
        GenericFunctions::ExtractIntFromString(size.Content().c_str(), values, 2);
        info.Width = values[0];
        info.Height = values[1];
    }
    info.Value1 = f[index + 7].IntValue;
    info.Value2 = f[index + 8].IntValue;
    return true;
}

// One bit description from `index` on (five or six fields); index is left past it.
std::unique_ptr<StatusBitInfo> ParseBitDescription(const ProtocolFields& fields, size_t& index) {
    auto info = std::make_unique<StatusBitInfo>();
    std::string scratch;
    const ProtocolFieldInfo* byteBit = fields.Expect(index, FTYPE_VSTRING_VALUE, kWhere);
    if (byteBit == nullptr)
        return nullptr;
    if (!info->AddByteBit(byteBit->ContentView(scratch))) {
        Log::WriteLog(kWhere, "Add Byte/Bit Error");
        return nullptr;
    }
    const ProtocolFieldInfo* id = ExpectStringOrInt(fields, index + 1, "Add Bit ID Error");
    if (id == nullptr || !info->AddId(id->ContentView(scratch))) {
        if (id != nullptr)
            Log::WriteLog(kWhere, "Add Bit ID Error");
        return nullptr;
    }
    const ProtocolFieldInfo* description = fields.Expect(index + 2, FTYPE_STRING_VALUE, kWhere);
    const ProtocolFieldInfo* flag =
        description ? fields.Expect(index + 3, FTYPE_VINT_VALUE, kWhere) : nullptr;
    if (flag == nullptr)
        return nullptr;
    info->SetDescription(*description->Text);
    index += 4;
    if (flag->IntValue != 0) {
        const ProtocolFieldInfo* extra = fields.Expect(index, FTYPE_STRING_VALUE, kWhere);
        if (extra == nullptr)
            return nullptr;
        info->SetAddDescription(*extra->Text);
        ++index;
    }
    const ProtocolFieldInfo* family = ExpectStringOrInt(fields, index, "Add Signal Family Error");
    if (family == nullptr || !info->AddSignal(family->ContentView(scratch))) {
        if (family != nullptr)
            Log::WriteLog(kWhere, "Add Signal Family Error");
        return nullptr;
    }
    ++index;
    return info;
}

} // namespace

AnswerRecord ProtocolFields::ParseLogosType() const {
    const ProtocolFieldInfo* count = Expect(2, FTYPE_VINT_VALUE, kWhere);
    if (count == nullptr)
        return {};
    auto logos = std::make_unique<LogosType>();
    size_t index = 3;
    for (int i = 0; i < count->IntValue; ++i, index += 9) {
        LogosInfo info;
        if (!ParseLogoDescriptor(*this, index, info))
            return {};
        logos->AddLogosInfo(info);
    }
    const ProtocolFieldInfo* preview = Expect(index, FTYPE_VSTRING_VALUE, kWhere);
    if (preview == nullptr)
        return {};
    logos->SetPrintPreview(Holds(*preview, "Y"));
    if (logos->GetPrintPreview())
        Log::WriteLog(kWhere, "Printer supports PrintPreview");
    logos->CalcNumMaxLogo();
    return {OBJTYPE_LOGOS_TYPE, std::move(logos)};
}

AnswerRecord ProtocolFields::CreateLogoData_Prot100(uint64_t& /*dataErrors*/, OBJTYPE& objType) const {
    constexpr const char* kLogo = "CreateLogoData_Prot100";
    Log::WriteLog(kLogo, "Begin");
    objType = OBJTYPE_NONE;
    AnswerRecord record;
    auto logo = std::make_unique<LogoItem>();
    const ProtocolFieldInfo* id = Expect(2, FTYPE_VINT_VALUE, kLogo);
    if (id != nullptr)
        Log::WriteLogP(kLogo, "Logo ID Number : %d", id->IntValue);
    const ProtocolFieldInfo* type = id ? Expect(3, FTYPE_VSTRING_VALUE, kLogo) : nullptr;
    if (type != nullptr) {
        logo->Type = Holds(*type, "BMP") ? 0 : 1;
        Log::WriteLogP(kLogo, "Logo Type : %d", logo->Type);
    }
    const ProtocolFieldInfo* name = type ? Expect(4, FTYPE_STRING_VALUE, kLogo) : nullptr;
    if (name != nullptr)
        Log::WriteLogP(kLogo, "Logo Filename : %s", name->Text->c_str());
    const ProtocolFieldInfo* size = name ? Expect(5, FTYPE_VSTRING_VALUE, kLogo) : nullptr;
    bool ok = size != nullptr;
    if (ok) {
        // Asked for three so that a third number is seen and refused.
        int values[3] = {};
        const std::string text = size->Content();
        if (GenericFunctions::ExtractIntFromString(text.c_str(), values, 3) != 2) {
            Log::WriteLog(kLogo, "Extract Image size Error");
            ok = false;
        } else {
            logo->Width = values[0];
            logo->Height = values[1];
            Log::WriteLogP(kLogo, "Logo Image Size : %s (%d x %d)", text.c_str(), logo->Width, logo->Height);
        }
    }
    const ProtocolFieldInfo* dataSize = ok ? Expect(6, FTYPE_VINT_VALUE, kLogo) : nullptr;
    const ProtocolFieldInfo* image = dataSize ? Expect(7, FTYPE_VDATABYTES, kLogo) : nullptr;
    ok = image != nullptr;
    if (ok && (dataSize->IntValue < 0 || image->Size != static_cast<uint32_t>(dataSize->IntValue))) {
        Log::WriteLogP(kLogo, "Image size Error (%d - %d)", dataSize->IntValue,
                       static_cast<int>(image->Size));
        ok = false;
    }
    if (ok && Expect(8, FTYPE_VINT_VALUE, kLogo) != nullptr && ChecksumMatches(8)) {
        logo->Id = static_cast<uint64_t>(static_cast<uint32_t>(id->IntValue));
        logo->FileName = *name->Text;
        logo->Image = image->Data;
        record = AnswerRecord(OBJTYPE_LOGO_ITEM, std::move(logo));
        objType = OBJTYPE_LOGO_ITEM;
    }
    Log::WriteLog(kLogo, "End");
    return record;
}

AnswerRecord ProtocolFields::ParseUpgradeInfo() const {
    const ProtocolFieldInfo* mode = Expect(2, FTYPE_VSTRING_VALUE, kWhere);
    if (mode == nullptr)
        return {};
    auto info = std::make_unique<UpgradeDataInfo>();
    if (!info->SetUpgradeMode(*mode->Text)) {
        Log::WriteLog(kWhere, "SetUpgradeMode Error");
        return {};
    }
    const ProtocolFieldInfo* settings = Field(3);
    const FTYPE settingsType = settings ? settings->Type : FTYPE_NONE;
    if (settingsType == FTYPE_VSTRING_VALUE) {
        if (!info->SetUpgradeConfigurationSettings(*settings->Text)) {
            Log::WriteLog(kWhere, "SetUpgradeConfigurationSettings Error(FTYPE_VSTRING_VALUE)");
            return {};
        }
    } else if (settingsType == FTYPE_EMPTY) {
        if (!info->SetUpgradeConfigurationSettings("")) {
            Log::WriteLog(kWhere, "SetUpgradeConfigurationSettings Error(FTYPE_EMPTY)");
            return {};
        }
    } else if (settingsType == FTYPE_VINT_VALUE) {
        char text[16];
        snprintf(text, sizeof text, "%d;", settings->IntValue);
        if (!info->SetUpgradeConfigurationSettings(text)) {
            Log::WriteLog(kWhere, "SetUpgradeConfigurationSettings Error(FTYPE_VINT_VALUE)");
            return {};
        }
    } else {
        Log::WriteLog(kWhere, "FTYPE_VSTRING_VALUE/FTYPE_EMPTY/FTYPE_VINT_VALUE Error");
        return {};
    }
    const ProtocolFieldInfo* ids = Expect(4, FTYPE_VSTRING_VALUE, kWhere);
    if (ids == nullptr)
        return {};
    if (!info->SetUpgradeDeviceIDs(*ids->Text)) {
        Log::WriteLog(kWhere, "SetUpgradeDeviceIDs Error");
        return {};
    }
    return {OBJTYPE_UPGRADE_DATA_INFO, std::move(info)};
}

bool ProtocolFields::ParseStatusDescriptions(size_t index, int count,
                                             std::vector<std::unique_ptr<StatusBitInfo>>& out) const {
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<StatusBitInfo> info = ParseBitDescription(*this, index);
        if (info == nullptr)
            return false;
        out.push_back(std::move(info));
    }
    return true;
}

bool ProtocolFields::ParseExplainedBits(std::vector<std::unique_ptr<StatusBitInfo>>& out) const {
    const ProtocolFieldInfo* bits = Expect(4, FTYPE_VINT_VALUE, kWhere);
    if (bits == nullptr)
        return false;
    Log::WriteLogP(kWhere, "Number of bits to explain : %d", bits->IntValue);
    return ParseStatusDescriptions(5, bits->IntValue, out);
}

AnswerRecord ProtocolFields::ParseStatusGen() const {
    const ProtocolFieldInfo* ports = Expect(2, FTYPE_VINT_VALUE, kWhere);
    if (ports == nullptr)
        return {};
    Log::WriteLogP(kWhere, "StatusPorts : %d", ports->IntValue);
    const ProtocolFieldInfo* mask = Expect(3, FTYPE_VDATABYTES, kWhere);
    if (mask == nullptr)
        return {};
    if (mask->Size != 4) {
        Log::WriteLogP(kWhere, "Buffer Size error: %d - %d", 4, static_cast<int>(mask->Size));
        return {};
    }
    const uint32_t supported = GenericFunctions::ConvertByteBufferToULong4(mask->Data.data());
    Log::WriteLogP(kWhere, "Bit mask supported : 0x%08x", supported);
    std::vector<std::unique_ptr<StatusBitInfo>> descriptions;
    if (!ParseExplainedBits(descriptions))
        return {};
    auto record = std::make_unique<StatusInfoGenData>();
    record->SetStatusPorts(ports->IntValue);
    record->SetStatusBitMaskSupported(supported);
    if (!descriptions.empty())
        record->AddStatusBitInfoList(std::move(descriptions));
    return {OBJTYPE_STATUS_INFO_GEN, std::move(record)};
}

AnswerRecord ProtocolFields::ParseStatusExt() const {
    const ProtocolFieldInfo* ports = Expect(2, FTYPE_VINT_VALUE, kWhere);
    if (ports == nullptr)
        return {};
    Log::WriteLogP(kWhere, "StatusPorts : %d", ports->IntValue);
    const ProtocolFieldInfo* bytes = Expect(3, FTYPE_VINT_VALUE, kWhere);
    if (bytes == nullptr)
        return {};
    Log::WriteLogP(kWhere, "Number of bytes of extended status : %d", bytes->IntValue);
    std::vector<std::unique_ptr<StatusBitInfo>> descriptions;
    if (!ParseExplainedBits(descriptions))
        return {};
    auto record = std::make_unique<StatusInfoExtData>();
    record->SetStatusPorts(ports->IntValue);
    record->SetNumBytesStatus(bytes->IntValue);
    if (!descriptions.empty())
        record->AddStatusBitInfoList(std::move(descriptions));
    return {OBJTYPE_STATUS_INFO_EXT, std::move(record)};
}
