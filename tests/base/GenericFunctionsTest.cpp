// Tests for GenericFunctions: parsing edge cases, locale independence, bounds of the buffer helpers
// and whole-file reading.
#include "base/GenericFunctions.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <clocale>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include <pthread.h>
#include <unistd.h>

namespace {

using GF = GenericFunctions;

std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

void IgnoreSignal(int) {}

// Restores the global locale the test began with (the suite also runs under a comma locale) even
// when an assertion ends the test early.
struct CLocaleRestorer {
    std::string previous = std::setlocale(LC_ALL, nullptr);
    ~CLocaleRestorer() {
        unsetenv("LOCPATH");
        std::setlocale(LC_ALL, previous.c_str());
    }
};

} // namespace

TEST(GenericFunctionsClean, BufferVersionStaysInBounds) {
    char out[32];
    auto clean = [&out](const std::vector<uint8_t>& src, int start, int count) {
        std::memset(out, 'X', sizeof out);
        GF::ConvertBufferToStringAndClean(out, sizeof out, src.data(), static_cast<int>(src.size()), start,
                                          count);
        return std::string(out);
    };
    const std::vector<uint8_t> src = {'A', 0x01, 0x7F, 0x80, 0xFF, '\n', ' ', '~', 'Z'};
    EXPECT_EQ(clean(src, 0, 9), "A      ~Z")
        << "control and high bytes become spaces, 0x20 and 0x7E are kept";
    EXPECT_EQ(clean(src, 6, 100), " ~Z") << "count beyond the source is cut at its end";
    EXPECT_EQ(clean(src, 9, 3), "");
    EXPECT_EQ(clean(src, -1, 3), "");
    EXPECT_EQ(clean(src, 0, -1), "");
    const std::vector<uint8_t> withNul = {'A', 'B', 0x00, 'C', 'D'};
    EXPECT_EQ(clean(withNul, 0, 5), "AB");
    EXPECT_EQ(clean(withNul, 3, 2), "CD");

    const std::vector<uint8_t> hello = Bytes("HELLO");
    for (size_t outSize : {3u, 1u, 0u}) {
        std::memset(out, '#', sizeof out);
        GF::ConvertBufferToStringAndClean(out, outSize, hello.data(), 5, 0, 5);
        EXPECT_EQ(out[outSize], '#') << "wrote past outSize " << outSize;
        if (outSize > 0) {
            EXPECT_EQ(std::string(out), std::string("HELLO", outSize - 1));
        }
    }
}

TEST(GenericFunctionsClean, StringVersion) {
    const std::vector<uint8_t> src = {'O', 'K', 0x1B, 'x', 0x00, 'y'};
    EXPECT_EQ(GF::ConvertBufferToStringAndClean(src.data(), 6), "OK x");
    EXPECT_EQ(GF::ConvertBufferToStringAndClean(src.data(), 2), "OK");
    EXPECT_EQ(GF::ConvertBufferToStringAndClean(src.data(), 0), "");
    EXPECT_EQ(GF::ConvertBufferToStringAndClean(src.data(), -4), "");
    EXPECT_EQ(GF::ConvertBufferToStringAndClean(nullptr, 6), "");
}

TEST(GenericFunctionsText, IndexOfAndToUpper) {
    const char* const list[] = {"AB", "B", "ABC", nullptr};
    EXPECT_EQ(GF::IndexOf(list, "B"), 1);
    EXPECT_EQ(GF::IndexOf(list, "ABC"), 2);
    EXPECT_EQ(GF::IndexOf(list, "A"), -1) << "a prefix is not a match";
    EXPECT_EQ(GF::IndexOf(list, nullptr), -1);
    EXPECT_EQ(GF::IndexOf(nullptr, "B"), -1);
    const char* const empty[] = {nullptr};
    EXPECT_EQ(GF::IndexOf(empty, "B"), -1);

    char text[] = "abc1-z\xE9";
    GF::ToUpper(text);
    EXPECT_STREQ(text, "ABC1-Z\xE9");
    GF::ToUpper(nullptr);
}

