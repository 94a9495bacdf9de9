#include "counting/timer_pace.h"

#include <algorithm>

namespace pressory {

TimerPace::Step TimerPace::start(Ms now) {
    lastTick_ = now;
    return {Timer::Start, kTickMs, canWake_, false};
}

TimerPace::Step TimerPace::woke(Ms now) {
    if (closed_ || !canWake_) return {Timer::Keep, 0, false, false};
    // Not watched until the tick has read what arrived: the handle stays
    // readable until then.
    const Ms since = now - lastTick_;
    if (since >= kTickMs || since < 0) return {Timer::Stop, 0, false, true};
    return {Timer::Start, static_cast<int>(kTickMs - since), false, false};
}

TimerPace::Step TimerPace::afterTick(Ms now, bool flashing, Ms laterTickInMs) {
    lastTick_ = now;
    if (closed_) return {Timer::Stop, 0, false, false};
    if (!canWake_) return {Timer::Keep, 0, false, false};
    if (flashing) return {Timer::Start, kTickMs, true, false};
    if (laterTickInMs >= 0) {
        const Ms ms = std::clamp<Ms>(laterTickInMs, kTickMs, 24 * 60 * 60 * 1000);
        return {Timer::Start, static_cast<int>(ms), true, false};
    }
    return {Timer::Stop, 0, true, false};
}

TimerPace::Step TimerPace::closing() {
    closed_ = true;
    return {Timer::Stop, 0, false, true};
}

}  // namespace pressory
