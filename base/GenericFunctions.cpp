// Implementation of the stateless GenericFunctions helpers.
#include "base/GenericFunctions.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

// strtol base 10; nullopt when no digit was consumed or the value does not fit in long.
std::optional<long> ParseLong(const char* text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0; // strtol only sets errno on failure, so a stale ERANGE must not leak in
    const long v = std::strtol(text, &end, 10);
    if (end == text || errno == ERANGE) {
        return std::nullopt;
    }
    return v;
}

char CleanByte(uint8_t b) {
    return (b >= 0x20 && b <= 0x7E) ? static_cast<char>(b) : ' ';
}

} // namespace

void GenericFunctions::ConvertBufferToStringAndClean(char* out, size_t outSize, const uint8_t* src,
                                                     int srcLen, int start, int count) {
    if (out == nullptr || outSize == 0) {
        return;
    }
    out[0] = '\0';
    if (src == nullptr || start < 0 || start >= srcLen || count < 0) {
        return;
    }
    const size_t available = static_cast<size_t>(std::min(count, srcLen - start));
    const size_t limit = std::min(available, outSize - 1);
    size_t i = 0;
    for (; i < limit; ++i) {
        const uint8_t b = src[static_cast<size_t>(start) + i];
        if (b == 0x00) {
            break;
        }
        out[i] = CleanByte(b);
    }
    out[i] = '\0';
}

std::string GenericFunctions::ConvertBufferToStringAndClean(const uint8_t* src, int len) {
    std::string result;
    if (src == nullptr || len <= 0) {
        return result;
    }
    result.reserve(static_cast<size_t>(len));
    for (int i = 0; i < len && src[i] != 0x00; ++i) {
        result.push_back(CleanByte(src[i]));
    }
    return result;
}

int GenericFunctions::IndexOf(const char* const* list, const char* text) {
    if (list == nullptr || text == nullptr) {
        return -1;
    }
    for (int i = 0; list[i] != nullptr; ++i) {
        if (std::strcmp(list[i], text) == 0) {
            return i;
        }
    }
    return -1;
}

void GenericFunctions::ToUpper(char* text) {
    if (text == nullptr) {
        return;
    }
    // ASCII only: toupper follows the process locale, which would change bytes of a Latin-1 text.
    for (; *text != '\0'; ++text) {
        if (*text >= 'a' && *text <= 'z') {
            *text = static_cast<char>(*text - 'a' + 'A');
        }
    }
}

uint64_t GenericFunctions::GetCurrentTimeMsec() {
    timeval tv{};
    if (gettimeofday(&tv, nullptr) != 0) {
        return 0;
    }
    return static_cast<uint64_t>(tv.tv_sec) * 1000U + static_cast<uint64_t>(tv.tv_usec) / 1000U;
}

void GenericFunctions::RemovecharsFromString(char* text, char c) {
    if (text == nullptr) {
        return;
    }
    char* dst = text;
    for (const char* src = text; *src != '\0'; ++src) {
        if (*src != c) {
            *dst++ = *src;
        }
    }
    *dst = '\0';
}

void GenericFunctions::RemoveStrFromString(char* text, const char* part) {
    if (text == nullptr || part == nullptr || *part == '\0') {
        return;
    }
    const size_t len = std::strlen(part);
    char* hit = std::strstr(text, part);
    while (hit != nullptr) {
        std::memmove(hit, hit + len, std::strlen(hit + len) + 1);
        // Text before the removal point is unchanged and held no match, so a new match can only start
        // up to len-1 characters before it; scanning from there equals rescanning from the start.
        const size_t back = std::min(static_cast<size_t>(hit - text), len - 1);
        hit = std::strstr(hit - back, part);
    }
}

bool GenericFunctions::IsaNumericField(const uint8_t* text, size_t n) {
    if (n == 0) {
        return true;
    }
    if (text == nullptr) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        const uint8_t c = text[i];
        if (!((c >= '0' && c <= '9') || c == '<' || c == '>')) {
            return false;
        }
    }
    return true;
}

bool GenericFunctions::IsaHexNumericField(const uint8_t* text, int n) {
    if (n < 1) {
        return true;
    }
    if (text == nullptr) {
        return false;
    }
    static constexpr char prefix[] = {'$', '0', 'x'};
    size_t matched = 0;
    for (int i = 0; i < n && matched < sizeof(prefix); ++i) {
        const uint8_t c = text[i];
        if (c == '<' || c == '>') {
            continue;
        }
        if (c != static_cast<uint8_t>(prefix[matched])) {
            return false;
        }
        ++matched;
    }
    return true;
}