TEST(GenericFunctionsText, RemoveCharsAndRescanningRemoval) {
    char a[] = ",a,b,,c,";
    GF::RemovecharsFromString(a, ',');
    EXPECT_STREQ(a, "abc");
    char b[] = "----";
    GF::RemovecharsFromString(b, '-');
    EXPECT_STREQ(b, "");

    // {text, part, expected}; the first case needs a rescan after the removal
    const char* const cases[][3] = {{"aabb", "ab", ""},
                                    {"xaaabbbx", "ab", "xx"},
                                    {"abcXabc", "abc", "X"},
                                    {"ab", "abc", "ab"},
                                    {"hello", "", "hello"}};
    for (const auto& c : cases) {
        std::string text = c[0];
        GF::RemoveStrFromString(text.data(), c[1]);
        EXPECT_STREQ(text.c_str(), c[2]) << c[0] << " minus " << c[1];
    }
    char g[] = "hello";
    GF::RemoveStrFromString(g, nullptr);
    EXPECT_STREQ(g, "hello");
}

TEST(GenericFunctionsFields, NumericAndHexFields) {
    auto u8 = [](const char* s) { return reinterpret_cast<const uint8_t*>(s); };
    // only n characters are examined
    const std::tuple<const char*, size_t, bool> numeric[] = {
        {"<0123456789>", 12, true}, {"12a", 3, false}, {"12a", 2, true}, {"-1", 2, false},
        {"1.5", 3, false},          {"1 ", 2, false},  {"", 0, true}};
    for (const auto& [text, n, expected] : numeric) {
        EXPECT_EQ(GF::IsaNumericField(u8(text), n), expected) << text << " n=" << n;
    }
    // brackets are skipped wherever they are; a shorter text matching the prefix so far passes
    const std::tuple<const char*, int, bool> hex[] = {
        {"<$0xZZ>", 7, true}, {"$1x", 3, false}, {"<$0", 3, true}, {"<<$>0>x", 7, true},
        {"$0X", 3, false},    {"0x", 2, false},  {"<>", 2, true},  {"<>1", 3, false},
        {"$1x", 1, true},     {"", 0, true},     {"zzz", -3, true}};
    for (const auto& [text, n, expected] : hex) {
        EXPECT_EQ(GF::IsaHexNumericField(u8(text), n), expected) << text << " n=" << n;
    }
}

TEST(GenericFunctionsParse, ParseIntRules) {
    // base 10: the 'x' of "0x10" ends the number
    const std::pair<const char*, int> cases[] = {{"  42", 42}, {"\t-17", -17}, {"+5", 5}, {"12abc", 12},
                                                 {"0x10", 0},  {"abc", -1},    {"", -1},  {"-", -1}};
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(GF::ParseInt(text, -1), expected) << '"' << text << '"';
    }
    EXPECT_EQ(GF::ParseInt(nullptr, -4), -4);
    EXPECT_EQ(GF::ParseInt("99999999999999999999", -5), -5);
    EXPECT_EQ(GF::ParseInt("-99999999999999999999", -6), -6);
    static_assert(sizeof(long) == 8, "the truncation cases assume a 64-bit long");
    EXPECT_EQ(GF::ParseInt("4294967297", -7), 1) << "values above INT_MAX are truncated";
    EXPECT_EQ(GF::ParseInt("2147483648", -7), INT_MIN);
    errno = ERANGE;
    EXPECT_EQ(GF::ParseInt("5", -8), 5) << "a stale errno must not count as overflow";
}

TEST(GenericFunctionsParse, ParseCheckIntRules) {
    int v = 77;
    EXPECT_TRUE(GF::ParseCheckInt("12abc", &v));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(GF::ParseCheckInt(" -3", &v));
    EXPECT_EQ(v, -3);
    v = 77;
    EXPECT_FALSE(GF::ParseCheckInt("abc", &v));
    EXPECT_FALSE(GF::ParseCheckInt("9223372036854775808", &v));
    EXPECT_FALSE(GF::ParseCheckInt(nullptr, &v));
    EXPECT_EQ(v, 77) << "failure must leave the value untouched";
    EXPECT_TRUE(GF::ParseCheckInt("9223372036854775807", &v));
    EXPECT_EQ(v, -1);
}

