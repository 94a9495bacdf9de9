// What the statistics window shows, decided from the history's summary
// without a widget: the series of recent days for the chart, the busiest day,
// the most pressed keys with their share, the heat map's top count, the
// per-day CSV, and how numbers are written.
//
// The chart's days: the kChartDays calendar days that end at the last day
// with a record (not today: a history that has not grown lately still shows
// its last weeks). The summary leaves out records dated after today, so that
// day is never later than today. Days without records are 0. The average of a day is the
// mean of its total and the totals of the kAverageDays - 1 days before it,
// days without records counting 0, taken over the whole history, so the
// first bars' average also sees the days before the chart.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_summary.h"

namespace pressory::statistics {

inline constexpr int kChartDays = 90;
inline constexpr int kAverageDays = 7;
inline constexpr std::size_t kTopKeys = 10;

using DayMap = std::map<int, history::DayTotal>;

struct DayPoint {
    int day = 0;  // day number (history::dayNumber)
    std::int64_t total = 0;
    std::int64_t records = 0;
    double average = 0;  // of the day and the days before it
};

// The `count` days ending at the last day with a record, oldest first; empty
// when there is no day with a record.
std::vector<DayPoint> recentDays(const DayMap& days, int count = kChartDays);

struct BusiestDay {
    int day = 0;
    std::int64_t total = 0;
};

// The day with the largest total (the earliest of equal ones); nothing when
// no day has a record.
std::optional<BusiestDay> busiestDay(const DayMap& days);

struct KeyShare {
    int vk = 0;
    std::string_view caption;  // the key's caption, UTF-8
    std::int64_t count = 0;
    double percent = 0;  // of the counts of all keys together
};

// The `limit` keys with the largest counts above 0, largest first (equal
// counts in ascending code order).
std::vector<KeyShare> topKeys(const std::array<std::int64_t, 256>& keySums, std::size_t limit = kTopKeys);

// The largest count of any key: the dark end of the heat map (0 when none).
std::int64_t largestKeyCount(const std::array<std::int64_t, 256>& keySums);

// "1,234,567": digits in groups of three.
std::string groupDigits(std::int64_t value);

// A count short enough for a key's cell: the digits below 10000, then in
// units of 万 (10^4) and 億 (10^8), with one decimal under 10 of the unit
// ("1.2万", "56万", "4.5億"), never rounded up past the count itself.
std::string compactCount(std::int64_t value);

// "12.34%": two decimals, rounded.
std::string formatPercent(double percent);

// "12/7": the month and the day, for the chart's axis.
std::string shortDay(int day);

// The per-day totals as a CSV file in UTF-8 with a byte-order mark (so that
// spreadsheet programs take it as UTF-8) and CR LF line ends: the header line
// "日付,合計,記録数", then one line per day with a record, oldest first, the
// date written "YYYY/MM/DD".
std::string dayTotalsCsv(const DayMap& days);

inline constexpr std::string_view kCsvHeader = "日付,合計,記録数";
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace pressory::statistics
