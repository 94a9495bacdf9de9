#include <gtest/gtest.h>

#include "counting/timer_pace.h"

using pressory::counting::TimerPace;
using Timer = TimerPace::Timer;

namespace {

bool startsIn(const TimerPace::Step& s, int ms) { return s.timer == Timer::Start && s.timerMs == ms; }

TEST(TimerPace, APolledSourceTicksEveryTenMillisecondsAndIgnoresTheRest) {
    TimerPace pace(false);
    EXPECT_TRUE(pace.periodic());
    const auto first = pace.start(1000);
    EXPECT_TRUE(startsIn(first, 10));
    EXPECT_FALSE(first.watchSource);
    EXPECT_FALSE(first.tickNow);
    for (TimerPace::Ms t = 1010; t < 3000; t += 10) {
        // Held keys, taps and pending writes: the repeating timer stays as it is.
        const auto s = pace.afterTick(t, t % 30 == 0, 5000);
        EXPECT_EQ(s.timer, Timer::Keep);
        EXPECT_FALSE(s.watchSource);
        EXPECT_FALSE(s.tickNow);
    }
    EXPECT_EQ(pace.woke(3000).timer, Timer::Keep);
    EXPECT_FALSE(pace.woke(3000).tickNow);
}

TEST(TimerPace, NoTickWithoutAnEventAndNoneWhileAKeyIsMerelyHeld) {
    TimerPace pace(true);
    EXPECT_FALSE(pace.periodic());
    // The first tick reads what was down before the start.
    const auto first = pace.start(0);
    EXPECT_TRUE(startsIn(first, 10));
    EXPECT_TRUE(first.watchSource);
    // That tick (and every tick that finds nothing to finish) leaves no
    // timer running: only the source can cause the next one, however long
    // a key is held meanwhile.
    const auto after = pace.afterTick(10, false);
    EXPECT_EQ(after.timer, Timer::Stop);
    EXPECT_TRUE(after.watchSource);
    EXPECT_FALSE(after.tickNow);
    // An hour later the release arrives: a tick at once.
    const auto release = pace.woke(3'600'010);
    EXPECT_TRUE(release.tickNow);
    EXPECT_TRUE(release.watchSource) << "the caller has read the handle: it stays watched";
    EXPECT_EQ(release.timer, Timer::Keep);
    EXPECT_EQ(pace.afterTick(3'600'010, false).timer, Timer::Stop);
}

TEST(TimerPace, AtMostOneTickPerTenMilliseconds) {
    TimerPace pace(true);
    pace.start(0);
    pace.afterTick(100, false);
    // Events 3 ms after the tick wait for the tick 10 ms after it.
    const auto early = pace.woke(103);
    EXPECT_FALSE(early.tickNow);
    EXPECT_TRUE(startsIn(early, 7));
    EXPECT_TRUE(early.watchSource);
    // Further events before that tick leave its timer as it is.
    EXPECT_EQ(pace.woke(105).timer, Timer::Keep);
    EXPECT_FALSE(pace.woke(109).tickNow);
    // Simulated stream of events arriving every millisecond for a second:
    // the ticks they cause are never closer than 10 ms.
    TimerPace::Ms lastTick = 100, timerDue = -1;
    bool watching = true;
    int ticks = 0;
    auto apply = [&](TimerPace::Ms now, const TimerPace::Step& s) {
        if (s.timer == Timer::Start) timerDue = now + s.timerMs;
        if (s.timer == Timer::Stop) timerDue = -1;
        watching = s.watchSource;
        return s.tickNow;
    };
    apply(103, early);
    for (TimerPace::Ms now = 104; now < 1104; ++now) {
        bool tick = false;
        if (timerDue >= 0 && now >= timerDue) {
            timerDue = -1;
            tick = true;
        } else if (watching) {
            tick = apply(now, pace.woke(now));
        }
        if (tick) {
            EXPECT_GE(now - lastTick, 10) << now;
            lastTick = now;
            ++ticks;
            apply(now, pace.afterTick(now, false));
        }
    }
    EXPECT_GE(ticks, 95);
    EXPECT_LE(ticks, 100);
    // A clock that went backwards does not hold the ticks up.
    pace.afterTick(5000, false);
    EXPECT_TRUE(pace.woke(4000).tickNow);
}

TEST(TimerPace, APressThatIsOverAlreadyAndAPendingWriteBringATimedTick) {
    TimerPace pace(true);
    pace.start(0);
    const auto flash = pace.afterTick(50, true);
    EXPECT_TRUE(startsIn(flash, 10)) << "the tapped cell goes back to the up colour 10 ms later";
    EXPECT_TRUE(flash.watchSource);
    // An event meanwhile is read by that tick, on time.
    EXPECT_EQ(pace.woke(55).timer, Timer::Keep);
    EXPECT_FALSE(pace.woke(55).tickNow);
    EXPECT_EQ(pace.afterTick(60, false).timer, Timer::Stop);

    // A write due in 42 s, or overdue: a tick then, not before 10 ms.
    EXPECT_TRUE(startsIn(pace.afterTick(70, false, 42'000), 42'000));
    // The same moment, asked for again by the ticks of later events: the
    // running timer stands, through ticks that events cause at once.
    EXPECT_EQ(pace.afterTick(1070, false, 41'000).timer, Timer::Keep);
    EXPECT_EQ(pace.woke(2000).timer, Timer::Keep);
    EXPECT_EQ(pace.afterTick(2000, false, 40'071).timer, Timer::Keep) << "a millisecond of rounding";
    EXPECT_TRUE(startsIn(pace.afterTick(3000, false, 30'000), 30'000)) << "a new moment";
    EXPECT_TRUE(startsIn(pace.afterTick(80, false, 0), 10));
    EXPECT_TRUE(startsIn(pace.afterTick(90, true, 42'000), 10)) << "the sooner of the two";
}

TEST(TimerPace, TheCloseReadsOnceMoreAtOnceAndThenNothingTicks) {
    TimerPace pace(true);
    pace.start(0);
    pace.afterTick(100, false);
    const auto close = pace.closing();  // 0 ms after a tick: read all the same
    EXPECT_TRUE(close.tickNow);
    EXPECT_EQ(close.timer, Timer::Stop);
    EXPECT_FALSE(close.watchSource);
    EXPECT_TRUE(pace.closed());
    const auto last = pace.afterTick(101, true, 10);
    EXPECT_EQ(last.timer, Timer::Stop);
    EXPECT_FALSE(last.watchSource);
    EXPECT_FALSE(pace.woke(500).tickNow);
    EXPECT_FALSE(pace.woke(500).watchSource);

    TimerPace polled(false);
    polled.start(0);
    EXPECT_TRUE(polled.closing().tickNow);
    EXPECT_EQ(polled.afterTick(5, false).timer, Timer::Stop);
}

}  // namespace
