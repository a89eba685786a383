// Cutting an answer into fields, each field's checksum summed over its bytes once its end is found, and
// the recognition of error answers.
#include "comm/ProtocolFields.h"

#include "base/GenericFunctions.h"
#include "base/Log.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

constexpr std::string_view kBegin = "<DATABYTES>";
constexpr std::string_view kEnd = "</DATABYTES>";

// Texts and binary blocks are summed and cleaned eight bytes at a time.
constexpr uint64_t kLowBytes = 0x0101010101010101;
constexpr uint64_t kHighBits = 0x8080808080808080;

uint64_t LoadWord(const uint8_t* bytes) {
    uint64_t word;
    memcpy(&word, bytes, sizeof word);
    return word;
}

// The sum of the eight bytes: pairs in 16-bit lanes, the lanes added by the multiplication.
uint64_t SumOfWord(uint64_t word) {
    constexpr uint64_t kEvenBytes = 0x00FF00FF00FF00FF;
    const uint64_t pairs = (word & kEvenBytes) + ((word >> 8) & kEvenBytes);
    return (pairs * 0x0001000100010001) >> 48;
}

uint64_t SumOf(const uint8_t* bytes, size_t size) {
    uint64_t sum = 0;
    size_t i = 0;
    for (; i + 8 <= size; i += 8)
        sum += SumOfWord(LoadWord(bytes + i));
    for (; i < size; ++i)
        sum += bytes[i];
    return sum;
}

uint64_t SumOf(std::string_view bytes) {
    return SumOf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Printable ASCII (0x20..0x7E) is kept, any other byte becomes a space: the rule of
// GenericFunctions::ConvertBufferToStringAndClean.
char CleanByte(uint8_t byte) {
    return static_cast<uint8_t>(byte - 0x20) < 0x5F ? static_cast<char>(byte) : ' ';
}

// True when all eight bytes are printable. Below 0x80 no lane carries: adding 0x60 sets the high bit
// from 0x20 up, adding 0x01 sets it only at 0x7F.
bool IsPrintableWord(uint64_t word) {
    if ((word & kHighBits) != 0)
        return false;
    return ((word + 0x60 * kLowBytes) & ~(word + kLowBytes) & kHighBits) == kHighBits;
}

// The cleaned text of the `size` bytes before the field's first NUL, which is found already.
void SetCleanText(ProtocolFieldInfo& field, const uint8_t* bytes, size_t size) {
    std::string& text = field.Text.emplace(size, '\0');
    char* out = text.data();
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        const uint64_t word = LoadWord(bytes + i);
        if (IsPrintableWord(word)) {
            memcpy(out + i, &word, sizeof word);
            continue;
        }
        for (size_t j = i; j < i + 8; ++j)
            out[j] = CleanByte(bytes[j]);
    }
    for (; i < size; ++i)
        out[i] = CleanByte(bytes[i]);
}

// Bytes of bytes[0..size) before the first NUL.
size_t LengthBeforeNul(const uint8_t* bytes, size_t size) {
    const void* nul = memchr(bytes, 0x00, size);
    return nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - bytes) : size;
}

FTYPE ControlType(uint8_t byte) {
    switch (byte) {
    case 0x02:
        return FTYPE_STX;
    case 0x03:
        return FTYPE_ETX;
    case 0x06:
        return FTYPE_ACK;
    case 0x15:
        return FTYPE_NACK;
    default:
        return FTYPE_NONE;
    }
}

// One to nine digits, by far the most common number, read without the C parsers: the value is exact in
// an int, and converting it to float rounds the same exact value that strtof rounds.
bool SetShortDecimal(ProtocolFieldInfo& field, std::string_view content) {
    constexpr size_t kMaxDigits = 9;
    if (content.empty() || content.size() > kMaxDigits)
        return false;
    int32_t value = 0;
    for (char c : content) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    field.IntValue = value;
    field.FloatValue = static_cast<float>(value);
    return true;
}

