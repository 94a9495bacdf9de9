#include <gtest/gtest.h>

#include "counting/timer_pace.h"

using pressory::TimerPace;
using Change = TimerPace::Change;

namespace {

// Runs `n` ticks with every key up and returns the last change.
Change quietTicks(TimerPace& pace, int n) {
    Change last = Change::None;
    for (int i = 0; i < n; ++i) last = pace.afterTick(false);
    return last;
}

TEST(TimerPace, APolledSourceKeepsTheTenMillisecondTick) {
    TimerPace pace(false);
    EXPECT_EQ(quietTicks(pace, 1000), Change::None);
    EXPECT_EQ(pace.intervalMs(), 10);
    EXPECT_FALSE(pace.watchingSource());
    EXPECT_EQ(pace.woke(), Change::None);
    EXPECT_EQ(pace.afterTick(true), Change::None);
}

TEST(TimerPace, SlowsDownAfterTwentyQuietTicksAndAHeldKeyKeepsItFast) {
    TimerPace pace(true);
    EXPECT_EQ(pace.intervalMs(), 10);
    // A key held for a while: never slower.
    for (int i = 0; i < 100; ++i) EXPECT_EQ(pace.afterTick(true), Change::None);
    // 19 quiet ticks are not enough; a key down starts the count again.
    EXPECT_EQ(quietTicks(pace, 19), Change::None);
    EXPECT_EQ(pace.afterTick(true), Change::None);
    EXPECT_EQ(quietTicks(pace, 19), Change::None);
    EXPECT_EQ(pace.intervalMs(), 10);
    EXPECT_EQ(pace.afterTick(false), Change::Slow);   // the 20th quiet tick
    EXPECT_EQ(pace.intervalMs(), 500);
    EXPECT_TRUE(pace.watchingSource());
    // Slow ticks that find nothing change nothing.
    EXPECT_EQ(quietTicks(pace, 50), Change::None);
    EXPECT_EQ(pace.intervalMs(), 500);
}

TEST(TimerPace, TheSourceOrASlowTickFindingAKeyBringsTheFastTickBack) {
    TimerPace pace(true);
    ASSERT_EQ(quietTicks(pace, 20), Change::Slow);
    EXPECT_EQ(pace.woke(), Change::Fast);
    EXPECT_EQ(pace.intervalMs(), 10);
    EXPECT_FALSE(pace.watchingSource());
    // After waking, the quiet count starts from zero.
    EXPECT_EQ(quietTicks(pace, 19), Change::None);
    EXPECT_EQ(pace.afterTick(false), Change::Slow);

    // The safety-net tick finds a key down without the source waking.
    EXPECT_EQ(pace.afterTick(true), Change::Fast);
    EXPECT_EQ(pace.intervalMs(), 10);
    EXPECT_EQ(pace.afterTick(true), Change::None);
    EXPECT_EQ(quietTicks(pace, 20), Change::Slow);
}

}  // namespace
