// Collects the bytes of one framed answer and tells when it is complete: at the first ETX, or, when
// the answer carries "<DATABYTES>", only at an ETX after the closing "</DATABYTES>" (the payload may
// hold any byte, ETX included). Each byte is looked at a bounded number of times however the answer is
// split into reads, so multi-megabyte logo and module answers collect in linear time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class AnswerCollector {
public:
    static constexpr size_t kInitialSize = 4096;
    static constexpr size_t kGrowStep = 4096;
    static constexpr size_t kReadSize = 1024;
    // An answer larger than this is refused rather than grown without end (a peer flooding bytes).
    static constexpr size_t kMaxAnswerSize = 64u * 1024 * 1024;

    AnswerCollector() : m_buffer(kInitialSize) {}

    // Room for the next read of up to kReadSize bytes, growing by kGrowStep when less remains.
    uint8_t* ReadPosition();
    // Records that count bytes were read into ReadPosition(); returns true when the answer is complete.
    bool Add(size_t count);

    bool IsOverflowing() const { return m_fill + kReadSize > kMaxAnswerSize; }
    size_t Size() const { return m_fill; }
    // The filled part (which may hold bytes after the closing ETX).
    std::vector<uint8_t> Take();

private:
    void Scan(size_t from);
    size_t Find(const char* marker, size_t markerLength, size_t from) const;

    std::vector<uint8_t> m_buffer;
    size_t m_fill = 0;
    bool m_complete = false;
    // Search state carried between reads.
    size_t m_beginAt = SIZE_MAX; // position of "<DATABYTES>"
    size_t m_endAt = SIZE_MAX;   // position of "</DATABYTES>"
    bool m_etxBeforeData = false;
};
