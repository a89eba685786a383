// What a setup write sent, item by item: the printer's value before and the value written. The
// preview fills the same report without sending anything, so a preview and the write it announces
// come from one selection of items.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct WrittenItem {
    uint64_t id = 0;
    std::string description;
    std::optional<std::string> before; // absent when the printer has no item of that id and kind
    std::string after;
    bool confidential = false; // a password: never shown or recorded in clear
};

struct WriteReport {
    // Items in the order they were (or would be) sent; in a real write only those the printer
    // acknowledged.
    std::vector<WrittenItem> items;
    bool stored = false; // the store command and the reset were sent
};
