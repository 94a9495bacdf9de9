#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "statistics/heat_scale.h"
#include "statistics/heat_tint.h"

namespace pressory::statistics {
namespace {

TEST(HeatScale, RunsFromLightToDarkWithLightnessFallingAllTheWay) {
    EXPECT_EQ(heatColour(0), (Rgb{0xFF, 0xFF, 0xD9}));
    EXPECT_EQ(heatColour(1), (Rgb{0x1D, 0x91, 0xC0}));
    // Outside the scale and NaN: the nearer end, never garbage.
    EXPECT_EQ(heatColour(-3), heatColour(0));
    EXPECT_EQ(heatColour(7), heatColour(1));
    EXPECT_EQ(heatColour(std::numeric_limits<double>::quiet_NaN()), heatColour(0));

    // Read in greyscale, a darker key is always a more used key: lightness
    // falls over every twentieth of the scale, and between neighbouring
    // levels it never rises by more than the rounding to 8-bit channels.
    double previous = 2;
    double previousStep = 2;
    for (int i = 0; i <= 1000; ++i) {
        const double l = relativeLuminance(heatColour(i / 1000.0));
        EXPECT_LE(l, previous + 0.001) << "level " << i / 1000.0;
        previous = l;
        if (i % 50 == 0) {
            EXPECT_LT(l, previousStep - 0.01) << "level " << i / 1000.0;
            previousStep = l;
        }
    }
    EXPECT_GT(relativeLuminance(heatColour(0)) - relativeLuminance(heatColour(1)), 0.6);
    // Black text stays readable on the darkest cell (contrast ratio >= 4.5).
    EXPECT_GE((relativeLuminance(heatColour(1)) + 0.05) / 0.05, 4.5);
}

TEST(HeatScale, LevelOfACount) {
    EXPECT_EQ(heatLevel(5, 0), 0);
    EXPECT_EQ(heatLevel(5, -1), 0);
    EXPECT_EQ(heatLevel(0, 100), 0);
    EXPECT_EQ(heatLevel(-4, 100), 0);
    EXPECT_EQ(heatLevel(100, 100), 1);
    EXPECT_EQ(heatLevel(250, 100), 1);
    EXPECT_DOUBLE_EQ(heatLevel(25, 100), 0.5);
    // Counts beyond 32 bits (all-time sums) do not overflow.
    EXPECT_DOUBLE_EQ(heatLevel(std::int64_t{1} << 40, std::int64_t{1} << 42), 0.5);
    double previous = 0;
    for (std::int64_t c = 1; c <= 1000; ++c) {
        const double l = heatLevel(c, 1000);
        EXPECT_GT(l, previous);
        previous = l;
    }
}

TEST(HeatScale, ColourValueIsBlueGreenRed) { EXPECT_EQ(colourValueOf(Rgb{0x12, 0x34, 0x56}), 0x00563412); }

}  // namespace
}  // namespace pressory::statistics

namespace pressory::statistics {
namespace {

TEST(HeatTint, FollowsTheLargestCountAndLeavesUnpressedKeysPlain) {
    constexpr std::int32_t kUp = static_cast<std::int32_t>(0x80000005u);
    HeatTint tint;
    EXPECT_EQ(tint.cellColour(0, kUp), kUp);
    EXPECT_TRUE(tint.observe(4));
    EXPECT_FALSE(tint.observe(4));  // equal to the largest: the scale stays
    EXPECT_FALSE(tint.observe(1));
    EXPECT_EQ(tint.cellColour(4, kUp), colourValueOf(heatColour(1)));
    EXPECT_EQ(tint.cellColour(1, kUp), colourValueOf(heatColour(0.5)));
    EXPECT_EQ(tint.cellColour(0, kUp), kUp);
    EXPECT_TRUE(tint.observe(16));
    EXPECT_EQ(tint.cellColour(4, kUp), colourValueOf(heatColour(0.5)));
    tint.rescale(0);  // a reset: the next press starts the scale again
    EXPECT_TRUE(tint.observe(1));
    EXPECT_EQ(tint.largest(), 1);
}

}  // namespace
}  // namespace pressory::statistics
