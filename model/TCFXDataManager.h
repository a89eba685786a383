// Hex coding of archive texts: every text value of a configuration archive is stored as upper-case
// hexadecimal digits, so that no byte of it ever needs XML escaping.
#pragma once

#include <string>
#include <string_view>

class TCFXDataManager {
public:
    TCFXDataManager() = delete;

    static std::string string_to_hex(std::string_view text);
    // 0..15 for a hexadecimal digit of either case, -1 for any other byte.
    static int hex_value(unsigned char c);
    // An odd length or any byte that is not a hexadecimal digit decodes to the empty text.
    static std::string hex_to_string(std::string_view hex);
};