int GenericFunctions::ParseInt(const char* text, int fallback) {
    const std::optional<long> v = ParseLong(text);
    return v ? static_cast<int>(*v) : fallback;
}

bool GenericFunctions::ParseCheckInt(const char* text, int* value) {
    const std::optional<long> v = ParseLong(text);
    if (!v) {
        return false;
    }
    if (value != nullptr) {
        *value = static_cast<int>(*v);
    }
    return true;
}

float GenericFunctions::ParseFloat(const char* text, float fallback, int* ok) {
    if (ok != nullptr) {
        *ok = 0;
    }
    if (text == nullptr) {
        return fallback;
    }
    char* end = nullptr;
    errno = 0;
    const float v = StrtofC(text, &end);
    if (end == text || (errno == ERANGE && (v == HUGE_VALF || v == -HUGE_VALF))) {
        return fallback;
    }
    if (ok != nullptr) {
        *ok = 1;
    }
    return v;
}

namespace {

// Only where no "C" locale object could be made (out of memory): the number without the locale, from
// the first non-space character.
template <typename T> T FromChars(const char* text, char** end) {
    const char* first = text;
    while (*first == ' ' || (*first >= '\t' && *first <= '\r')) {
        ++first;
    }
    T value{};
    const auto [stop, error] = std::from_chars(first, first + std::strlen(first), value);
    if (error == std::errc::result_out_of_range) {
        errno = ERANGE;
    }
    if (end != nullptr) {
        *end = const_cast<char*>(error == std::errc::invalid_argument ? text : stop);
    }
    return value;
}

} // namespace

float GenericFunctions::StrtofC(const char* text, char** end) {
    const locale_t c = get_c_locale();
    return c != locale_t{} ? strtof_l(text, end, c) : FromChars<float>(text, end);
}

double GenericFunctions::StrtodC(const char* text, char** end) {
    const locale_t c = get_c_locale();
    return c != locale_t{} ? strtod_l(text, end, c) : FromChars<double>(text, end);
}

char* GenericFunctions::PrintFloat(char* out, size_t outSize, float value, int decimals) {
    if (out == nullptr || outSize == 0) {
        return out;
    }
    // The widest: 39 integer digits of FLT_MAX, a sign, a point and 60 decimals.
    char text[128];
    const int precision = decimals < 0 ? 6 : std::min(decimals, 60);
    // to_chars never consults the locale: the decimal point is always '.'.
    const auto [end, error] = std::to_chars(text, text + sizeof text, static_cast<double>(value),
                                            std::chars_format::fixed, precision);
    const size_t length = error == std::errc{} ? static_cast<size_t>(end - text) : 0;
    const size_t kept = std::min(length, outSize - 1); // cut as snprintf cuts
    std::memcpy(out, text, kept);
    out[kept] = '\0';
    return out;
}

int GenericFunctions::GetNumOfDecimalDigits(double value) {
    const double scaled = value * 100000.0;
    // 2^63: every double below it converts to int64 safely.
    constexpr double limit = 9223372036854775808.0;
    if (!std::isfinite(scaled) || scaled >= limit || scaled < -limit) {
        return 0;
    }
    const long long n = std::llround(scaled);
    if (n % 10 != 0) {
        return 5;
    }
    if ((n / 10) % 10 != 0) {
        return 4;
    }
    if ((n / 100) % 10 != 0) {
        return 3;
    }
    if ((n / 1000) % 10 != 0) {
        return 2;
    }
    if ((n / 10000) % 10 != 0) {
        return 1;
    }
    return 0;
}

int GenericFunctions::ExtractIntFromString(const char* text, int* values, int max) {
    if (text == nullptr || values == nullptr || max <= 0) {
        return 0;
    }
    int count = 0;
    const char* p = text;
    while (count < max) {
        while (*p != '\0' && std::isdigit(static_cast<unsigned char>(*p)) == 0) {
            ++p;
        }
        if (*p == '\0') {
            break;
        }
        char* end = nullptr;
        values[count++] = static_cast<int>(std::strtol(p, &end, 10));
        p = end;
    }
    return count;
}

