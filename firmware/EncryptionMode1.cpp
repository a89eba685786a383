#include "firmware/EncryptionMode1.h"

#include "firmware/EncryptionPSW.h"

#include <cstddef>

int EncryptionMode1::EncryptionBuffer(int key, uint8_t* buffer, int offset, int length) {
    if ((key & 0xFF) == 0 || buffer == nullptr || offset < 0 || length < 1)
        return 1;
    uint8_t* data = buffer + offset;
    const auto n = static_cast<size_t>(length);
    const auto k = static_cast<uint8_t>(key);
    for (size_t i = 0; i < n; ++i) {
        const auto m = static_cast<uint8_t>(k + i);
        const auto x = static_cast<uint8_t>(data[i] ^ m);
        data[i] = (i & 1) == 0 ? static_cast<uint8_t>(~x) : x;
    }
    return 1;
}

int EncryptionMode1::DecryptionBuffer(int key, uint8_t* buffer, int offset, int length) {
    return EncryptionBuffer(key, buffer, offset, length);
}

int EncryptionMode1::GetScramblebyte() {
    return EncryptionPSW::GetScramblebyte();
}
