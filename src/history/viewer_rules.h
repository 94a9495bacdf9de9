// The history viewer's rules that need no window: the row limit of the menu
// items, how many grid rows and columns a file gives, the row-count label,
// the column widths and the progress bar's steps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pressory::history {

// The progress bar's own scale across its inside width.
inline constexpr int kProgressScale = 4000;
// The grid as designed: 11 columns, of which 10 stay in place.
inline constexpr int kDesignedColumns = 11;
inline constexpr int kFixedColumns = 10;

// The row limit of the row-limit menu item 1..6 (10, 50, 100, 200, 500,
// 1000); any other index counts as item 1.
int rowLimitForIndex(int index);

// Grid rows for a file of `lineCount` lines (header included) and a row
// limit: all lines when they fit, otherwise the header and `rowLimit` records.
std::int64_t gridRowCount(std::int64_t lineCount, int rowLimit);

// Grid columns for rows whose widest has `widestRow` fields: never fewer than
// the designed 11, and as many as the widest row needs.
std::size_t gridColumnCount(std::size_t widestRow);

// The text of the row-count label: the records shown, then " 件" ("10 件").
// A grid without any row (an empty file) shows "0 件".
std::string rowCountLabel(std::int64_t gridRows);

// The width of a grid column in twips: 1700 for the time, 650 for the four
// ratios and the total, 300 for the five top letters, 450 for each key.
int columnWidthTwips(std::size_t column);

// How far the progress bar reaches, on its 0..4000 scale, once `shown` of
// the records of a grid of `gridRows` rows are placed: shown / gridRows of
// the width, so it grows by 1/R per record and stops at (R - 1)/R.
double progressBarX(std::int64_t shown, std::int64_t gridRows);

}  // namespace pressory::history
