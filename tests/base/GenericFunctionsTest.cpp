// The helpers whose faults reach the program's input and output: buffers that must stay in bounds,
// numbers that must parse the same way in every locale, files that must be read whole or not at all.
#include "base/GenericFunctions.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using GF = GenericFunctions;

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

TEST(GenericFunctionsBounds, CleanedTextStaysInItsBuffer) {
    char out[32];
    auto clean = [&out](const std::vector<uint8_t>& src, int start, int count) {
        std::memset(out, 'X', sizeof out);
        GF::ConvertBufferToStringAndClean(out, sizeof out, src.data(), static_cast<int>(src.size()), start,
                                          count);
        return std::string(out);
    };
    const std::vector<uint8_t> src = {'A', 0x01, 0x7F, 0x80, 0xFF, '\n', ' ', '~', 'Z'};
    EXPECT_EQ(clean(src, 0, 9), "A      ~Z") << "control and high bytes become spaces";
    EXPECT_EQ(clean(src, 6, 100), " ~Z") << "count beyond the source is cut at its end";
    EXPECT_EQ(clean(src, -1, 3), "");
    const std::vector<uint8_t> hello = {'H', 'E', 'L', 'L', 'O'};
    for (size_t outSize : {3u, 1u, 0u}) {
        std::memset(out, '#', sizeof out);
        GF::ConvertBufferToStringAndClean(out, outSize, hello.data(), 5, 0, 5);
        EXPECT_EQ(out[outSize], '#') << "wrote past outSize " << outSize;
    }
}

TEST(GenericFunctionsBounds, NumberListsNeverWritePastTheirArray) {
    int ints[3] = {-9, -9, -9};
    EXPECT_EQ(GF::ExtractIntFromString("1 2 3 4", ints, 2), 2);
    EXPECT_EQ(ints[2], -9);
    uint8_t bytes[3] = {0xEE, 0xEE, 0xEE};
    EXPECT_EQ(GF::BufferStringToByteArray("1,2,3", ',', bytes, 2), -1) << "too many numbers";
    EXPECT_EQ(bytes[2], 0xEE);
    EXPECT_EQ(GF::BufferStringToByteArray("1,99999999999999999999", ',', bytes, 2), -1);
    EXPECT_EQ(GF::BufferStringToByteArray("1,,2", ',', bytes, 2), -1);
}

TEST(GenericFunctionsBounds, MatchesDoNotOverlapNorRunPastTheLength) {
    using V = std::vector<int>;
    const std::string aaaa = "AAAA";
    EXPECT_EQ(GF::FindString(reinterpret_cast<const uint8_t*>(aaaa.data()), 4, "AA"), (V{0, 2}));
    const std::string ab = "ABxAB";
    EXPECT_EQ(GF::FindString(reinterpret_cast<const uint8_t*>(ab.data()), 4, "AB"), (V{0}));
    EXPECT_EQ(GF::FindString(reinterpret_cast<const uint8_t*>(ab.data()), 5, "ABxABx"), V{});
}

TEST(GenericFunctionsParse, IntegersRefuseOverflowAndIgnoreAStaleErrno) {
    EXPECT_EQ(GF::ParseInt("12abc", -1), 12);
    EXPECT_EQ(GF::ParseInt("abc", -1), -1);
    EXPECT_EQ(GF::ParseInt("99999999999999999999", -5), -5);
    errno = ERANGE;
    EXPECT_EQ(GF::ParseInt("5", -8), 5);
    int v = 77;
    EXPECT_FALSE(GF::ParseCheckInt("9223372036854775808", &v));
    EXPECT_FALSE(GF::ParseCheckInt("abc", &v));
    EXPECT_EQ(v, 77) << "failure must leave the value untouched";
    EXPECT_TRUE(GF::ParseCheckInt(" 9100", &v));
    EXPECT_EQ(v, 9100);
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

TEST(GenericFunctionsFiles, WholeRegularFilesOnly) {
    TempDir dir;
    std::string content(2500, '\0'); // more than one read chunk, NULs included
    std::iota(content.begin(), content.end(), '\0');
    dir.write("data.bin", content);
    int size = -1;
    const auto data = GF::readfile(dir.file("data.bin").c_str(), &size);
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(size, 2500);
    EXPECT_EQ(std::string(data->begin(), data->end()), content);
    EXPECT_FALSE(GF::ReadRegularFile(dir.file("data.bin").c_str(), 2499).has_value()) << "above the limit";
    EXPECT_FALSE(GF::readfile(dir.file("missing").c_str(), &size).has_value());
    EXPECT_FALSE(GF::readfile(dir.path().c_str(), &size).has_value()) << "a directory";
    // A FIFO without a writer would block a plain open() for good.
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    alarm(10); // a hang ends the run instead of stalling it
    EXPECT_FALSE(GF::readfile(dir.file("fifo").c_str(), &size).has_value());
    alarm(0);
}

TEST(GenericFunctionsFiles, ShortDataIsNotAWholeFile) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "abc", 3), 3);
    close(fds[1]);
    alarm(10); // a loop that spins at EOF kills the run instead of hanging it
    EXPECT_FALSE(GF::ReadExactly(fds[0], 10).has_value());
    alarm(0);
    close(fds[0]);
}
