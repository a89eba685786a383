// Answers written as a printer sends them, then cut and parsed as a session does.
#pragma once

#include "comm/ProtocolFields.h"

#include <string>

// A bracketed field, a text field (with its NUL), a binary block.
inline std::string V(const std::string& content) {
    return "<" + content + ">";
}
inline std::string T(const std::string& text) {
    return text + std::string(1, '\0');
}
inline std::string B(const std::string& bytes) {
    return "<DATABYTES>" + bytes + "</DATABYTES>";
}

inline uint64_t Sum(const std::string& bytes) {
    uint64_t sum = 0;
    for (unsigned char c : bytes)
        sum += c;
    return sum;
}

inline std::string Answer(const std::string& tag, const std::string& body) {
    return "\x02" + V(tag) + body + "\x03";
}

// With the checksum field: the low byte of the byte sum of tag and body, spoiled by `delta`.
inline std::string Summed(const std::string& tag, const std::string& body, int delta = 0) {
    return "\x02" + V(tag) + body + V(std::to_string((Sum(V(tag) + body) + delta) & 0xFF)) + "\x03";
}

inline ProtocolFields Cut(const std::string& answer) {
    ProtocolFields fields;
    fields.CreateFields(reinterpret_cast<const uint8_t*>(answer.data()), static_cast<int>(answer.size()));
    return fields;
}

struct Parsed {
    ProtocolFields fields;
    AnswerRecord record;
    uint64_t errors = 0;
    OBJTYPE type = OBJTYPE_NONE;
};

inline Parsed Parse(const std::string& answer, const ProtocolVersion* version = nullptr) {
    Parsed p;
    p.fields = Cut(answer);
    p.type = static_cast<OBJTYPE>(77); // a refusal must set it back to none
    p.record = p.fields.CreateSetupItem(p.errors, version, p.type);
    return p;
}
