// The answer field parser: cuts one whole answer into typed fields (control bytes, bracketed values,
// bare texts, binary blocks), tells an error answer from a positive one, and turns a positive answer
// into the record its command tag announces. It never talks to a port.
#pragma once

#include "base/DalvoraException.h"
#include "comm/AnswerRecord.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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
    // The same text without a copy where it can: a view into Text when its only brackets are the outer
    // ones (the view is then followed by '>' or the end of Text), else into `scratch`, which is
    // overwritten with Content().
    std::string_view ContentView(std::string& scratch) const;
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

    // The record of a positive answer, empty when refused (one log line names the first failing field).
    // dataErrors counts the setup values that fail a range check; a version other than 100 is refused.
    [[nodiscard]] AnswerRecord CreateSetupItem(uint64_t& dataErrors, const ProtocolVersion* version,
                                               OBJTYPE& objType) const;
    [[nodiscard]] AnswerRecord CreateSetupItem_Prot100(uint64_t& dataErrors, OBJTYPE& objType) const;
    // "<C4>": one setup item with its links.
    [[nodiscard]] AnswerRecord CreateSetupItemType_Prot100(uint64_t& dataErrors, OBJTYPE& objType) const;
    // "<C50>": one logo image.
    [[nodiscard]] AnswerRecord CreateLogoData_Prot100(uint64_t& dataErrors, OBJTYPE& objType) const;

    // The kind parsers of a setup item: each starts at `index` and leaves it past the fields it consumed,
    // whose checksums it adds to `checksum`.
    using ItemPtr = std::unique_ptr<SetupItemType>;
    [[nodiscard]] static ItemPtr ExtractIDInfo_TypeList_Prot100(const ProtocolFields& fields, size_t& index,
                                                                uint64_t& checksum, uint64_t& dataErrors,
                                                                OBJTYPE& objType);
    [[nodiscard]] static ItemPtr ExtractIDInfo_TypeNumeric_Prot100(const ProtocolFields& fields,
                                                                   size_t& index, uint64_t& checksum,
                                                                   uint64_t& dataErrors, OBJTYPE& objType);
    [[nodiscard]] static ItemPtr ExtractIDInfo_TypeDateTime_Prot100(const ProtocolFields& fields,
                                                                    size_t& index, uint64_t& checksum,
                                                                    uint64_t& dataErrors, OBJTYPE& objType);
    [[nodiscard]] static ItemPtr ExtractIDInfo_TypeString_Prot100(const ProtocolFields& fields, size_t& index,
                                                                  uint64_t& checksum, uint64_t& dataErrors,
                                                                  OBJTYPE& objType);
    [[nodiscard]] static ItemPtr ExtractIDInfo_TypeCheckboxes_Prot100(const ProtocolFields& fields,
                                                                      size_t& index, uint64_t& checksum,
                                                                      uint64_t& dataErrors, OBJTYPE& objType);

    // The field at index when it has the type, else null and "<type> Error" logged under `where`.
    const ProtocolFieldInfo* Expect(size_t index, FTYPE type, const char* where) const;
    // Expect for a VSTRING or VINT field with non-empty content; else null and `error` logged.
    const ProtocolFieldInfo* ExpectValue(size_t index, const char* where, const char* error) const;

    // The longest extended live-status answer taken.
    static constexpr size_t kMaxStatusBytes = 512;
    // The most lines of a "<C81>" answer: its count is written as two digits.
    static constexpr int kMaxLineTableLines = 99;

    // The fields that the item parser finds holding the default and current value of a "<C4>" text
    // item whose mask marks it confidential (a password), which the log must not show. The parse is
    // done here without logging; the caller's own parse of the record logs it.
    [[nodiscard]] std::vector<size_t> ConfidentialFieldIndices() const;

private:
    void LogFoundFields(const std::vector<size_t>& hidden) const;
    void LogFields(const std::vector<size_t>& hidden) const;

    AnswerRecord ParseVersion() const;
    template <class T>
    AnswerRecord ParseTextLines(OBJTYPE type, const char* where, const char* countFormat) const;
    AnswerRecord ParseIdList() const;
    AnswerRecord ParseLogosIdList() const;
    AnswerRecord ParseDataAvailable() const;
    AnswerRecord ParseTools() const;
    AnswerRecord ParseLogosType() const;
    AnswerRecord ParseLineTable() const;
    AnswerRecord ParseFontModule() const;
    AnswerRecord ParseUpgradeInfo() const;
    AnswerRecord ParseStatusGen() const;
    AnswerRecord ParseStatusExt() const;
    AnswerRecord ParseStatusBytes(const char* where, bool exactlyFour) const;
    // Bit descriptions from `index` on; false on the first malformed one.
    // The count of described bits (field 4) and their descriptions, common to both description answers.
    bool ParseExplainedBits(std::vector<std::unique_ptr<StatusBitInfo>>& out) const;
    bool ParseStatusDescriptions(size_t index, int count,
                                 std::vector<std::unique_ptr<StatusBitInfo>>& out) const;

    // Called by the text item parser for each field that holds a password value.
    void MarkConfidential(size_t index) const { m_confidential.push_back(index); }

    std::vector<ProtocolFieldInfo> m_fields;
    // What the last item parse found; kept beside the fields it indexes.
    mutable std::vector<size_t> m_confidential;
};
