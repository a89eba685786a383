// Shared pieces of the records' archive code: key names with item indexes, the type codes written in
// the "T" attribute, and the text limit of every record text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ArchiveType {
constexpr int Kind = 2; // item kind codes and checkbox bytes
constexpr int Text = 3;
constexpr int Float = 6;
constexpr int UInt64 = 11; // ids, GSI, capability words, date/time values
constexpr int Int = 30;
constexpr int ToolMask = 40;
constexpr int TextList = 100;
constexpr int UInt64List = 113;
constexpr int ViewOperation = 1000;
constexpr int ListItems = 1002;
} // namespace ArchiveType

// Texts inside records hold at most this many characters; longer input is cut.
constexpr size_t kMaxRecordText = 511;

inline std::string CutText(std::string_view text, size_t limit = kMaxRecordText) {
    return std::string(text.substr(0, limit));
}

// "name_index", the form of every per-item key.
inline std::string IndexedKey(std::string_view name, int index) {
    return std::string(name) + "_" + std::to_string(index);
}

inline std::string IndexedKey(std::string_view name, int index, int subIndex) {
    return IndexedKey(name, index) + "_" + std::to_string(subIndex);
}
