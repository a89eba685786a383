// Bytes on the printer's side of the wire: the answer frame builder (STX, command tag, bracketed and
// bare fields, binary blocks, running answer checksum, ETX) and the printer's refusal answers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kStx = 0x02, kEtx = 0x03, kAck = 0x06, kNak = 0x15, kCan = 0x18;

// The printer's refusal numbers, sent as "<ERRnn>" after NAK.
enum class PrinterError : int { UnsupportedCommand = 1, UnknownId = 2, ValueOutOfRange = 3, BadChecksum = 4 };

// Builds one framed answer. The checksum covers the tag field and every value field added since,
// each field counted from its first to its last byte (a bare text with its NUL).
class AnswerBuilder {
public:
    explicit AnswerBuilder(unsigned commandCode);

    AnswerBuilder& Field(std::string_view content); // "<content>"
    AnswerBuilder& Number(int64_t value);           // "<decimal>"
    AnswerBuilder& Text(std::string_view text);     // bare text and NUL
    AnswerBuilder& DataBytes(const Bytes& bytes);   // "<DATABYTES>" bytes "</DATABYTES>"
    AnswerBuilder& Control(uint8_t byte);           // ACK or NAK, not counted in the checksum
    // The checksum field: the low 8 bits of the running sum (plus one when `wrong`).
    AnswerBuilder& Checksum(bool wrong);

    [[nodiscard]] Bytes Finish(); // appends ETX
    [[nodiscard]] uint64_t RunningSum() const { return m_sum; }

private:
    void AddCounted(std::string_view bytes);
    Bytes m_out;
    uint64_t m_sum = 0;
};

// STX, "<Cnn>", NAK, "<ERRnn>", ETX.
[[nodiscard]] Bytes ErrorAnswer(unsigned commandCode, PrinterError error);
[[nodiscard]] Bytes ErrorAnswer(unsigned commandCode, int errorNumber);

// Sum of the bytes modulo 256, as the set-value command's checksum field carries it.
[[nodiscard]] unsigned ByteSumMod256(const uint8_t* data, size_t length);

// Lower-case hexadecimal of the bytes, for the transcript.
[[nodiscard]] std::string ToHex(const Bytes& bytes);
[[nodiscard]] std::string ToHex(const uint8_t* data, size_t length);

} // namespace sim
