// Hex coding of archive texts.
#include "model/TCFXDataManager.h"

std::string TCFXDataManager::string_to_hex(std::string_view text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(text.size() * 2);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0x0F]);
    }
    return hex;
}

int TCFXDataManager::hex_value(unsigned char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::string TCFXDataManager::hex_to_string(std::string_view hex) {
    if (hex.size() % 2 != 0) {
        return {};
    }
    std::string text;
    text.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = hex_value(static_cast<unsigned char>(hex[i]));
        const int low = hex_value(static_cast<unsigned char>(hex[i + 1]));
        if (high < 0 || low < 0) {
            return {};
        }
        text.push_back(static_cast<char>((high << 4) | low));
    }
    return text;
}
