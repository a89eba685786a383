// The exchange log (--transcript FILE): one JSON object per line, written as each exchange ends, so a
// test can assert exactly what the host sent and what the printer answered and changed.
//   {"n":1,"ms":12,"via":"tcp","request":"C5","received":"1fff05...","answered":"0205...", "changes":[...],
//    "notes":[...]}
//   {"n":2,"ms":40,"via":"tcp","event":"connect"}
#pragma once

#include "sim/Session.h"

#include <cstdio>
#include <memory>
#include <string>

namespace sim {

class Transcript {
public:
    Transcript() = default; // writes nothing
    // Throws std::runtime_error when the file cannot be created.
    explicit Transcript(const std::string& path);

    void Exchange(const std::string& via, const Request& request, const Outcome& outcome);
    void Event(const std::string& via, const std::string& event, const std::string& detail = {});

    // One line as written (without the line feed); public so tests can check the format.
    [[nodiscard]] static std::string ExchangeLine(uint64_t n, uint64_t ms, const std::string& via,
                                                  const Request& request, const Outcome& outcome);

private:
    void WriteLine(const std::string& line);
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> m_file;
    uint64_t m_count = 0;
    uint64_t m_startMs = 0;
};

} // namespace sim
