// The colour scale of the heat maps (the statistics window's keyboard and the
// main window's optional tint): light for keys seldom pressed, dark for the
// most pressed. The stops are a light-yellow-to-blue sequential scale whose
// lightness falls at every step, so it reads the same in greyscale and for
// people who confuse red and green; even its darkest colour keeps black text
// readable (contrast above 4.5:1), so cells keep their ordinary text colour.
#pragma once

#include <cstdint>

namespace pressory::statistics {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The colour at `level` on the scale: 0 is the lightest, 1 the darkest;
// levels outside 0..1 (and NaN) are taken as the nearer end (NaN as 0).
Rgb heatColour(double level);

// The level of a count on a scale whose darkest end is `maxCount`: the square
// root of count / maxCount, so that the many keys pressed a few hundred times
// stay apart when one key is pressed ten thousand times. 0 when maxCount is
// not positive or the count is not positive; 1 for counts at or above it.
double heatLevel(std::int64_t count, std::int64_t maxCount);

// The colour as a colour value of the cells (0x00BBGGRR).
std::int32_t colourValueOf(Rgb colour);

// The relative luminance (0 black .. 1 white) of an sRGB colour, as used for
// contrast ratios.
double relativeLuminance(Rgb colour);

}  // namespace pressory::statistics
