#include "ctl/Table.h"

#include <algorithm>

namespace ctl {

size_t DisplayWidth(const std::string& text) {
    return static_cast<size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

namespace {

void PrintRow(std::ostream& out, const std::vector<std::string>& row, const std::vector<size_t>& widths) {
    std::string line;
    for (size_t column = 0; column < widths.size(); ++column) {
        const std::string cell = column < row.size() ? row[column] : std::string();
        line += cell;
        // The last column is not padded: no trailing blanks.
        if (column + 1 < widths.size())
            line += std::string(widths[column] - DisplayWidth(cell) + 2, ' ');
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    out << line << '\n';
}

} // namespace

void Table::Print(std::ostream& out) const {
    std::vector<size_t> widths(m_header.size(), 0);
    for (size_t column = 0; column < m_header.size(); ++column)
        widths[column] = DisplayWidth(m_header[column]);
    for (const auto& row : m_rows)
        for (size_t column = 0; column < std::min(row.size(), widths.size()); ++column)
            widths[column] = std::max(widths[column], DisplayWidth(row[column]));
    PrintRow(out, m_header, widths);
    for (const auto& row : m_rows)
        PrintRow(out, row, widths);
}

} // namespace ctl
