// One choice of a list setup item: the text shown and the value sent to the printer. Also the entry
// type of the archive's list-item lists.
#pragma once

#include <cstdint>
#include <string>

struct ListItem {
    std::string Text;
    int32_t Value = 0;

    bool operator==(const ListItem&) const = default;
};
