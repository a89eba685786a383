// Byte-wise scrambling of firmware package data and of module payloads, keyed by the one-byte
// scramble byte stored in the file. Works in place on [offset, offset + length) of a buffer.
#pragma once

#include <cstdint>

class EncryptionPSW {
public:
    EncryptionPSW() = delete;

    // Key 0 leaves the data as it is; odd and even keys use different rotation schedules.
    // The position that drives the rotation restarts at 0 at `offset`. Return 1 (done).
    static int EncryptionBuffer(int scramble, uint8_t* buffer, int offset, int length);
    static int DecryptionBuffer(int scramble, uint8_t* buffer, int offset, int length);

    static int EncryptionBufferFromBufferDispari(int scramble, uint8_t* buffer, int offset, int length);
    static int DecryptionBufferFromBufferDispari(int scramble, uint8_t* buffer, int offset, int length);
    static int EncryptionBufferFromBufferPari(int scramble, uint8_t* buffer, int offset, int length);
    static int DecryptionBufferFromBufferPari(int scramble, uint8_t* buffer, int offset, int length);

    // Rotations within 8 bits; n below 1 leaves the byte unchanged.
    static uint8_t ByteRotateSx(uint8_t value, int n);
    static uint8_t ByteRotateDx(uint8_t value, int n);

    // The printer identity byte is stored as NOT(gsi XOR key); key 0 stores it plain.
    static int EncryptionGSIByte(int gsi, int scramble);
    static int DecryptionGSIByte(int gsi, int scramble);

    // A fresh key in 1..254, from a generator seeded with the current time in seconds.
    static int GetScramblebyte();
};
