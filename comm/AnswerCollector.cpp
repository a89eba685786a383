#include "comm/AnswerCollector.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr char kBegin[] = "<DATABYTES>";
constexpr size_t kBeginLength = sizeof kBegin - 1;
constexpr char kEnd[] = "</DATABYTES>";
constexpr size_t kEndLength = sizeof kEnd - 1;
constexpr uint8_t kEtx = 0x03;
} // namespace

uint8_t* AnswerCollector::ReadPosition() {
    if (m_buffer.size() - m_fill < kReadSize)
        m_buffer.resize(m_buffer.size() + kGrowStep);
    return m_buffer.data() + m_fill;
}

bool AnswerCollector::Add(size_t count) {
    if (m_complete || count == 0)
        return m_complete;
    size_t previous = m_fill;
    m_fill = std::min(m_fill + count, m_buffer.size());
    Scan(previous);
    return m_complete;
}

size_t AnswerCollector::Find(const char* marker, size_t markerLength, size_t from) const {
    if (from >= m_fill || m_fill - from < markerLength)
        return SIZE_MAX;
    // A vectorised scan for the marker's first byte, then a compare: the '<' it starts with is rare in
    // payloads, and even a payload of nothing else costs a marker's length of compares per byte.
    const uint8_t* at = m_buffer.data() + from;
    const uint8_t* last = m_buffer.data() + m_fill - markerLength;
    while (at <= last) {
        at = static_cast<const uint8_t*>(memchr(at, marker[0], static_cast<size_t>(last - at) + 1));
        if (at == nullptr)
            return SIZE_MAX;
        if (memcmp(at, marker, markerLength) == 0)
            return static_cast<size_t>(at - m_buffer.data());
        ++at;
    }
    return SIZE_MAX;
}

// Only the new bytes, plus a marker's length before them for a marker split across two reads.
void AnswerCollector::Scan(size_t previous) {
    if (m_beginAt == SIZE_MAX) {
        size_t from = previous >= kBeginLength - 1 ? previous - (kBeginLength - 1) : 0;
        m_beginAt = Find(kBegin, kBeginLength, from);
        if (!m_etxBeforeData)
            m_etxBeforeData = std::memchr(m_buffer.data() + previous, kEtx, m_fill - previous) != nullptr;
        if (m_beginAt == SIZE_MAX) {
            m_complete = m_etxBeforeData;
            return;
        }
        previous = m_beginAt + kBeginLength;
    }
    if (m_endAt == SIZE_MAX) {
        size_t from =
            std::max(m_beginAt + kBeginLength, previous >= kEndLength - 1 ? previous - (kEndLength - 1) : 0);
        m_endAt = Find(kEnd, kEndLength, from);
        if (m_endAt == SIZE_MAX)
            return;
        previous = m_endAt + kEndLength;
    }
    size_t from = std::max(previous, m_endAt + kEndLength);
    m_complete = from < m_fill && std::memchr(m_buffer.data() + from, kEtx, m_fill - from) != nullptr;
}

std::vector<uint8_t> AnswerCollector::Take() {
    m_buffer.resize(m_fill);
    return std::move(m_buffer);
}