// "$0x" fields (a bracketed "$" and what follows) carry hexadecimal numbers such as masks: read them as
// such rather than as decimal, which would make every one of them 0. The content is followed by its
// closing '>' or the end of the text: neither can continue a number, so the C parsers stop where they
// would on the content alone.
void SetNumericValues(ProtocolFieldInfo& field, std::string_view content) {
    if (SetShortDecimal(field, content))
        return;
    if (content.starts_with('$')) {
        unsigned long value = content.starts_with("$0x") ? strtoul(content.data() + 3, nullptr, 16) : 0;
        field.IntValue = static_cast<int32_t>(static_cast<uint32_t>(value));
        field.FloatValue = static_cast<float>(field.IntValue);
        return;
    }
    field.IntValue = GenericFunctions::ParseInt(content.data(), 0);
    field.FloatValue = GenericFunctions::ParseFloat(content.data(), 0.0f, nullptr);
}

// Cuts in one pass: each field's end is found with a library search rather than byte by byte, and its
// checksum summed over its range once the end is known. A field whose end never comes is dropped.
class FieldCutter {
public:
    FieldCutter(const uint8_t* buffer, size_t length, std::vector<ProtocolFieldInfo>& fields)
        : m_buffer(buffer), m_length(length), m_fields(fields) {
        // Fields are seldom shorter than eight bytes: one allocation instead of a run of regrowths.
        m_fields.reserve(std::min<size_t>(length / 8 + 1, kReserveLimit));
    }

    void Run() {
        for (size_t i = 0; i < m_length;)
            i = Between(i);
    }

private:
    static constexpr size_t kNotFound = SIZE_MAX;
    static constexpr size_t kReserveLimit = 256;

    // The first `byte` in [from, length), or kNotFound.
    size_t FindByte(size_t from, uint8_t byte) const {
        if (from >= m_length)
            return kNotFound;
        const void* hit = memchr(m_buffer + from, byte, m_length - from);
        return hit ? static_cast<size_t>(static_cast<const uint8_t*>(hit) - m_buffer) : kNotFound;
    }

    // Handles the byte at i outside any field; returns where to go on.
    size_t Between(size_t i) {
        const uint8_t byte = m_buffer[i];
        if (FTYPE control = ControlType(byte); control != FTYPE_NONE) {
            ProtocolFieldInfo& field = m_fields.emplace_back();
            field.Type = control;
            field.Data = {byte};
            field.Size = 1;
            field.Checksum = byte;
            m_stxSeen = m_stxSeen || control == FTYPE_STX;
            return i + 1;
        }
        if (!m_stxSeen)
            return i + 1;
        if (byte == 0x00) { // an empty text field, ended by this NUL
            EndText(i, i);
            return i + 1;
        }
        const size_t end = FindByte(i + 1, byte == '<' ? '>' : 0x00);
        if (end == kNotFound)
            return m_length;
        if (byte != '<') {
            EndText(i, end);
            return end + 1;
        }
        return EndBracketed(i, end);
    }

    // Returns where to go on: past the field, or past the binary block it opens.
    size_t EndBracketed(size_t start, size_t end) {
        const uint8_t* source = m_buffer + start;
        const size_t size = end - start + 1;
        if (size == 2) {
            ProtocolFieldInfo& field = m_fields.emplace_back();
            field.Type = FTYPE_EMPTY;
            field.Data.assign(source, source + size);
            field.Size = 2;
            return end + 1;
        }
        std::string_view bytes(reinterpret_cast<const char*>(source), size);
        if (bytes.ends_with(kBegin))
            return CutBinary(end + 1);
        ProtocolFieldInfo& field = m_fields.emplace_back();
        field.Data.assign(source, source + size);
        field.Size = static_cast<uint32_t>(size);
        SetCleanText(field, source, LengthBeforeNul(source, size));
        field.Checksum = SumOf(source, size);
        const std::string_view content = field.ContentView(m_scratch);
        bool numeric = GenericFunctions::IsaHexNumericField(source, static_cast<int>(size)) ||
                       GenericFunctions::IsaNumericField(source, size);
        if (numeric) {
            field.Type = FTYPE_VINT_VALUE;
            SetNumericValues(field, content);
            return end + 1;
        }
        // Only the second field can be the command tag (this one is in the list already).
        bool isTag = m_fields.size() == 2 && content.size() >= 2 && content.size() <= 4 &&
                     content[0] == 'C' && content[1] >= '0' && content[1] <= '9';
        field.Type = isTag ? FTYPE_VCMDID_VALUE : FTYPE_VSTRING_VALUE;
        // Same terminator argument as for the numeric values.
        field.FloatValue = GenericFunctions::ParseFloat(content.data(), 0.0f, nullptr);
        return end + 1;
    }

