#include "statistics/heat_tint.h"

#include "statistics/heat_scale.h"

namespace pressory::statistics {

std::int32_t HeatTint::cellColour(std::int32_t count, std::int32_t upColour) const {
    if (count <= 0) return upColour;
    return colourValueOf(heatColour(heatLevel(count, largest_)));
}

}  // namespace pressory::statistics
