// The pace of the key timer. With a key source that can wake the program
// (its handle becomes readable when the key state may have changed), the
// timer slows down once every key has been up for a while, and the next
// thing the source receives brings the 10 ms ticks back: nothing can change
// in between, so an idle desktop costs no wake-ups. A source that can only be
// polled keeps the 10 ms tick throughout.
#pragma once

namespace pressory {

class TimerPace {
public:
    static constexpr int kTickMs = 10;
    static constexpr int kIdleTickMs = 500;   // the slow tick, a safety net while waiting
    static constexpr int kQuietTicks = 20;    // ticks with every key up before slowing down

    // What the timer has to do after a call.
    enum class Change {
        None,
        Fast,   // restart at kTickMs, the first tick kTickMs from now; stop watching the source
        Slow,   // tick every kIdleTickMs and watch the source's handle
    };

    explicit TimerPace(bool sourceCanWake) : canWake_(sourceCanWake) {}

    // After every tick, with whether any counted key read down in it.
    Change afterTick(bool anyKeyDown);
    // The source's handle became readable.
    Change woke();

    int intervalMs() const { return slow_ ? kIdleTickMs : kTickMs; }
    bool watchingSource() const { return slow_; }

private:
    bool canWake_;
    bool slow_ = false;
    int quietTicks_ = 0;
};

}  // namespace pressory
