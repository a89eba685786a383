#include "firmware/ModuleData.h"

#include "base/GenericFunctions.h"
#include "base/Log.h"
#include "firmware/Checksums.h"
#include "firmware/EncryptionMode1.h"
#include "firmware/EncryptionPSW.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kLine48 = "------------------------------------------------\n";

struct ModuleIdName {
    char id;
    int type;
};

constexpr ModuleIdName kModuleIds[] = {
    {'D', ModuleData::kTypeDisk},    {'F', ModuleData::kTypeFont},      {'H', ModuleData::kTypeRfidHf},
    {'I', ModuleData::kTypeRfidUhf}, {'E', ModuleData::kTypeBluetooth}, {'L', ModuleData::kTypeLogos},
    {'N', ModuleData::kTypeCamera},  {'O', ModuleData::kTypeCamera},
};

uint16_t ReadBigEndian16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

void AppendCut(std::string& out, const std::string& text, size_t limit) {
    if (out.size() >= limit)
        return;
    out.append(text, 0, limit - out.size());
}

} // namespace

bool ModuleData::LoadModuleFromFile(const char* path) {
    Release();
    int size = 0;
    auto bytes = GenericFunctions::readfile(path, &size);
    if (!bytes) {
        Log::WriteLogP("ModuleData::LoadModuleFromFile", "File not Correct! Cannot read <%s>!",
                       path ? path : "");
        return false;
    }
    m_stored = std::move(*bytes);
    return Load("ModuleData::LoadModuleFromFile");
}

bool ModuleData::LoadModuleFromMemory(const uint8_t* buffer, int length) {
    Release();
    if (buffer == nullptr || length < 0) {
        Log::WriteLog("ModuleData::LoadModuleFromMemory", "File not Correct! No data!");
        return false;
    }
    m_stored.assign(buffer, buffer + length);
    return Load("ModuleData::LoadModuleFromMemory");
}

bool ModuleData::Load(const char* where) {
    // Everything below reads the header area and the checksum frame at fixed offsets.
    if (m_stored.size() < static_cast<size_t>(kHeaderAreaSize)) {
        Log::WriteLogP(where, "File not Correct! Too short (%zu bytes, at least %d needed)!", m_stored.size(),
                       kHeaderAreaSize);
        Release();
        return false;
    }
    m_working = m_stored;
    m_header.assign(m_stored.begin(), m_stored.begin() + kHeaderAreaSize);
    const uint8_t order = m_stored[kByteOrderOffset];
    if (order != 'B' && order != 'L') {
        Log::WriteLog(where, "File not Correct! Endianism Error!");
        Release();
        return false;
    }
    if (!CheckSumOk()) {
        Log::WriteLog(where, "File not Correct! CheckSumOk Error!");
        Release();
        return false;
    }
    if (!ExtractModuleHeaderParams()) {
        Log::WriteLog(where, "File not Correct! Params Error!");
        Release();
        return false;
    }
    if (!DecodingBufferExtractInfo()) {
        Log::WriteLog(where, "File not Correct! Decoding Error!");
        Release();
        return false;
    }
    return true;
}

void ModuleData::Release() {
    m_stored.clear();
    m_working.clear();
    m_header.clear();
}

int ModuleData::GetModuleID() const {
    if (m_moduleId.size() == 1)
        for (const auto& entry : kModuleIds)
            if (entry.id == m_moduleId[0])
                return entry.type;
    return kTypeOther;
}

const char* ModuleData::TypeName(int moduleType) {
    switch (moduleType) {
    case kTypeDisk:
        return "DISK MODULE";
    case kTypeFont:
        return "FONT MODULE";
    case kTypeRfidHf:
        return "RFID_HF MODULE";
    case kTypeRfidUhf:
        return "RFID_UHF MODULE";
    case kTypeBluetooth:
        return "BLUETOOTH MODULE";
    case kTypeLogos:
        return "LOGOS MODULE";
    case kTypeCamera:
        return "CAMERA MODULE";
    default:
        return "OTHER MODULE";
    }
}

