// The setup pages the items are shown on, chosen by id: two id ranges per page. The window's page
// buttons and the fleet tool's tables use the same table, so an item is on the same page in both.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace setup_pages {

inline constexpr int kPageCount = 8;

// Inclusive; an empty range is {-1, -2}.
struct IdRange {
    int64_t first;
    int64_t last;
};

struct Page {
    std::string_view name;
    std::array<IdRange, 2> ranges;
};

inline constexpr std::array<Page, kPageCount> kPages = {{
    {"Communication", {{{1, 100}, {1000, 10000}}}},
    {"Print", {{{101, 200}, {10001, 20000}}}},
    {"Blackmark", {{{201, 250}, {20001, 25000}}}},
    {"Misc", {{{251, 999}, {25001, 65000}}}},
    {"Orlo", {{{65001, 65200}, {-1, -2}}}},
    {"ATB", {{{65351, 65535}, {-1, -2}}}},
    {"BTP", {{{65201, 65300}, {-1, -2}}}},
    {"RFID", {{{65301, 65350}, {-1, -2}}}},
}};

// The page showing the id, or -1 when no page does.
constexpr int PageOf(int64_t id) {
    for (int page = 0; page < kPageCount; ++page)
        for (const IdRange& range : kPages[page].ranges)
            if (id >= range.first && id <= range.last)
                return page;
    return -1;
}

// The page's name; "" for -1.
constexpr std::string_view PageName(int page) {
    return page >= 0 && page < kPageCount ? kPages[page].name : std::string_view();
}

} // namespace setup_pages
