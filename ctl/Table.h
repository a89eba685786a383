// Aligned text tables for the terminal: a header row, then rows, each column as wide as its widest
// cell (counted in characters, not bytes, so accented descriptions line up).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace ctl {

class Table {
public:
    explicit Table(std::vector<std::string> header) : m_header(std::move(header)) {}

    void AddRow(std::vector<std::string> row) { m_rows.push_back(std::move(row)); }
    bool Empty() const { return m_rows.empty(); }

    void Print(std::ostream& out) const;

private:
    std::vector<std::string> m_header;
    std::vector<std::vector<std::string>> m_rows;
};

// Characters of a UTF-8 text (continuation bytes are not counted).
size_t DisplayWidth(const std::string& text);

} // namespace ctl
