// An in-memory port for tests: reads come from a script of chunks (an empty chunk is an empty read),
// writes are recorded, and a write can be told to come up short.
#pragma once

#include "comm/ComPort.h"

#include <cstring>
#include <deque>
#include <vector>

class ScriptedPort : public ComPort {
public:
    using Bytes = std::vector<unsigned char>;

    void QueueRead(Bytes chunk) { m_reads.push_back(std::move(chunk)); }
    void QueueRead(const char* text) { m_reads.emplace_back(text, text + strlen(text)); }
    // The write with this 0-based index writes only `count` bytes and reports `error`.
    void FailWrite(int index, unsigned count, unsigned error) {
        m_failIndex = index;
        m_failCount = count;
        m_failError = error;
    }

    const std::vector<Bytes>& Writes() const { return m_writes; }
    int ReadCalls() const { return m_readCalls; }

    unsigned Write(const unsigned char* buf, unsigned len, unsigned* error) override {
        int index = static_cast<int>(m_writes.size());
        unsigned count = index == m_failIndex ? std::min(m_failCount, len) : len;
        m_writes.emplace_back(buf, buf + count);
        if (error)
            *error = index == m_failIndex ? m_failError : 0;
        return count;
    }

    // Serves the next scripted chunk (or its first len bytes, keeping the rest for the next read).
    unsigned Read(unsigned char* buf, unsigned len, unsigned* error) override {
        ++m_readCalls;
        if (error)
            *error = 0;
        if (m_reads.empty())
            return 0;
        Bytes& chunk = m_reads.front();
        unsigned count = std::min<unsigned>(len, static_cast<unsigned>(chunk.size()));
        std::memcpy(buf, chunk.data(), count);
        chunk.erase(chunk.begin(), chunk.begin() + count);
        if (chunk.empty())
            m_reads.pop_front();
        return count;
    }

private:
    std::deque<Bytes> m_reads;
    std::vector<Bytes> m_writes;
    int m_readCalls = 0;
    int m_failIndex = -1;
    unsigned m_failCount = 0;
    unsigned m_failError = 0;
};
