// GenericFunctions: small stateless helpers shared across the application - cleaning raw printer
// answers into text, locale-independent number parsing and printing, byte-pattern search and reading
// whole files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <locale.h>
#include <optional>
#include <string>
#include <vector>

class GenericFunctions {
public:
    GenericFunctions() = delete;

    // Copies up to `count` bytes of src[start..] into out as printable text: 0x20..0x7E are kept, 0x00
    // ends the copy, anything else becomes a space. Never reads past srcLen nor writes past outSize
    // (always NUL-terminated when outSize > 0).
    static void ConvertBufferToStringAndClean(char* out, size_t outSize, const uint8_t* src, int srcLen,
                                              int start, int count);
    // Same cleaning of the first `len` bytes, returned as a string.
    static std::string ConvertBufferToStringAndClean(const uint8_t* src, int len);

    // Position of `text` in a nullptr-terminated list, -1 when absent.
    static int IndexOf(const char* const* list, const char* text);
    static void ToUpper(char* text);
    // Wall clock, milliseconds since the epoch; 0 if the clock cannot be read.
    static uint64_t GetCurrentTimeMsec();
    static void RemovecharsFromString(char* text, char c);
    // Removes `part` until no occurrence is left, including ones created by earlier removals.
    static void RemoveStrFromString(char* text, const char* part);

    // Digits and '<' / '>' only (the printer brackets some numeric fields).
    static bool IsaNumericField(const uint8_t* text, size_t n);
    // Brackets ignored, the text starts with "$0x" (or a prefix of it when shorter).
    static bool IsaHexNumericField(const uint8_t* text, int n);

    // strtol base 10 truncated to int; `fallback` when nothing is parsed or the value overflows long.
    static int ParseInt(const char* text, int fallback);
    // Same rule; on failure *value is left untouched.
    static bool ParseCheckInt(const char* text, int* value);
    // Always uses '.' as decimal point, whatever the process locale. *ok (if given) gets 1 or 0.
    static float ParseFloat(const char* text, float fallback, int* ok);
    // strtof and strtod as in the "C" locale (a '.' decimal point whatever the process locale), with
    // their results and end pointers unchanged.
    static float StrtofC(const char* text, char** end);
    static double StrtodC(const char* text, char** end);
    // Prints with `decimals` fixed decimals ("%f" when negative, at most 60) and a '.' decimal point.
    static char* PrintFloat(char* out, size_t outSize, float value, int decimals);
    // Decimals (0..5) needed to show the value without losing its first five decimals.
    static int GetNumOfDecimalDigits(double value);
    // Collects up to `max` unsigned decimal numbers found anywhere in the text; returns how many.
    static int ExtractIntFromString(const char* text, int* values, int max);
    // strtok_r split; the pointers point into `text`, which is modified.
    static void splitModify(char* text, const char* delimiters, std::vector<char*>& parts);
    // Little-endian 32-bit value of p[0..3].
    static uint32_t ConvertByteBufferToULong4(const uint8_t* p);

    // Whole contents of a regular file; *size receives its size. nullopt when the file is not a regular
    // file, is larger than INT_MAX bytes or cannot be read completely.
    static std::optional<std::vector<uint8_t>> readfile(const char* path, int* size);
    // The whole content of a regular file of at most maxSize bytes; nothing for anything else (a
    // FIFO, a device, a directory), without ever blocking on it.
    static std::optional<std::vector<uint8_t>> ReadRegularFile(const char* path, size_t maxSize);
    // Reads exactly `size` bytes from fd; nullopt on a read error or when EOF comes first.
    static std::optional<std::vector<uint8_t>> ReadExactly(int fd, size_t size);

    // 1-based position of the highest set bit; 1 for 0.
    static int GetMSBIndexFromUInt(unsigned int v);
    // "1,2,300" -> {1,2,44}; returns the count or -1 on malformed text, overflow or too many numbers.
    static int BufferStringToByteArray(const char* text, char separator, uint8_t* out, int outSize);

    // Non-overlapping positions of pattern in buf[start..len).
    static std::vector<int> FindBytePattern(const uint8_t* buf, int len, int start, const uint8_t* pattern,
                                            int plen);
    static std::vector<int> FindString(const uint8_t* buf, int len, int start, const char* text);
    static std::vector<int> FindString(const uint8_t* buf, int len, const char* text);

    // The "C" locale, created once and kept for the life of the process.
    static locale_t get_c_locale();
};
