// Answer frames as the printer sends them; see Wire.h.
#include "sim/Wire.h"

#include <cstdio>

namespace sim {

AnswerBuilder::AnswerBuilder(unsigned commandCode) {
    m_out.push_back(kStx);
    AddCounted("<C" + std::to_string(commandCode) + ">");
}

void AnswerBuilder::AddCounted(std::string_view bytes) {
    for (char c : bytes) {
        m_out.push_back(static_cast<uint8_t>(c));
        m_sum += static_cast<uint8_t>(c);
    }
}

AnswerBuilder& AnswerBuilder::Field(std::string_view content) {
    // "<>" is the empty field, which the host counts as 0 in the checksum.
    if (content.empty()) {
        m_out.push_back('<');
        m_out.push_back('>');
        return *this;
    }
    m_out.push_back('<');
    m_sum += '<';
    AddCounted(content);
    m_out.push_back('>');
    m_sum += '>';
    return *this;
}

AnswerBuilder& AnswerBuilder::Number(int64_t value) {
    return Field(std::to_string(value));
}

AnswerBuilder& AnswerBuilder::Text(std::string_view text) {
    AddCounted(text);
    m_out.push_back(0);
    return *this;
}

AnswerBuilder& AnswerBuilder::DataBytes(const Bytes& bytes) {
    AddCounted("<DATABYTES>");
    for (uint8_t b : bytes) {
        m_out.push_back(b);
        m_sum += b;
    }
    AddCounted("</DATABYTES>");
    return *this;
}

AnswerBuilder& AnswerBuilder::Control(uint8_t byte) {
    m_out.push_back(byte);
    return *this;
}

AnswerBuilder& AnswerBuilder::Checksum(bool wrong) {
    const unsigned value = static_cast<unsigned>((m_sum + (wrong ? 1 : 0)) & 0xFF);
    const std::string field = "<" + std::to_string(value) + ">";
    m_out.insert(m_out.end(), field.begin(), field.end());
    return *this;
}

Bytes AnswerBuilder::Finish() {
    m_out.push_back(kEtx);
    return std::move(m_out);
}

Bytes ErrorAnswer(unsigned commandCode, int errorNumber) {
    char err[32];
    std::snprintf(err, sizeof err, "ERR%02d", errorNumber);
    return AnswerBuilder(commandCode).Control(kNak).Field(err).Finish();
}

Bytes ErrorAnswer(unsigned commandCode, PrinterError error) {
    return ErrorAnswer(commandCode, static_cast<int>(error));
}

unsigned ByteSumMod256(const uint8_t* data, size_t length) {
    unsigned sum = 0;
    for (size_t i = 0; i < length; ++i)
        sum += data[i];
    return sum & 0xFF;
}

std::string ToHex(const uint8_t* data, size_t length) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(length * 2);
    for (size_t i = 0; i < length; ++i) {
        out.push_back(digits[data[i] >> 4]);
        out.push_back(digits[data[i] & 0x0F]);
    }
    return out;
}

std::string ToHex(const Bytes& bytes) {
    return ToHex(bytes.data(), bytes.size());
}

} // namespace sim
