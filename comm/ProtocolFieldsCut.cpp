// Cutting an answer into fields in one pass, field checksums accumulated on the way, and the
// recognition of error answers.
#include "comm/ProtocolFields.h"

#include "app/GenericFunctions.h"
#include "app/Log.h"

#include <cstring>
#include <string_view>

namespace {

constexpr std::string_view kBegin = "<DATABYTES>";
constexpr std::string_view kEnd = "</DATABYTES>";

uint64_t SumOf(std::string_view bytes) {
    uint64_t sum = 0;
    for (char c : bytes)
        sum += static_cast<unsigned char>(c);
    return sum;
}

std::string CleanText(const uint8_t* bytes, size_t size) {
    return GenericFunctions::ConvertBufferToStringAndClean(bytes, static_cast<int>(size));
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

// "$0x" fields (a bracketed "$" and what follows) carry hexadecimal numbers such as masks: read them as
// such rather than as decimal, which would make every one of them 0.
void SetNumericValues(ProtocolFieldInfo& field, const std::string& content) {
    if (content.rfind('$', 0) == 0) {
        unsigned long value = content.rfind("$0x", 0) == 0 ? strtoul(content.c_str() + 3, nullptr, 16) : 0;
        field.IntValue = static_cast<int32_t>(static_cast<uint32_t>(value));
        field.FloatValue = static_cast<float>(field.IntValue);
        return;
    }
    field.IntValue = GenericFunctions::ParseInt(content.c_str(), 0);
    field.FloatValue = GenericFunctions::ParseFloat(content.c_str(), 0.0f, nullptr);
}

class FieldCutter {
public:
    FieldCutter(const uint8_t* buffer, size_t length, std::vector<ProtocolFieldInfo>& fields)
        : m_buffer(buffer), m_length(length), m_fields(fields) {}

    void Run() {
        for (size_t i = 0; i < m_length; ++i)
            Step(i);
    }

private:
    enum class State { Between, Bracketed, Text, Binary };

    void Step(size_t i) {
        uint8_t byte = m_buffer[i];
        switch (m_state) {
        case State::Between:
            return Between(i, byte);
        case State::Bracketed:
            m_sum += byte;
            if (byte == '>')
                EndBracketed(i);
            return;
        case State::Text:
            m_sum += byte;
            if (byte == 0x00)
                EndText(i);
            return;
        case State::Binary:
            m_sum += byte;
            if (byte == '>')
                TryEndBinary(i);
            return;
        }
    }

    void Between(size_t i, uint8_t byte) {
        if (FTYPE control = ControlType(byte); control != FTYPE_NONE) {
            ProtocolFieldInfo field;
            field.Type = control;
            field.Data = {byte};
            field.Size = 1;
            field.Checksum = byte;
            m_fields.push_back(std::move(field));
            m_stxSeen = m_stxSeen || control == FTYPE_STX;
            return;
        }
        if (!m_stxSeen)
            return;
        m_start = i;
        m_sum = byte;
        m_state = byte == '<' ? State::Bracketed : State::Text;
        if (byte == 0x00) // an empty text field, ended by this NUL
            EndText(i);
    }

    void EndBracketed(size_t end) {
        m_state = State::Between;
        const uint8_t* source = m_buffer + m_start;
        size_t size = end - m_start + 1;
        ProtocolFieldInfo field;
        if (size == 2) {
            field.Type = FTYPE_EMPTY;
            field.Data.assign(source, source + size);
            field.Size = 2;
            m_fields.push_back(std::move(field));
            return;
        }
        std::string_view bytes(reinterpret_cast<const char*>(source), size);
        if (bytes.size() >= kBegin.size() && bytes.substr(bytes.size() - kBegin.size()) == kBegin) {
            m_state = State::Binary;
            m_dataStart = end + 1;
            m_sum = SumOf(kBegin);
            return;
        }
        field.Data.assign(source, source + size);
        field.Size = static_cast<uint32_t>(size);
        field.Text = CleanText(source, size);
        field.Checksum = m_sum;
        std::string content = field.Content();
        bool numeric = GenericFunctions::IsaHexNumericField(source, static_cast<int>(size)) ||
                       GenericFunctions::IsaNumericField(source, size);
        if (numeric) {
            field.Type = FTYPE_VINT_VALUE;
            SetNumericValues(field, content);
            Log::WriteLogP("CreateFields", "Found Field: Value INT: %s", field.Text->c_str());
        } else {
            bool isTag = m_fields.size() == 1 && content.size() >= 2 && content.size() <= 4 &&
                         content[0] == 'C' && content[1] >= '0' && content[1] <= '9';
            field.Type = isTag ? FTYPE_VCMDID_VALUE : FTYPE_VSTRING_VALUE;
            field.FloatValue = GenericFunctions::ParseFloat(content.c_str(), 0.0f, nullptr);
            if (isTag)
                Log::WriteLogP("CreateFields", "Found Field: Value CMD: %s", field.Text->c_str());
            else
                Log::WriteLogP("CreateFields", "Found Field: Value STRING: %s", field.Text->c_str());
        }
        m_fields.push_back(std::move(field));
    }

    void EndText(size_t end) {
        m_state = State::Between;
        const uint8_t* source = m_buffer + m_start;
        size_t size = end - m_start + 1;
        ProtocolFieldInfo field;
        field.Type = FTYPE_STRING_VALUE;
        field.Data.assign(source, source + size);
        field.Size = static_cast<uint32_t>(size);
        field.Text = CleanText(source, size);
        field.Checksum = m_sum;
        Log::WriteLogP("CreateFields", "Found Field: Value TEXT: %s", field.Text->c_str());
        m_fields.push_back(std::move(field));
    }

    // The closing marker counts only when it lies wholly inside the payload area.
    void TryEndBinary(size_t end) {
        if (end + 1 < m_dataStart + kEnd.size())
            return;
        size_t markerStart = end + 1 - kEnd.size();
        if (memcmp(m_buffer + markerStart, kEnd.data(), kEnd.size()) != 0)
            return;
        m_state = State::Between;
        ProtocolFieldInfo field;
        field.Type = FTYPE_VDATABYTES;
        field.Data.assign(m_buffer + m_dataStart, m_buffer + markerStart);
        field.Size = static_cast<uint32_t>(field.Data.size());
        field.Checksum = m_sum;
        Log::WriteLogP("CreateFields", "Found Field: Value BINARY: Size=%u", field.Size);
        m_fields.push_back(std::move(field));
    }

    const uint8_t* m_buffer;
    size_t m_length;
    std::vector<ProtocolFieldInfo>& m_fields;
    State m_state = State::Between;
    bool m_stxSeen = false;
    size_t m_start = 0;
    size_t m_dataStart = 0;
    uint64_t m_sum = 0;
};

} // namespace

std::string ProtocolFieldInfo::Content() const {
    if (!Text)
        return {};
    std::string content = *Text;
    GenericFunctions::RemovecharsFromString(content.data(), '<');
    content.resize(strlen(content.c_str()));
    GenericFunctions::RemovecharsFromString(content.data(), '>');
    content.resize(strlen(content.c_str()));
    return content;
}

int ProtocolFields::CreateFields(const uint8_t* buffer, int length) {
    Log::WriteLog("CreateFields", "Begin");
    m_fields.clear();
    if (buffer != nullptr && length > 0)
        FieldCutter(buffer, static_cast<size_t>(length), m_fields).Run();
    LogFields();
    Log::WriteLog("CreateFields", "End");
    return static_cast<int>(m_fields.size());
}

void ProtocolFields::LogFields() const {
    if (Log::GetLogType() == 0)
        return;
    Log::WriteLog("CreateFields", "Fields Found: Begin");
    for (const ProtocolFieldInfo& field : m_fields) {
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
            Log::WriteLogP("CreateFields", " -> %s", field.Text ? field.Text->c_str() : "<>");
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
