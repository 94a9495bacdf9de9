#include "statistics/heat_scale.h"

#include <array>
#include <cmath>
#include <cstddef>

namespace pressory::statistics {
namespace {

// Light yellow through green to blue, each stop darker than the one before.
constexpr std::array<Rgb, 6> kStops{{
    {0xFF, 0xFF, 0xD9},
    {0xED, 0xF8, 0xB1},
    {0xC7, 0xE9, 0xB4},
    {0x7F, 0xCD, 0xBB},
    {0x41, 0xB6, 0xC4},
    {0x1D, 0x91, 0xC0},
}};

std::uint8_t mix(std::uint8_t a, std::uint8_t b, double f) {
    return static_cast<std::uint8_t>(std::lround(a + (static_cast<double>(b) - a) * f));
}

double linear(std::uint8_t channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

}  // namespace

Rgb heatColour(double level) {
    if (!(level > 0)) return kStops.front();  // also NaN
    if (level >= 1) return kStops.back();
    const double position = level * (kStops.size() - 1);
    const auto i = static_cast<std::size_t>(position);
    const double f = position - static_cast<double>(i);
    const Rgb& a = kStops[i];
    const Rgb& b = kStops[i + 1];
    return {mix(a.r, b.r, f), mix(a.g, b.g, f), mix(a.b, b.b, f)};
}

double heatLevel(std::int64_t count, std::int64_t maxCount) {
    if (maxCount <= 0 || count <= 0) return 0;
    if (count >= maxCount) return 1;
    return std::sqrt(static_cast<double>(count) / static_cast<double>(maxCount));
}

std::int32_t colourValueOf(Rgb colour) {
    return static_cast<std::int32_t>(colour.r) | (static_cast<std::int32_t>(colour.g) << 8) |
           (static_cast<std::int32_t>(colour.b) << 16);
}

double relativeLuminance(Rgb colour) {
    return 0.2126 * linear(colour.r) + 0.7152 * linear(colour.g) + 0.0722 * linear(colour.b);
}

}  // namespace pressory::statistics
