// The test main of the suites that must give the same bytes whatever the locale. With the variable
// below set (ctest sets it for the suites' second run), the C library's locale is switched to the
// one it names before any test runs, as the window's QApplication switches to the user's locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kLocaleVariable = "DALVORA_TESTONLY_LOCALE";
// ctest reports a run that ends with this status as skipped (SKIP_RETURN_CODE).
constexpr int kSkipped = 77;

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const char* name = std::getenv(kLocaleVariable);
    if (name != nullptr && *name != '\0') {
        if (std::setlocale(LC_ALL, name) == nullptr) {
            std::printf("SKIPPED: locale %s is not installed; scripts/install-deps.sh generates it\n", name);
            return kSkipped;
        }
        // A locale with a decimal point would test nothing: say so rather than pass.
        if (std::strcmp(std::localeconv()->decimal_point, ".") == 0) {
            std::printf("FAILED: locale %s has a decimal point, not a decimal comma\n", name);
            return 1;
        }
        std::printf("Running under locale %s\n", name);
    }
    return RUN_ALL_TESTS();
}