TEST(GenericFunctionsParse, ParseFloatInCLocale) {
    // {value, ok}; all expected values are exact in float
    auto parse = [](const char* text, float fallback) {
        int ok = -1;
        const float v = GF::ParseFloat(text, fallback, &ok);
        return std::pair{v, ok};
    };
    EXPECT_EQ(parse("1.5", 9.f), (std::pair{1.5f, 1}));
    EXPECT_EQ(parse("1,5", 9.f), (std::pair{1.f, 1})) << "',' is not a decimal point";
    EXPECT_EQ(parse("  -2.25mm", 9.f), (std::pair{-2.25f, 1}));
    EXPECT_EQ(parse("abc", 9.f), (std::pair{9.f, 0}));
    EXPECT_EQ(parse(nullptr, 8.f), (std::pair{8.f, 0}));
    EXPECT_EQ(parse("1e40", 7.f), (std::pair{7.f, 0})) << "overflow falls back";
    EXPECT_EQ(parse("-1e40", 7.f), (std::pair{7.f, 0}));
    const auto [tiny, ok] = parse("1e-50", 7.f);
    EXPECT_EQ(ok, 1) << "underflow is not a failure";
    EXPECT_LT(std::fabs(tiny), 1e-30f);
    EXPECT_FLOAT_EQ(GF::ParseFloat("3.5", 0.f, nullptr), 3.5f);
}

TEST(GenericFunctionsParse, PrintFloatInCLocale) {
    char out[128];
    EXPECT_EQ(GF::PrintFloat(out, sizeof out, 1.5f, 2), out);
    EXPECT_STREQ(out, "1.50");
    EXPECT_STREQ(GF::PrintFloat(out, sizeof out, 3.25f, 0), "3");
    EXPECT_STREQ(GF::PrintFloat(out, sizeof out, -2.5f, -1), "-2.500000");
    GF::PrintFloat(out, sizeof out, 1.0f, 100);
    EXPECT_EQ(std::strlen(out), 62u) << "decimals are clamped to 60";
    GF::PrintFloat(out, sizeof out, 1.0f, INT_MAX);
    EXPECT_EQ(std::strlen(out), 62u);

    std::memset(out, '#', sizeof out);
    GF::PrintFloat(out, 4, 123.456f, 2);
    EXPECT_STREQ(out, "123");
    EXPECT_EQ(out[4], '#');
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(GF::PrintFloat(out, 0, 1.f, 2), out);
    EXPECT_EQ(out[0], '#');
}

// Qt switches the process to the user's locale; with a decimal comma there, numbers must still
// print and parse with a point. Machines without such a locale get one compiled for the test.
const char* SwitchToCommaLocale(const TempDir& scratch) {
    for (const char* name : {"it_IT.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8"})
        if (std::setlocale(LC_ALL, name) != nullptr)
            return name;
    std::string command = "localedef -i it_IT -f UTF-8 " + scratch.file("it_IT.UTF-8") + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return nullptr;
    setenv("LOCPATH", scratch.path().c_str(), 1);
    return std::setlocale(LC_ALL, "it_IT.UTF-8") ? "it_IT.UTF-8" : nullptr;
}

