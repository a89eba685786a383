// The shared clock: the test time scale and the scaling of waits.
#include "base/Clock.h"

#include <gtest/gtest.h>

namespace {
class ClockTest : public ::testing::Test {
protected:
    void TearDown() override { Clock::SetScaleForTesting(1.0); }
};
} // namespace

TEST_F(ClockTest, ScaleFromEnvironmentText) {
    EXPECT_DOUBLE_EQ(Clock::ParseScale("0.01"), 0.009999999776482582); // read as a float
    EXPECT_DOUBLE_EQ(Clock::ParseScale("1"), 1.0);
    for (const char* bad : {"", "abc", "0", "-0.5", "2", "inf", "nan"})
        EXPECT_DOUBLE_EQ(Clock::ParseScale(bad), 1.0) << bad;
    EXPECT_DOUBLE_EQ(Clock::ParseScale(nullptr), 1.0);
}

TEST_F(ClockTest, ScaledWaitsNeverBecomeZero) {
    Clock::SetScaleForTesting(0.01);
    EXPECT_EQ(Clock::ScaledMs(2000), 20u);
    EXPECT_EQ(Clock::ScaledMs(1), 1u);
    EXPECT_EQ(Clock::ScaledMs(0), 0u);
    EXPECT_EQ(Clock::ScaledMs(0xFFFFFFFFu), 42949673u);
    Clock::SetScaleForTesting(5.0); // out of range: waits are never stretched
    EXPECT_EQ(Clock::ScaledMs(2000), 2000u);
}