bool ModuleData::CheckSumOk() const {
    const size_t n = m_stored.size();
    if (n < static_cast<size_t>(kHeaderAreaSize)) {
        Log::WriteLogP("ModuleData::CheckSumOk", "File too short for the checksum frame (%zu bytes)!", n);
        return false;
    }
    const uint16_t stored1 = ReadBigEndian16(&m_stored[n - 4]);
    const uint16_t stored2 = ReadBigEndian16(&m_stored[n - 2]);
    const ByteSums sums = ComputeByteSums(std::span(m_stored).subspan(kSumsStart, n - kFrameBytes));
    if (stored1 != sums.sum1) {
        Log::WriteLogP("ModuleData::CheckSumOk", "Checksums 1 not Correct! Read value %d Calc value  %d!",
                       stored1, sums.sum1);
        return false;
    }
    if (stored2 != sums.sum2) {
        Log::WriteLogP("ModuleData::CheckSumOk", "Checksums 2 not Correct! Read value %d Calc value  %d!",
                       stored2, sums.sum2);
        return false;
    }
    return true;
}

bool ModuleData::ExtractStringFieldFromHeader(std::string& out, const char* key) const {
    static constexpr const char* where = "ModuleData::ExtractStringFieldFromHeader";
    const int areaLength = static_cast<int>(m_header.size());
    const std::vector<int> hits = GenericFunctions::FindString(m_header.data(), areaLength, key);
    if (hits.size() != 1) {
        Log::WriteLogP(where, "%s not found!", key);
        return false;
    }
    const size_t start = static_cast<size_t>(hits[0]) + strlen(key);
    const auto* lineFeed =
        static_cast<const uint8_t*>(memchr(m_header.data() + start, '\n', m_header.size() - start));
    if (lineFeed == nullptr) {
        Log::WriteLogP(where, "%s Error!", key);
        return false;
    }
    const size_t count = static_cast<size_t>(lineFeed - m_header.data()) - start;
    out.clear();
    for (size_t i = 0; i < count && out.size() < kTextFieldSize - 1; ++i) {
        const uint8_t c = m_header[start + i];
        if (c == 0)
            break;
        out.push_back(c >= 0x20 && c <= 0x7E ? static_cast<char>(c) : ' ');
    }
    Log::WriteLogP(where, "String Found with Param %s : %s", key, out.c_str());
    return true;
}

bool ModuleData::ExtractIntFieldFromHeader(int* out, const char* key) const {
    std::string text;
    if (!ExtractStringFieldFromHeader(text, key) || text.empty())
        return false;
    return GenericFunctions::ParseCheckInt(text.c_str(), out);
}

bool ModuleData::ExtractModuleHeaderParams() {
    if (m_header.size() < static_cast<size_t>(kHeaderAreaSize) || m_stored.size() < m_header.size())
        return false;
    m_release.clear();
    m_moduleId.clear();
    m_date.clear();
    m_code.clear();
    m_factory.clear();
    m_note.clear();
    m_moduleType = kTypeOther;
    // A missing key leaves its value empty or preset; the checks below decide what is required.
    (void)ExtractStringFieldFromHeader(m_release, "REL:");
    (void)ExtractStringFieldFromHeader(m_moduleId, "MOD_ID:");
    (void)ExtractStringFieldFromHeader(m_date, "DATE:");
    (void)ExtractStringFieldFromHeader(m_code, "CODE:");
    m_fileSize = 0;
    (void)ExtractIntFieldFromHeader(&m_fileSize, "FILE_SIZE:");
    m_scrambleByte = m_stored[kScrambleByteOffset];
    (void)ExtractStringFieldFromHeader(m_factory, "FACTORY:");
    (void)ExtractStringFieldFromHeader(m_note, "NOTE:");
    m_decodingMode = m_scrambleByte != 0 ? -1 : 0;
    (void)ExtractIntFieldFromHeader(&m_decodingMode, "ENMODE:");
    if (m_moduleId.size() == 1)
        m_moduleType = GetModuleID();
    return ValidateHeaderParams();
}

