// The answer field parser: cuts one whole answer into typed fields (control bytes, bracketed values,
// bare texts, binary blocks), tells an error answer from a positive one, and turns a positive answer
// into the record its command tag announces. It never talks to a port.
#pragma once

#include "app/DalvoraException.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum FTYPE : uint32_t {
    FTYPE_NONE = 0,
    FTYPE_STX = 0x11,
    FTYPE_ETX = 0x12,
    FTYPE_ACK = 0x13,
    FTYPE_NACK = 0x14,
    FTYPE_VSTRING_VALUE = 0x1100,
    FTYPE_VINT_VALUE = 0x1200,
    FTYPE_VCMDID_VALUE = 0x1400,
    FTYPE_STRING_VALUE = 0x1800,
    FTYPE_EMPTY = 0x2000,
    FTYPE_VDATABYTES = 0x3000,
};

struct ProtocolFieldInfo {
    std::vector<uint8_t> Data; // source bytes, brackets included; for a binary block only its payload
    uint32_t Size = 0;
    FTYPE Type = FTYPE_NONE;
    std::optional<std::string> Text; // cleaned source text; none for control bytes, <> and binary blocks
    int32_t IntValue = 0;
    float FloatValue = 0.0f;
    uint64_t Checksum = 0; // byte sum of the field as it stands in the answer

    // The text without its brackets ("" when there is no text).
    std::string Content() const;
};

class ProtocolFields {
public:
    // Malformed answer.
    static constexpr DalvoraError kMalformedAnswer = 13;

    // Replaces the field list with the fields of the answer; returns their number.
    int CreateFields(const uint8_t* buffer, int length);

    // True for an error answer or a malformed one; the code is 13 for malformed, 100 + nn for ERRnn.
    bool CheckAnswer();
    bool CheckAnswer(DalvoraError* code);

    const std::vector<ProtocolFieldInfo>& Fields() const { return m_fields; }
    const ProtocolFieldInfo* Field(size_t index) const {
        return index < m_fields.size() ? &m_fields[index] : nullptr;
    }
    bool IsType(size_t index, FTYPE type) const {
        return index < m_fields.size() && m_fields[index].Type == type;
    }

    // The field at index is a checksum field matching the low 8 bits of the checksums of the command
    // tag (field 1) and of every field from 2 up to it.
    bool ChecksumMatches(size_t index) const;

private:
    void LogFields() const;

    std::vector<ProtocolFieldInfo> m_fields;
};