TEST(GenericFunctionsParse, CommaLocaleDoesNotLeak) {
    TempDir scratch;
    CLocaleRestorer restore;
    const char* found = SwitchToCommaLocale(scratch);
    if (found == nullptr)
        GTEST_SKIP() << "no comma locale installed and localedef could not build it_IT.UTF-8";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    ASSERT_STREQ(probe, "1,5") << found << " should print a decimal comma";

    char out[32];
    EXPECT_STREQ(GF::PrintFloat(out, sizeof out, 1.5f, 2), "1.50");
    EXPECT_STREQ(GF::PrintFloat(out, sizeof out, -0.25f, -1), "-0.250000");
    int ok = 0;
    EXPECT_FLOAT_EQ(GF::ParseFloat("1.5", 9.f, &ok), 1.5f);
    EXPECT_EQ(ok, 1);
    EXPECT_FLOAT_EQ(GF::ParseFloat("1,5", 9.f, &ok), 1.f);
    // Archive versions: "1.09" is not 1 here either.
    const char* version = "1.09";
    char* end = nullptr;
    EXPECT_DOUBLE_EQ(GF::StrtodC(version, &end), 1.09);
    EXPECT_EQ(end, version + 4);
    EXPECT_FLOAT_EQ(GF::StrtofC(version, &end), 1.09f);
    EXPECT_EQ(end, version + 4);
}

TEST(GenericFunctionsNumbers, DecimalDigits) {
    // 0.1*100000 is not exact, so the value must be rounded; 1e12+0.5 needs the full 64-bit range.
    const std::pair<double, int> cases[] = {
        {1.25, 2},   {3.0, 0},     {0.000001, 0}, {-0.5, 1},     {0.1, 1},      {0.123, 3},
        {0.1234, 4}, {0.12345, 5}, {-0.00001, 5}, {0.000015, 5}, {0.0, 0},      {1e12 + 0.5, 1},
        {1e300, 0},  {-1e300, 0},  {NAN, 0},      {INFINITY, 0}, {-INFINITY, 0}};
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(GF::GetNumOfDecimalDigits(value), expected) << value;
    }
}

TEST(GenericFunctionsNumbers, ExtractIntsAndSplit) {
    int v[4] = {-9, -9, -9, -9};
    EXPECT_EQ(GF::ExtractIntFromString("a12b-3c,45", v, 4), 3);
    EXPECT_EQ(v[0], 12);
    EXPECT_EQ(v[1], 3) << "a sign is not part of the number";
    EXPECT_EQ(v[2], 45);
    EXPECT_EQ(v[3], -9);
    int w[3] = {-9, -9, -9};
    EXPECT_EQ(GF::ExtractIntFromString("1 2 3 4", w, 2), 2);
    EXPECT_EQ(w[2], -9) << "wrote past max";
    EXPECT_EQ(GF::ExtractIntFromString("x007y4294967297", w, 3), 2);
    EXPECT_EQ(w[0], 7);
    EXPECT_EQ(w[1], 1);
    EXPECT_EQ(GF::ExtractIntFromString("no digits", w, 3), 0);
    EXPECT_EQ(GF::ExtractIntFromString("5", w, 0), 0);

    char text[] = "a, b,,c ";
    std::vector<char*> parts{nullptr};
    GF::splitModify(text, ", ", parts);
    ASSERT_EQ(parts.size(), 4u) << "tokens are appended to what is already there";
    EXPECT_STREQ(parts[1], "a");
    EXPECT_STREQ(parts[2], "b");
    EXPECT_STREQ(parts[3], "c");
    EXPECT_EQ(parts[1], text) << "tokens point into the caller's buffer";
    char onlyDelims[] = ",,,";
    parts.clear();
    GF::splitModify(onlyDelims, ",", parts);
    EXPECT_TRUE(parts.empty());
}