bool ModuleData::ValidateHeaderParams() const {
    static constexpr const char* where = "ModuleData::ExtractModuleHeaderParams";
    static constexpr const char* textError = "File not Correct! Exctract param %s Error(Value <%s>)!";
    if (m_release.empty()) {
        Log::WriteLogP(where, textError, "REL:", m_release.c_str());
        return false;
    }
    if (m_moduleId.size() != 1) {
        Log::WriteLogP(where, textError, "MOD_ID:", m_moduleId.c_str());
        return false;
    }
    if (m_date.empty()) {
        Log::WriteLogP(where, textError, "DATE:", m_date.c_str());
        return false;
    }
    if (m_code.empty()) {
        Log::WriteLogP(where, textError, "CODE:", m_code.c_str());
        return false;
    }
    if (m_fileSize == 0) {
        Log::WriteLogP(where, "File not Correct! Exctract param %s Error(Value <%d>)!",
                       "FILE_SIZE:", m_fileSize);
        return false;
    }
    const auto expected = static_cast<long long>(m_stored.size()) - kFrameBytes;
    if (m_fileSize != expected) {
        Log::WriteLogP(where, "File not Correct! Exctract param %s Error(Value <%d> and not %lld)!",
                       "FILE_SIZE:", m_fileSize, expected);
        return false;
    }
    return true;
}

bool ModuleData::DecodingBufferExtractInfo() {
    static constexpr const char* where = "ModuleData::DecodingBufferExtractInfo";
    if (m_decodingMode == 0 || m_decodingMode == 1) {
        // The range must lie inside the working copy; FILE_SIZE has been checked against the length,
        // this guards direct calls too.
        const long long length = static_cast<long long>(m_fileSize) - kDecodedLengthBias;
        const bool inside = m_working.size() > static_cast<size_t>(kScrambleByteOffset) &&
                            length <= static_cast<long long>(m_working.size()) - kPayloadOffset;
        if (!inside) {
            Log::WriteLog(where, m_decodingMode == 1 ? "Decryption Buffer, mode 1, Error!"
                                                     : "Decryption Buffer, mode PSW, Error!");
            return false;
        }
        const int n = static_cast<int>(length);
        if (m_decodingMode == 1)
            (void)EncryptionMode1::DecryptionBuffer(m_scrambleByte, m_working.data(), kPayloadOffset, n);
        else
            (void)EncryptionPSW::DecryptionBuffer(m_scrambleByte, m_working.data(), kPayloadOffset, n);
        m_working[kScrambleByteOffset] = 0;
    }
    m_extraInfo.clear();
    if (m_moduleId == "F") {
        std::string fonts;
        ExtractFontModuleInformations(fonts);
        AppendCut(m_extraInfo, "\nFONT MODULE:\n", kExtraInfoSize);
        AppendCut(m_extraInfo, fonts, kExtraInfoSize);
    }
    return true;
}

void ModuleData::ExtractFontModuleInformations(std::string& out) const {
    const int length = static_cast<int>(m_working.size());
    if (length <= kPayloadOffset)
        return;
    const uint8_t* data = m_working.data();
    for (int p : GenericFunctions::FindString(data, length, kPayloadOffset, "FNT:")) {
        const auto at = static_cast<size_t>(p);
        std::string name;
        for (size_t i = at + 4; i < m_working.size() && name.size() < kFontNameMax && data[i] != 0; ++i)
            name.push_back(static_cast<char>(data[i]));
        if (at + 37 < m_working.size() && data[at + 26] == 'N') {
            char code[32];
            snprintf(code, sizeof code, " (Code: %d)", data[at + 37]);
            name += code;
        }
        out += "  " + name + "\n";
    }
}

std::string ModuleData::GetFileInfo() const {
    std::string out = kLine48;
    out += std::string("Type:       ") + TypeName(GetModuleID()) + "\n";
    out += "Release:    " + m_release + "\n";
    out += "Factory:    " + m_factory + "\n";
    out += "Note:       " + m_note + "\n";
    out += "Code:       " + m_code + "\n";
    out += kLine48;
    out += m_extraInfo;
    return out;
}
