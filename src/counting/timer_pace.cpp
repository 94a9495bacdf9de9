#include "counting/timer_pace.h"

#include <algorithm>
#include <cstdlib>

namespace pressory::counting {

// The timer at `due`, unless it is due then already.
TimerPace::Step TimerPace::startAt(Ms now, Ms due) {
    if (due == due_) return {Timer::Keep, 0, true, false};
    due_ = due;
    return {Timer::Start, static_cast<int>(due - now), true, false};
}

TimerPace::Step TimerPace::start(Ms now) {
    lastTick_ = now;
    due_ = now + kTickMs;
    return {Timer::Start, kTickMs, canWake_, false};
}

TimerPace::Step TimerPace::woke(Ms now) {
    if (closed_ || !canWake_) return {Timer::Keep, 0, false, false};
    const Ms since = now - lastTick_;
    // A tick at once; the timer is left for the tick's own answer.
    if (since >= kTickMs || since < 0) return {Timer::Keep, 0, true, true};
    // A tick due sooner (a tap's return to the up colour) reads it as well.
    if (due_ >= 0 && due_ <= lastTick_ + kTickMs) return {Timer::Keep, 0, true, false};
    return startAt(now, lastTick_ + kTickMs);
}

TimerPace::Step TimerPace::afterTick(Ms now, bool flashing, Ms laterTickInMs) {
    lastTick_ = now;
    if (closed_) {
        due_ = -1;
        return {Timer::Stop, 0, false, false};
    }
    if (!canWake_) return {Timer::Keep, 0, false, false};
    if (flashing) return startAt(now, now + kTickMs);
    if (laterTickInMs >= 0) {
        const Ms ms = std::clamp<Ms>(laterTickInMs, kTickMs, 24 * 60 * 60 * 1000);
        // A pending write is due at the same moment tick after tick: the
        // running timer stands (a millisecond either way is rounding).
        if (due_ > now + kTickMs && std::abs(due_ - (now + ms)) <= 1) return {Timer::Keep, 0, true, false};
        return startAt(now, now + ms);
    }
    due_ = -1;
    return {Timer::Stop, 0, true, false};
}

TimerPace::Step TimerPace::closing() {
    closed_ = true;
    due_ = -1;
    return {Timer::Stop, 0, false, true};
}

}  // namespace pressory::counting