void GenericFunctions::splitModify(char* text, const char* delimiters, std::vector<char*>& parts) {
    if (text == nullptr || delimiters == nullptr) {
        return;
    }
    char* save = nullptr;
    for (char* tok = strtok_r(text, delimiters, &save); tok != nullptr;
         tok = strtok_r(nullptr, delimiters, &save)) {
        parts.push_back(tok);
    }
}

uint32_t GenericFunctions::ConvertByteBufferToULong4(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

std::optional<std::vector<uint8_t>> GenericFunctions::ReadExactly(int fd, size_t size) {
    std::vector<uint8_t> data(size);
    size_t got = 0;
    while (got < size) {
        const size_t chunk = std::min<size_t>(1024, size - got);
        const ssize_t r = ::read(fd, data.data() + got, chunk);
        if (r < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (r == 0) {
            return std::nullopt; // shorter than announced: never hand out a partial file as whole
        }
        got += static_cast<size_t>(r);
    }
    return data;
}

std::optional<std::vector<uint8_t>> GenericFunctions::readfile(const char* path, int* size) {
    std::optional<std::vector<uint8_t>> data = ReadRegularFile(path, INT_MAX);
    if (data && size != nullptr) {
        *size = static_cast<int>(data->size());
    }
    return data;
}

std::optional<std::vector<uint8_t>> GenericFunctions::ReadRegularFile(const char* path, size_t maxSize) {
    if (path == nullptr) {
        return std::nullopt;
    }
    // Non-blocking, so that naming a FIFO or a device cannot hold the program in open(); what was
    // opened is then checked, not what the name pointed at a moment before.
    int fd = -1;
    do {
        fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat st {};
    std::optional<std::vector<uint8_t>> data;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 &&
        static_cast<unsigned long long>(st.st_size) <= maxSize) {
        data = ReadExactly(fd, static_cast<size_t>(st.st_size));
    }
    ::close(fd);
    return data;
}

int GenericFunctions::GetMSBIndexFromUInt(unsigned int v) {
    return v == 0 ? 1 : static_cast<int>(std::bit_width(v));
}

int GenericFunctions::BufferStringToByteArray(const char* text, char separator, uint8_t* out, int outSize) {
    if (text == nullptr) {
        return -1;
    }
    int count = 0;
    const char* p = text;
    while (*p != '\0') {
        char* end = nullptr;
        errno = 0;
        const long v = std::strtol(p, &end, 10);
        if (end == p || errno == ERANGE) {
            return -1;
        }
        if (out == nullptr || count >= outSize) {
            return -1;
        }
        out[count++] = static_cast<uint8_t>(v);
        p = end;
        if (*p == '\0') {
            break;
        }
        if (*p != separator) {
            return -1;
        }
        ++p; // a separator right before the end closes the list
    }
    return count;
}

std::vector<int> GenericFunctions::FindBytePattern(const uint8_t* buf, int len, int start,
                                                   const uint8_t* pattern, int plen) {
    std::vector<int> hits;
    if (buf == nullptr || pattern == nullptr || plen <= 0 || len <= 0) {
        return hits;
    }
    int pos = std::max(start, 0);
    while (pos < len && len - pos >= plen) {
        const size_t window = static_cast<size_t>(len - pos - plen + 1);
        const void* first = std::memchr(buf + pos, pattern[0], window);
        if (first == nullptr) {
            break;
        }
        const int at = static_cast<int>(static_cast<const uint8_t*>(first) - buf);
        if (std::memcmp(buf + at, pattern, static_cast<size_t>(plen)) == 0) {
            hits.push_back(at);
            pos = at + plen;
        } else {
            pos = at + 1;
        }
    }
    return hits;
}

std::vector<int> GenericFunctions::FindString(const uint8_t* buf, int len, int start, const char* text) {
    if (text == nullptr) {
        return {};
    }
    const size_t tlen = std::strlen(text);
    if (tlen > static_cast<size_t>(INT_MAX)) {
        return {};
    }
    return FindBytePattern(buf, len, start, reinterpret_cast<const uint8_t*>(text), static_cast<int>(tlen));
}

std::vector<int> GenericFunctions::FindString(const uint8_t* buf, int len, const char* text) {
    return FindString(buf, len, 0, text);
}

locale_t GenericFunctions::get_c_locale() {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return cLocale;
}
