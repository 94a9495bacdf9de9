// Colours a keyboard of count cells by counts per key code: each counted key
// shows its count in short form, its heat colour on a scale whose dark end is
// the largest count, and the full count in its tooltip.
#pragma once

#include <array>
#include <cstdint>

namespace pressory::widgets {
class KeyboardWidget;
}

namespace pressory::statistics {

// `top` is the count of the scale's dark end; keys whose `known` flag is
// false are left blank in the up colour.
void showHeat(widgets::KeyboardWidget& keyboard, const std::array<std::int64_t, 256>& counts,
              const std::array<bool, 256>& known, std::int64_t top);

}  // namespace pressory::statistics
