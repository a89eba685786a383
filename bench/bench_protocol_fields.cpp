// Cutting and building a realistic "<C4>" list item answer (64 elements, two links), next to a plain
// memcpy of the same bytes: the answer parser's cost per byte.
#include "comm/ProtocolFields.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string V(const std::string& content) {
    return "<" + content + ">";
}

std::string MakeListAnswer() {
    std::string body =
        V("1042") + V("2") + V("H") + V("1001") + V("1") + V("D,S") + V("1002") + V("3") + V("1");
    body += std::string("Print speed of the ticket head") + '\0' + V("1") +
            "Higher speeds lower the print contrast" + '\0';
    body += V("0") + V("3") + V("5") + V("64");
    for (int i = 0; i < 64; ++i)
        body += "Speed level " + std::to_string(i) + " (" + std::to_string(50 + i * 5) + " mm/s)" + '\0';
    const std::string summed = V("C4") + body;
    unsigned sum = 0;
    for (unsigned char c : summed)
        sum += c;
    return "\x02" + summed + V(std::to_string(sum & 0xFF)) + "\x03";
}

// One answer cut and turned into its record.
void ParseOnce(ProtocolFields& fields, const std::string& answer, benchmark::State& state) {
    fields.CreateFields(reinterpret_cast<const uint8_t*>(answer.data()), static_cast<int>(answer.size()));
    uint64_t errors = 0;
    OBJTYPE type = OBJTYPE_NONE;
    AnswerRecord record = fields.CreateSetupItem(errors, nullptr, type);
    if (type != OBJTYPE_SETUP_ITEM_LIST)
        state.SkipWithError("answer refused");
    benchmark::DoNotOptimize(record);
}

void BM_ParseListItemAnswer(benchmark::State& state) {
    const std::string answer = MakeListAnswer();
    ProtocolFields fields;
    for (auto _ : state) {
        ParseOnce(fields, answer, state);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * answer.size()));
}
BENCHMARK(BM_ParseListItemAnswer);

// As the printer operations do it: a new parser for every answer, so no field storage is left over.
void BM_ParseListItemAnswerNewParser(benchmark::State& state) {
    const std::string answer = MakeListAnswer();
    for (auto _ : state) {
        ProtocolFields fields;
        ParseOnce(fields, answer, state);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * answer.size()));
}
BENCHMARK(BM_ParseListItemAnswerNewParser);

// The cutting alone, to tell its share from the record building's.
void BM_CutListItemAnswer(benchmark::State& state) {
    const std::string answer = MakeListAnswer();
    ProtocolFields fields;
    for (auto _ : state)
        benchmark::DoNotOptimize(fields.CreateFields(reinterpret_cast<const uint8_t*>(answer.data()),
                                                     static_cast<int>(answer.size())));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * answer.size()));
}
BENCHMARK(BM_CutListItemAnswer);

void BM_MemcpyBaselineListItemAnswer(benchmark::State& state) {
    const std::string answer = MakeListAnswer();
    std::vector<char> target(answer.size());
    for (auto _ : state) {
        memcpy(target.data(), answer.data(), answer.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * answer.size()));
}
BENCHMARK(BM_MemcpyBaselineListItemAnswer);

} // namespace