TEST(GenericFunctionsNumbers, BitsAndBytes) {
    using Word = std::pair<std::array<uint8_t, 4>, uint32_t>;
    const Word words[] = {{{0x78, 0x56, 0x34, 0x12}, 0x12345678u},
                          {{0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFFFFu},
                          {{0x80, 0x00, 0x00, 0x00}, 0x80u},
                          {{0x00, 0x00, 0x00, 0x80}, 0x80000000u}};
    for (const auto& [bytes, expected] : words) {
        EXPECT_EQ(GF::ConvertByteBufferToULong4(bytes.data()), expected);
    }

    const std::pair<unsigned, int> msb[] = {
        {0, 1}, {1, 1}, {2, 2}, {3, 2}, {4, 3}, {0x40, 7}, {0x80000000u, 32}, {0xFFFFFFFFu, 32}};
    for (const auto& [v, expected] : msb) {
        EXPECT_EQ(GF::GetMSBIndexFromUInt(v), expected) << v;
    }
}

TEST(GenericFunctionsNumbers, StringToByteArray) {
    uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    ASSERT_EQ(GF::BufferStringToByteArray("1,2,300", ',', out, 4), 3);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(out[1], 2);
    EXPECT_EQ(out[2], 44) << "values are truncated to 8 bits";
    EXPECT_EQ(out[3], 0xEE);
    EXPECT_EQ(GF::BufferStringToByteArray("7;8;255", ';', out, 4), 3);
    EXPECT_EQ(out[2], 255);
    const std::pair<const char*, int> counts[] = {{"", 0},      {"1,2,", 2}, {"1;2", -1},
                                                  {"1,,2", -1}, {",1", -1},  {"12a", -1}};
    for (const auto& [text, expected] : counts) {
        EXPECT_EQ(GF::BufferStringToByteArray(text, ',', out, 4), expected) << '"' << text << '"';
    }
    EXPECT_EQ(GF::BufferStringToByteArray("1,99999999999999999999", ',', out, 4), -1);

    uint8_t small[3] = {0xEE, 0xEE, 0xEE};
    EXPECT_EQ(GF::BufferStringToByteArray("1,2,3", ',', small, 2), -1) << "too many numbers";
    EXPECT_EQ(small[2], 0xEE) << "wrote past outSize";
    EXPECT_EQ(GF::BufferStringToByteArray("1,2", ',', small, 2), 2);
    EXPECT_EQ(GF::BufferStringToByteArray("5", ',', small, 0), -1);
}

TEST(GenericFunctionsSearch, FindBytePattern) {
    using V = std::vector<int>;
    const std::vector<uint8_t> aaaa = Bytes("AAAA");
    EXPECT_EQ(GF::FindString(aaaa.data(), 4, "AA"), (V{0, 2})) << "matches must not overlap";
    const std::vector<uint8_t> aaa = Bytes("AAA");
    EXPECT_EQ(GF::FindString(aaa.data(), 3, "AA"), (V{0}));

    const std::vector<uint8_t> buf = Bytes("ABxAB");
    EXPECT_EQ(GF::FindString(buf.data(), 5, 1, "AB"), (V{3}));
    EXPECT_EQ(GF::FindString(buf.data(), 5, 3, "AB"), (V{3})) << "pattern at the very end";
    EXPECT_EQ(GF::FindString(buf.data(), 5, 4, "AB"), V{});
    EXPECT_EQ(GF::FindString(buf.data(), 5, 5, "AB"), V{});
    EXPECT_EQ(GF::FindString(buf.data(), 5, -7, "AB"), (V{0, 3}));
    EXPECT_EQ(GF::FindString(buf.data(), 4, "AB"), (V{0})) << "must stay within len";
    EXPECT_EQ(GF::FindString(buf.data(), 5, "ABxABx"), V{});
    EXPECT_EQ(GF::FindString(buf.data(), 5, ""), V{});
    EXPECT_EQ(GF::FindString(buf.data(), 5, nullptr), V{});
    EXPECT_EQ(GF::FindString(nullptr, 5, "AB"), V{});
    EXPECT_EQ(GF::FindBytePattern(buf.data(), 5, 0, buf.data(), 0), V{});

    const std::vector<uint8_t> partial = Bytes("ABABC");
    EXPECT_EQ(GF::FindString(partial.data(), 5, "ABC"), (V{2}));
    const std::vector<uint8_t> bin = {0x00, 0x1B, 0x00, 0x1B, 0x00};
    const uint8_t pat[] = {0x1B, 0x00};
    EXPECT_EQ(GF::FindBytePattern(bin.data(), 5, 0, pat, 2), (V{1, 3}));
}

TEST(GenericFunctionsSearch, LargeBuffer) {
    std::vector<uint8_t> big(4 * 1024 * 1024, 'E');
    const std::string marker = "\x1D\x28GS";
    for (size_t i = 0; i + marker.size() <= big.size(); i += 1000) {
        std::memcpy(big.data() + i, marker.data(), marker.size());
    }
    const std::vector<int> hits = GF::FindString(big.data(), static_cast<int>(big.size()), marker.c_str());
    ASSERT_EQ(hits.size(), (big.size() - marker.size()) / 1000 + 1);
    EXPECT_EQ(hits.front(), 0);
    EXPECT_EQ(hits[1], 1000);
    EXPECT_EQ(hits.back() % 1000, 0);
}

TEST(GenericFunctionsFiles, ReadExactlyFromPipe) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "abc", 3), 3);
    close(fds[1]);
    alarm(10); // a loop that spins at EOF kills the run instead of hanging it
    EXPECT_FALSE(GF::ReadExactly(fds[0], 10).has_value()) << "short data must not pass";
    alarm(0);
    close(fds[0]);

    ASSERT_EQ(pipe(fds), 0);
    std::string payload(3000, '\0'); // more than one 1024-byte chunk, NULs included
    std::iota(payload.begin(), payload.end(), '\0');
    ASSERT_EQ(write(fds[1], payload.data(), payload.size()), static_cast<ssize_t>(payload.size()));
    const auto whole = GF::ReadExactly(fds[0], payload.size());
    ASSERT_TRUE(whole.has_value());
    EXPECT_EQ(std::string(whole->begin(), whole->end()), payload);
    const auto none = GF::ReadExactly(fds[0], 0);
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->empty());
    close(fds[0]);
    close(fds[1]);
}

