// The key poller: one tick samples every counted key (or, from a source that
// tells which keys moved, those and the ones that read non-zero last time), paints held keys in the
// blink colour and counts each new press into the key's count and the total.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "counting/key_layout.h"
#include "counting/key_state.h"

namespace pressory::counting {

// What a new press may ask for. The poller asks soundSwitch() and
// hasSoundEntry(vk) on every new press, and calls playSound(vk) only when
// both are true, in ascending code order within a tick.
class SoundRequests {
public:
    virtual ~SoundRequests() = default;
    virtual bool soundSwitch() = 0;
    virtual bool hasSoundEntry(int vk) = 0;
    virtual void playSound(int vk) = 0;
};

// One cell whose look changed in a tick: its colour, its text, or both.
struct CellChange {
    std::uint8_t vk;
    bool colour;
    bool text;
};

class Poller {
public:
    static constexpr std::int32_t kMaxCount = 2147483647;

    Poller();

    // polled flag[k] := key-is-counted(k) for every code. Called once before the first tick.
    void fillPolledFlags();
    bool polled(int vk) const noexcept;

    // One tick. Returns the cells whose colour or text changed, ascending by
    // code; the span stays valid until the next tick. totalChanged() tells
    // whether the total changed in this tick.
    //
    // A press is counted as the source says (see KeyStateSource::readKey):
    // every press that began since the last tick, or, from a source that only
    // knows the state, one per change from up to down between ticks.
    std::span<const CellChange> tick(KeyStateSource& keys, SoundRequests* sound);
    bool totalChanged() const noexcept { return totalChanged_; }
    // Whether the last tick painted a key that was pressed and is up again
    // already (read as pressed, not down): its cell goes back to the up
    // colour at the next tick, even when nothing else happens.
    bool flashing() const noexcept { return flashing_; }

    // While paused a tick still reads every key and shows the held ones, but
    // counts nothing and asks for no sound: presses read while paused are
    // gone, not counted when the pause ends.
    void setPaused(bool paused) noexcept { paused_ = paused; }
    bool paused() const noexcept { return paused_; }

    // Every polled count and the total back to 0. State tables and colours stay.
    void resetCounts();

    std::int32_t count(int vk) const noexcept;
    std::int32_t total() const noexcept { return total_; }
    // The 256 counts, indexed by code; codes that are not polled hold 0.
    const std::array<std::int32_t, 256>& counts() const noexcept { return counts_; }

    // The colour value a cell was last painted with (the up colour at first).
    std::int32_t cellColour(int vk) const noexcept;

    std::int32_t blinkColour() const noexcept { return blinkColour_; }
    void setBlinkColour(std::int32_t c) noexcept { blinkColour_ = c; }

    // Starts from the given counts (tests of the limits only).
    void setCountsForTesting(const std::array<std::int32_t, 256>& counts, std::int32_t total) noexcept {
        counts_ = counts;
        total_ = total;
    }

    std::int16_t currentState(int vk) const noexcept;

private:
    void readOne(int vk, KeyStateSource& keys, SoundRequests* sound);

    std::array<std::int16_t, 256> polled_{};
    std::array<std::int16_t, 256> current_{};
    std::array<std::int16_t, 256> previous_{};
    std::array<std::int32_t, 256> counts_{};
    std::array<std::int32_t, 256> colours_{};
    std::int32_t total_ = 0;
    std::int32_t blinkColour_ = colour::kDefaultBlink;
    bool totalChanged_ = false;
    bool flashing_ = false;
    bool paused_ = false;
    std::array<CellChange, 256> changes_{};
    std::size_t changeCount_ = 0;
    CodeSet nonZero_;       // the codes that read non-zero at the last tick
    bool scanned_ = false;  // the first tick reads every key
};

}  // namespace pressory::counting