    // A text field ends at its first NUL, which belongs to it.
    void EndText(size_t start, size_t end) {
        const uint8_t* source = m_buffer + start;
        const size_t size = end - start + 1;
        ProtocolFieldInfo& field = m_fields.emplace_back();
        field.Type = FTYPE_STRING_VALUE;
        field.Data.assign(source, source + size);
        field.Size = static_cast<uint32_t>(size);
        SetCleanText(field, source, size - 1);
        field.Checksum = SumOf(source, size);
    }

    // The payload from dataStart up to the first closing marker lying wholly inside the payload area;
    // returns where to go on.
    size_t CutBinary(size_t dataStart) {
        const uint8_t* payload = m_buffer + dataStart;
        const size_t available = m_length - dataStart;
        const void* marker = memmem(payload, available, kEnd.data(), kEnd.size());
        if (marker == nullptr)
            return m_length;
        const size_t payloadSize = static_cast<size_t>(static_cast<const uint8_t*>(marker) - payload);
        ProtocolFieldInfo& field = m_fields.emplace_back();
        field.Type = FTYPE_VDATABYTES;
        field.Data.assign(payload, payload + payloadSize);
        field.Size = static_cast<uint32_t>(payloadSize);
        field.Checksum = SumOf(kBegin) + SumOf(payload, payloadSize + kEnd.size());
        return dataStart + payloadSize + kEnd.size();
    }

    const uint8_t* m_buffer;
    size_t m_length;
    std::vector<ProtocolFieldInfo>& m_fields;
    bool m_stxSeen = false;
    std::string m_scratch;
};

// The text up to its first NUL (a cleaned text has none) with every bracket removed.
void StripBrackets(std::string_view text, std::string& out) {
    text = text.substr(0, text.find('\0'));
    out.clear();
    out.reserve(text.size());
    for (char c : text)
        if (c != '<' && c != '>')
            out.push_back(c);
}

} // namespace

std::string ProtocolFieldInfo::Content() const {
    std::string content;
    if (Text)
        StripBrackets(*Text, content);
    return content;
}

std::string_view ProtocolFieldInfo::ContentView(std::string& scratch) const {
    if (!Text)
        return {};
    std::string_view text(*Text);
    std::string_view inner = text.substr(0, text.find('\0'));
    if (inner.starts_with('<'))
        inner.remove_prefix(1);
    if (inner.ends_with('>'))
        inner.remove_suffix(1);
    if (inner.find_first_of("<>") == std::string_view::npos)
        return inner;
    StripBrackets(text, scratch);
    return scratch;
}

int ProtocolFields::CreateFields(const uint8_t* buffer, int length) {
    Log::WriteLog("CreateFields", "Begin");
    m_fields.clear();
    m_confidential.clear();
    if (buffer != nullptr && length > 0)
        FieldCutter(buffer, static_cast<size_t>(length), m_fields).Run();
    if (Log::GetLogType() != 0) {
        // Logged once the answer is whole, when it is known which values must not be shown.
        const std::vector<size_t> hidden = ConfidentialFieldIndices();
        LogFoundFields(hidden);
        LogFields(hidden);
    }
    Log::WriteLog("CreateFields", "End");
    return static_cast<int>(m_fields.size());
}

namespace {

constexpr const char* kHiddenValue = "********";

bool Hidden(const std::vector<size_t>& hidden, size_t index) {
    return std::find(hidden.begin(), hidden.end(), index) != hidden.end();
}

} // namespace

