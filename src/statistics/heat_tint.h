// The main window's heat tint: a key's cell, while the key is up, shows the
// heat colour of its share of the period's presses, on a scale whose darkest
// end is the period's most pressed key. A key not pressed in the period keeps
// the plain up colour, so unused keys stand apart from little-used ones.
//
// The scale only moves when the largest count does; between such moves a
// press changes the colour of its own cell only. Counts only grow within a
// period, so the largest count is followed press by press and set again when
// the counts are reset.
#pragma once

#include <cstdint>

namespace pressory::statistics {

class HeatTint {
public:
    // The largest count so far; 0 after a reset.
    std::int32_t largest() const noexcept { return largest_; }

    // Takes in a key's new count. True when it is the new largest count:
    // every cell's colour is then to be worked out again.
    bool observe(std::int32_t count) noexcept {
        if (count <= largest_) return false;
        largest_ = count;
        return true;
    }

    // Starts the scale again from the given largest count (at a reset, or
    // when the tint is switched on).
    void rescale(std::int32_t largest) noexcept { largest_ = largest > 0 ? largest : 0; }

    // The colour value of an up cell with `count` presses in the period:
    // `upColour` itself for a key not pressed, else its heat colour.
    std::int32_t cellColour(std::int32_t count, std::int32_t upColour) const;

private:
    std::int32_t largest_ = 0;
};

}  // namespace pressory::statistics
