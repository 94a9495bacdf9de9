// The pace of the key timer.
//
// A source that can only be polled (it has no handle that wakes the program)
// is read on a tick every 10 ms, all the time.
//
// A source that can wake the program (its handle becomes readable when
// something has arrived) is read only when it has delivered something, at
// most once per 10 ms: nothing can change between its events, so a tick
// without one would find nothing, and a held key needs no tick until its
// release arrives. The caller reads the source each time its handle wakes
// the program, so that the handle stops being readable and stays watched;
// what arrives within 10 ms of a tick is counted at the tick 10 ms after it,
// together with whatever else came in the meantime. Besides, a tick runs 10 ms after a tick that showed a press
// which is over already (a tap read in one tick), so that its cell goes back
// to the up colour, and when the caller names a later moment it needs a tick
// at (a pending write), at that moment. The close of the program reads the
// source once more, whenever it comes.
//
// The rule takes the time as an argument (milliseconds of a monotonic clock)
// and answers what the timer and the watch of the handle have to do. A timer
// that is already due when it has to be is kept (Timer::Keep), not started
// again.
#pragma once

#include <cstdint>

namespace pressory::counting {

class TimerPace {
public:
    static constexpr int kTickMs = 10;
    using Ms = std::int64_t;

    enum class Timer {
        Keep,   // leave the timer as it is
        Stop,   // no timed tick
        Start,  // (re)start it: the next tick in `timerMs`
    };

    // What the program does after a call: start or stop the timer, watch the
    // source's handle or not, and whether to run a tick at once.
    struct Step {
        Timer timer = Timer::Keep;
        int timerMs = 0;
        bool watchSource = false;
        bool tickNow = false;
    };

    explicit TimerPace(bool sourceCanWake) : canWake_(sourceCanWake) {}

    // Whether the timer repeats every kTickMs (a polled source) or fires
    // once for each tick the rule asks for (a source that wakes).
    bool periodic() const noexcept { return !canWake_; }

    // Counting begins: the first tick kTickMs from now reads what is down
    // already (keys held since before the start have sent nothing).
    Step start(Ms now);
    // The source's handle became readable (and the caller has read it).
    Step woke(Ms now);
    // After every tick. `flashing`: the tick showed a press that is over
    // already. `laterTickInMs`: the caller needs a tick that many ms from
    // now even without an event (-1: none).
    Step afterTick(Ms now, bool flashing, Ms laterTickInMs = -1);
    // The close: one last reading now, whatever the pace; nothing after it.
    Step closing();

    bool closed() const noexcept { return closed_; }
    // When the one-shot timer is due, as last asked for; -1 when stopped.
    Ms dueAt() const noexcept { return due_; }

private:
    bool canWake_;
    bool closed_ = false;
    Ms lastTick_ = 0;
    Ms due_ = -1;  // when the timer is due, as last asked for; -1: stopped

    Step startAt(Ms now, Ms due);
};

}  // namespace pressory::counting