void ProtocolFields::LogFoundFields(const std::vector<size_t>& hidden) const {
    for (size_t i = 0; i < m_fields.size(); ++i) {
        const ProtocolFieldInfo& field = m_fields[i];
        const char* text = Hidden(hidden, i) ? kHiddenValue : field.Text ? field.Text->c_str() : "";
        switch (field.Type) {
        case FTYPE_VINT_VALUE:
            Log::WriteLogP("CreateFields", "Found Field: Value INT: %s", text);
            break;
        case FTYPE_VCMDID_VALUE:
            Log::WriteLogP("CreateFields", "Found Field: Value CMD: %s", text);
            break;
        case FTYPE_VSTRING_VALUE:
            Log::WriteLogP("CreateFields", "Found Field: Value STRING: %s", text);
            break;
        case FTYPE_STRING_VALUE:
            Log::WriteLogP("CreateFields", "Found Field: Value TEXT: %s", text);
            break;
        case FTYPE_VDATABYTES:
            Log::WriteLogP("CreateFields", "Found Field: Value BINARY: Size=%u", field.Size);
            break;
        default:
            break;
        }
    }
}

void ProtocolFields::LogFields(const std::vector<size_t>& hidden) const {
    Log::WriteLog("CreateFields", "Fields Found: Begin");
    for (size_t i = 0; i < m_fields.size(); ++i) {
        const ProtocolFieldInfo& field = m_fields[i];
        switch (field.Type) {
        case FTYPE_STX:
            Log::WriteLog("CreateFields", " -> [STX]");
            break;
        case FTYPE_ETX:
            Log::WriteLog("CreateFields", " -> [ETX]");
            break;
        case FTYPE_ACK:
            Log::WriteLog("CreateFields", " -> [ACK]");
            break;
        case FTYPE_NACK:
            Log::WriteLog("CreateFields", " -> [NACK]");
            break;
        case FTYPE_VDATABYTES:
            Log::WriteLogP("CreateFields", " -> DATABYTES size %u", field.Size);
            break;
        default:
            Log::WriteLogP("CreateFields", " -> %s",
                           Hidden(hidden, i) ? kHiddenValue
                           : field.Text      ? field.Text->c_str()
                                             : "<>");
            break;
        }
    }
    Log::WriteLog("CreateFields", "Fields Found: End");
}

bool ProtocolFields::CheckAnswer() {
    DalvoraError ignored = 0;
    return CheckAnswer(&ignored);
}

bool ProtocolFields::CheckAnswer(DalvoraError* code) {
    DalvoraError dummy = 0;
    DalvoraError& result = code ? *code : dummy;
    if (!IsType(0, FTYPE_STX)) {
        Log::WriteLog("CheckAnswer", "FTYPE_STX Error");
        result = kMalformedAnswer;
        return true;
    }
    if (!IsType(1, FTYPE_VCMDID_VALUE)) {
        Log::WriteLog("CheckAnswer", "Command ID Error");
        result = kMalformedAnswer;
        return true;
    }
    if (!IsType(2, FTYPE_NACK)) {
        Log::WriteLog("CheckAnswer", "FTYPE_NACK Not Found");
        return false;
    }
    if (!IsType(3, FTYPE_VSTRING_VALUE)) {
        Log::WriteLog("CheckAnswer", "Error Code Not OK");
        return false;
    }
    std::string text = m_fields[3].Content();
    GenericFunctions::RemoveStrFromString(text.data(), "ERR");
    text.resize(strlen(text.c_str()));
    int number = GenericFunctions::ParseInt(text.c_str(), 101);
    result = number < 100 ? number + 100 : number;
    Log::WriteLogP("CheckAnswer", "Error Code %d from printer (SW Code %d)", result, result);
    return true;
}

bool ProtocolFields::ChecksumMatches(size_t index) const {
    if (index < 2 || !IsType(index, FTYPE_VINT_VALUE))
        return false;
    uint64_t sum = m_fields[1].Checksum;
    for (size_t i = 2; i < index; ++i)
        sum += m_fields[i].Checksum;
    bool ok = static_cast<int64_t>(m_fields[index].IntValue) == static_cast<int64_t>(sum & 0xFF);
    if (!ok)
        Log::WriteLog("ChecksumMatches", "Checksum Error");
    return ok;
}
