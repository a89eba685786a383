// An in-memory port for tests. Its script (shared, so it outlives ports that a CommLayer creates and
// destroys on every open) holds the bytes reads return (an empty chunk is an empty read), replies that
// a given write triggers, every write made, the opens asked for, and the failures to inject.
#pragma once

#include "transport/ComPort.h"

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

struct PortScript {
    using Bytes = std::vector<unsigned char>;

    struct OpenCall {
        std::string kind; // "eth", "serial", "usb"
        std::string a, b, c;
        int number1 = 0;
        int number2 = 0;
    };
    struct Reply {
        Bytes request;
        std::vector<Bytes> chunks;
    };

    std::deque<Bytes> reads;
    size_t frontOffset = 0; // bytes of reads.front() already served
    std::vector<Reply> replies;
    std::vector<Bytes> writes;
    std::vector<unsigned> writeTimeouts; // the write timeout in force for each of the writes
    std::vector<OpenCall> opens;
    int readCalls = 0;
    int cleanRxCalls = 0;
    int lastReadTimeout = -1;
    int lastWriteTimeout = -1;
    int openFailures = 0; // the next N opens fail
    int failWriteIndex = -1;
    unsigned failWriteCount = 0;
    unsigned failWriteError = 0;
    bool goneWhenDrained = false; // once the reads run out, the device is gone

    static Bytes Of(const std::string& text) { return Bytes(text.begin(), text.end()); }
    void QueueRead(Bytes chunk) { reads.push_back(std::move(chunk)); }
    void QueueRead(const std::string& text) { reads.push_back(Of(text)); }
    void ReplyTo(Bytes request, std::vector<Bytes> chunks) {
        replies.push_back({std::move(request), std::move(chunks)});
    }
    // Writes whose bytes equal request.
    int CountWrites(const Bytes& request) const {
        int n = 0;
        for (const Bytes& w : writes)
            n += w == request ? 1 : 0;
        return n;
    }
};

class ScriptedPort : public ComPort {
public:
    using Bytes = PortScript::Bytes;

    explicit ScriptedPort(std::shared_ptr<PortScript> script = std::make_shared<PortScript>())
        : m_script(std::move(script)) {}

    void QueueRead(Bytes chunk) { m_script->QueueRead(std::move(chunk)); }
    void QueueRead(const char* text) { m_script->QueueRead(std::string(text)); }
    void FailWrite(int index, unsigned count, unsigned error) {
        m_script->failWriteIndex = index;
        m_script->failWriteCount = count;
        m_script->failWriteError = error;
    }
    const std::vector<Bytes>& Writes() const { return m_script->writes; }

    int OpenEthernet(const char* host, int port) override { return Opened({"eth", host, "", "", port, 0}); }
    int OpenSerial(const char* name, int baud, int parity, int byteSize, int stopBits, int flow) override {
        return Opened(
            {"serial", name,
             std::to_string(parity) + "," + std::to_string(byteSize) + "," + std::to_string(stopBits), "",
             baud, flow});
    }
    int OpenUsb(const char* vid, const char* pid, const char* serial, bool byVid) override {
        return Opened({"usb", vid, pid, serial, byVid ? 1 : 0, 0});
    }
    void CleanRX() override {
        ++m_script->cleanRxCalls;
        m_script->reads.clear();
        m_script->frontOffset = 0;
    }
    void SetRTimeout(int ms) override { m_script->lastReadTimeout = ms; }
    void SetWTimeout(int ms) override {
        m_script->lastWriteTimeout = ms;
        m_writeTimeoutMs = static_cast<uint32_t>(ms);
    }

    unsigned Write(const unsigned char* buf, unsigned len, unsigned* error) override {
        PortScript& s = *m_script;
        int index = static_cast<int>(s.writes.size());
        bool failing = index == s.failWriteIndex;
        unsigned count = failing ? std::min(s.failWriteCount, len) : len;
        s.writes.emplace_back(buf, buf + count);
        s.writeTimeouts.push_back(m_writeTimeoutMs);
        if (error)
            *error = failing ? s.failWriteError : 0;
        for (const PortScript::Reply& reply : s.replies)
            if (reply.request == s.writes.back())
                s.reads.insert(s.reads.end(), reply.chunks.begin(), reply.chunks.end());
        return count;
    }

    // Serves the next chunk (or its first len bytes, keeping the rest for the next read).
    unsigned Read(unsigned char* buf, unsigned len, unsigned* error) override {
        PortScript& s = *m_script;
        ++s.readCalls;
        if (error)
            *error = 0;
        if (s.reads.empty()) {
            if (s.goneWhenDrained) {
                SetDeviceLost(true);
                if (error)
                    *error = 1;
            }
            return 0;
        }
        Bytes& chunk = s.reads.front();
        size_t left = chunk.size() - s.frontOffset;
        unsigned count = static_cast<unsigned>(std::min<size_t>(len, left));
        if (count > 0)
            std::memcpy(buf, chunk.data() + s.frontOffset, count);
        s.frontOffset += count;
        if (s.frontOffset == chunk.size()) {
            s.reads.pop_front();
            s.frontOffset = 0;
        }
        return count;
    }

private:
    int Opened(PortScript::OpenCall call) {
        m_script->opens.push_back(std::move(call));
        if (m_script->openFailures > 0) {
            --m_script->openFailures;
            return -1;
        }
        return 0;
    }

    std::shared_ptr<PortScript> m_script;
};