TEST(GenericFunctionsFiles, ReadExactlyRetriesAfterSignal) {
    struct sigaction sa = {};
    struct sigaction old = {};
    sa.sa_handler = IgnoreSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no SA_RESTART: the blocked read returns EINTR
    ASSERT_EQ(sigaction(SIGUSR1, &sa, &old), 0);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pthread_t reader = pthread_self();
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pthread_kill(reader, SIGUSR1);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        (void)!write(fds[1], "data", 4);
        close(fds[1]);
    });
    alarm(10);
    const auto got = GF::ReadExactly(fds[0], 4);
    alarm(0);
    writer.join();
    close(fds[0]);
    sigaction(SIGUSR1, &old, nullptr);
    ASSERT_TRUE(got.has_value()) << "EINTR must be retried, not reported as an error";
    EXPECT_EQ(std::string(got->begin(), got->end()), "data");
}

TEST(GenericFunctionsFiles, ReadFile) {
    std::string path = ::testing::TempDir() + "gf_readfile_XXXXXX";
    const int fd = mkstemp(path.data());
    ASSERT_GE(fd, 0);
    std::vector<uint8_t> content(2500);
    std::iota(content.begin(), content.end(), uint8_t{0});
    ASSERT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    close(fd);

    int size = -1;
    const auto data = GF::readfile(path.c_str(), &size);
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(size, 2500);
    EXPECT_EQ(*data, content);
    EXPECT_TRUE(GF::readfile(path.c_str(), nullptr).has_value());

    ASSERT_EQ(truncate(path.c_str(), 0), 0);
    const auto empty = GF::readfile(path.c_str(), &size);
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
    EXPECT_EQ(size, 0);
    unlink(path.c_str());

    size = 123;
    EXPECT_FALSE(GF::readfile(path.c_str(), &size).has_value());
    EXPECT_EQ(size, 123) << "size is only set once stat succeeded";
    EXPECT_FALSE(GF::readfile(nullptr, &size).has_value());
}

TEST(GenericFunctionsMisc, ClockAndCLocale) {
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    const auto ms = static_cast<long long>(GF::GetCurrentTimeMsec());
    EXPECT_LT(std::llabs(ms - now), 2000LL);

    const locale_t c = GF::get_c_locale();
    ASSERT_NE(c, locale_t{});
    EXPECT_EQ(GF::get_c_locale(), c) << "created once and kept";
    EXPECT_DOUBLE_EQ(strtod_l("2.75", nullptr, c), 2.75);
}
