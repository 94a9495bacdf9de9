#include "history/viewer_rules.h"

#include <algorithm>

namespace pressory::history {

int rowLimitForIndex(int index) {
    constexpr int kLimits[] = {10, 50, 100, 200, 500, 1000};
    if (index < 1 || index > 6) index = 1;
    return kLimits[index - 1];
}

std::int64_t gridRowCount(std::int64_t lineCount, int rowLimit) {
    if (lineCount <= 0) return 0;
    const std::int64_t limit = std::max(rowLimit, 0);
    return lineCount <= limit ? lineCount : limit + 1;
}

std::size_t gridColumnCount(std::size_t widestRow) { return std::max<std::size_t>(widestRow, kDesignedColumns); }

std::string rowCountLabel(std::int64_t gridRows) {
    return std::to_string(std::max<std::int64_t>(gridRows - 1, 0)) + " 件";
}

int columnWidthTwips(std::size_t column) {
    if (column == 0) return 1700;
    if (column <= 4) return 650;
    if (column <= 9) return 300;
    if (column == 10) return 650;
    return 450;
}

double progressBarX(std::int64_t shown, std::int64_t gridRows) {
    if (gridRows <= 0 || shown <= 0) return 0.0;
    shown = std::min(shown, gridRows);
    return static_cast<double>(shown) / static_cast<double>(gridRows) * kProgressScale;
}

}  // namespace pressory::history
