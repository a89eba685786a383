// The exchange log; see Transcript.h.
#include "sim/Transcript.h"

#include "base/Clock.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace sim {
namespace {

std::string HexWord(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", value);
    return text;
}

nlohmann::ordered_json TransferJson(const TransferRecord& t) {
    nlohmann::ordered_json j;
    j["kind"] = t.kind;
    if (t.kind == "firmware") {
        j["part"] = t.part;
        j["first_bank"] = t.firstBank;
        j["last_bank"] = t.lastBank;
        j["bank_size"] = t.bankSize;
    } else {
        j["module_id"] = t.part;
        j["module_type"] = t.moduleType;
    }
    j["bytes"] = t.bytes;
    j["sum1"] = HexWord(t.received.sum1);
    j["sum2"] = HexWord(t.received.sum2);
    j["computed_sum1"] = HexWord(t.computed.sum1);
    j["computed_sum2"] = HexWord(t.computed.sum2);
    j["sums"] = t.sumsOk ? "ok" : "bad";
    j["sha256"] = t.sha256;
    j["answer"] = ToHex(&t.answer, 1);
    j["installed"] = t.installed;
    j["release"] = t.release;
    return j;
}

} // namespace

Transcript::Transcript(const std::string& path) : m_file(std::fopen(path.c_str(), "w")) {
    if (!m_file)
        throw std::runtime_error("transcript " + path + ": cannot be created");
    m_startMs = Clock::MonotonicMs();
}

std::string Transcript::ExchangeLine(uint64_t n, uint64_t ms, const std::string& via, const Request& request,
                                     const Outcome& outcome) {
    nlohmann::ordered_json line;
    line["n"] = n;
    line["ms"] = ms;
    line["via"] = via;
    line["request"] = outcome.name;
    line["received"] = ToHex(request.raw);
    if (!request.fields.empty())
        line["fields"] = request.fields;
    if (!request.payload.empty())
        line["payload_bytes"] = request.payload.size();
    line["answered"] = outcome.answered ? nlohmann::ordered_json(ToHex(outcome.answer)) : nullptr;
    if (outcome.restart)
        line["restart"] = true;
    if (!outcome.changes.empty()) {
        auto& changes = line["changes"] = nlohmann::ordered_json::array();
        for (const auto& c : outcome.changes)
            changes.push_back({{"id", c.id}, {"from", c.from}, {"to", c.to}, {"state", c.state}});
    }
    if (outcome.transfer)
        line["transfer"] = TransferJson(*outcome.transfer);
    if (!outcome.notes.empty())
        line["notes"] = outcome.notes;
    // Texts from the wire may hold any byte; replace what is not UTF-8 rather than fail.
    return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void Transcript::Exchange(const std::string& via, const Request& request, const Outcome& outcome) {
    if (!m_file)
        return;
    WriteLine(ExchangeLine(++m_count, Clock::MonotonicMs() - m_startMs, via, request, outcome));
}

void Transcript::Event(const std::string& via, const std::string& event, const std::string& detail) {
    if (!m_file)
        return;
    nlohmann::ordered_json line;
    line["n"] = ++m_count;
    line["ms"] = Clock::MonotonicMs() - m_startMs;
    line["via"] = via;
    line["event"] = event;
    if (!detail.empty())
        line["detail"] = detail;
    WriteLine(line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
}

void Transcript::WriteLine(const std::string& line) {
    std::fputs(line.c_str(), m_file.get());
    std::fputc('\n', m_file.get());
    std::fflush(m_file.get()); // a test reads it while the simulator runs
}

} // namespace sim
