// A HID port for tests and fuzzers: no hidapi, a shared script instead (it outlives the port, which the
// upgrade creates and destroys itself) holding the ids it was given, opens to fail, the reports
// written (one entry per Write) and the boot loader's answers, one per read.
#pragma once

#include "transport/ComPortUsbHid.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <vector>

struct HidScript {
    using Bytes = std::vector<unsigned char>;
    static inline const Bytes kAck{0x40, 0x00, 0x00, 0x00};

    std::vector<std::string> ids; // vid, pid, serial as given to InitWithVid
    int openFailures = 0;         // the next N opens fail
    int opens = 0;
    int closes = 0; // closes of an open port
    std::vector<Bytes> writes;
    std::deque<Bytes> answers;  // one per read
    bool ackWhenDrained = true; // once the answers run out: every read acknowledges, or nothing comes
};

class ScriptedHidPort : public ComPortUsbHid {
public:
    explicit ScriptedHidPort(std::shared_ptr<HidScript> script) : m_script(std::move(script)) {}
    int InitWithVid(const char* vid, const char* pid, const char* serial) override {
        m_script->ids = {vid, pid, serial};
        return 1;
    }
    int Open() override {
        ++m_script->opens;
        m_open = m_script->openFailures-- <= 0;
        return m_open;
    }
    int Close() override {
        m_script->closes += m_open ? 1 : 0;
        m_open = false;
        return true;
    }
    unsigned Write(const unsigned char* buf, unsigned len, unsigned* error) override {
        m_script->writes.emplace_back(buf, buf + len);
        *error = 0;
        return len;
    }
    int ReadAll(unsigned char* buf, int len, int, unsigned* error) override {
        HidScript::Bytes answer = m_script->ackWhenDrained ? HidScript::kAck : HidScript::Bytes{};
        if (!m_script->answers.empty()) {
            answer = m_script->answers.front();
            m_script->answers.pop_front();
        }
        const int count = std::min(len, static_cast<int>(answer.size()));
        std::copy_n(answer.begin(), count, buf);
        *error = count > 0 ? 0 : 1;
        return count;
    }

private:
    std::shared_ptr<HidScript> m_script;
    bool m_open = false;
};
