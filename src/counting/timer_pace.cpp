#include "counting/timer_pace.h"

namespace pressory {

TimerPace::Change TimerPace::afterTick(bool anyKeyDown) {
    if (!canWake_) return Change::None;
    if (anyKeyDown) {
        quietTicks_ = 0;
        if (!slow_) return Change::None;
        slow_ = false;   // a slow tick found a key down
        return Change::Fast;
    }
    if (slow_ || ++quietTicks_ < kQuietTicks) return Change::None;
    slow_ = true;
    return Change::Slow;
}

// Something arrived: back to a tick every 10 ms, the first one 10 ms from
// now, so that what arrives meanwhile (a key's release right after its press)
// is read in the same tick.
TimerPace::Change TimerPace::woke() {
    quietTicks_ = 0;
    if (!canWake_) return Change::None;
    slow_ = false;
    return Change::Fast;
}

}  // namespace pressory
