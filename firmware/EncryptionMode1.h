// Second scrambling scheme of module payloads (ENMODE 1): XOR with a key that advances with the
// position, every even position also complemented. The transformation is its own inverse.
#pragma once

#include <cstdint>

class EncryptionMode1 {
public:
    EncryptionMode1() = delete;

    // Key 0 or length below 1 leaves the data unchanged. Return 1 (done).
    static int EncryptionBuffer(int key, uint8_t* buffer, int offset, int length);
    static int DecryptionBuffer(int key, uint8_t* buffer, int offset, int length);

    static int GetScramblebyte();
};
