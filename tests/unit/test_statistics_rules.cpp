#include <gtest/gtest.h>

#include <limits>

#include "history/history_summary.h"
#include "statistics/statistics_rules.h"

using namespace pressory;
using namespace pressory::statistics;
using history::Date;
using history::dayNumber;

namespace {

DayMap daysOf(std::initializer_list<std::pair<Date, std::int64_t>> totals) {
    DayMap m;
    for (const auto& [date, total] : totals) m[dayNumber(date)] = {total, 1};
    return m;
}

TEST(RecentDays, NinetyDaysEndingAtTheLastRecordedDayWithZerosBetween) {
    const DayMap days = daysOf({{{2025, 1, 5}, 99}, {{2026, 2, 27}, 10}, {{2026, 3, 2}, 20}});
    const auto series = recentDays(days);
    ASSERT_EQ(series.size(), 90u);
    EXPECT_EQ(series.back().day, dayNumber({2026, 3, 2}));
    EXPECT_EQ(series.front().day, dayNumber({2026, 3, 2}) - 89);
    for (std::size_t i = 1; i < series.size(); ++i) ASSERT_EQ(series[i].day, series[i - 1].day + 1);
    std::int64_t sum = 0;
    for (const auto& p : series) sum += p.total;
    EXPECT_EQ(sum, 30);  // the day of 2025 lies before the chart
    // Across the end of February: 2/27 is 10, 2/28 and 3/1 are 0, 3/2 is 20.
    EXPECT_EQ(series[86].total, 10);
    EXPECT_EQ(series[86].records, 1);
    EXPECT_EQ(series[87].total, 0);
    EXPECT_EQ(series[87].records, 0);
    EXPECT_EQ(series[88].total, 0);
    EXPECT_EQ(series[89].total, 20);

    EXPECT_TRUE(recentDays({}).empty());
    EXPECT_EQ(recentDays(days, 3).size(), 3u);
}

TEST(RecentDays, TheAverageIsOfTheDayAndTheSixBeforeItWithGapsAsZero) {
    DayMap days;
    const int last = dayNumber({2026, 5, 31});
    // Seven days of 7, 14, ..., 49 end at `last`; the chart is 3 days long, so
    // its first average reaches back over days outside the chart.
    for (int i = 0; i < 7; ++i) days[last - 6 + i] = {7 * (i + 1), 1};
    days[last - 10] = {700, 1};  // beyond seven days of every day shown
    const auto series = recentDays(days, 3);
    ASSERT_EQ(series.size(), 3u);
    // Day last-2: days last-8..last-2 are 0, 0, 7, 14, 21, 28, 35.
    EXPECT_DOUBLE_EQ(series[0].average, (7 + 14 + 21 + 28 + 35) / 7.0);
    EXPECT_DOUBLE_EQ(series[1].average, (7 + 14 + 21 + 28 + 35 + 42) / 7.0);
    EXPECT_DOUBLE_EQ(series[2].average, (7 + 14 + 21 + 28 + 35 + 42 + 49) / 7.0);

    // A single day: its average is a seventh of it, the days before being empty.
    const auto one = recentDays(daysOf({{{2026, 1, 1}, 70}}));
    EXPECT_DOUBLE_EQ(one.back().average, 10.0);
    EXPECT_DOUBLE_EQ(one[one.size() - 2].average, 0.0);
}

TEST(BusiestDay, LargestTotalAndTheEarliestOfEqualOnes) {
    EXPECT_FALSE(busiestDay({}).has_value());
    const auto b = busiestDay(daysOf({{{2026, 1, 3}, 50}, {{2026, 1, 1}, 80}, {{2026, 1, 2}, 80}, {{2026, 1, 4}, 79}}));
    ASSERT_TRUE(b.has_value());
    EXPECT_EQ(b->day, dayNumber({2026, 1, 1}));
    EXPECT_EQ(b->total, 80);
}

TEST(TopKeys, LargestFirstWithSharesOfAllKeys) {
    std::array<std::int64_t, 256> sums{};
    for (int vk = 'A'; vk <= 'Z'; ++vk) sums[static_cast<std::size_t>(vk)] = vk - 'A' + 1;  // A 1 .. Z 26
    sums['E'] = 26;                                                                         // ties with Z
    sums[13] = 100;                                                                         // Enter
    const auto top = topKeys(sums);
    ASSERT_EQ(top.size(), 10u);
    EXPECT_EQ(top[0].vk, 13);
    EXPECT_EQ(top[0].caption, "Enter");
    EXPECT_EQ(top[1].vk, 'E');  // the lower code first among equal counts
    EXPECT_EQ(top[2].vk, 'Z');
    EXPECT_EQ(top[3].vk, 'Y');
    std::int64_t all = 100;
    for (int vk = 'A'; vk <= 'Z'; ++vk) all += sums[static_cast<std::size_t>(vk)];
    EXPECT_DOUBLE_EQ(top[0].percent, 100.0 * 100 / static_cast<double>(all));
    EXPECT_DOUBLE_EQ(top[2].percent, 100.0 * 26 / static_cast<double>(all));

    std::array<std::int64_t, 256> few{};
    few['A'] = 3;
    few['B'] = 1;
    const auto two = topKeys(few);
    ASSERT_EQ(two.size(), 2u);  // keys never pressed are not listed
    EXPECT_DOUBLE_EQ(two[0].percent + two[1].percent, 100.0);
    EXPECT_EQ(largestKeyCount(few), 3);
    EXPECT_EQ(largestKeyCount({}), 0);
    EXPECT_TRUE(topKeys({}).empty());
}

TEST(Texts, NumbersPercentsAndDays) {
    EXPECT_EQ(groupDigits(0), "0");
    EXPECT_EQ(groupDigits(999), "999");
    EXPECT_EQ(groupDigits(1000), "1,000");
    EXPECT_EQ(groupDigits(1234567), "1,234,567");
    EXPECT_EQ(groupDigits(-12345), "-12,345");
    EXPECT_EQ(groupDigits(std::numeric_limits<std::int64_t>::max()), "9,223,372,036,854,775,807");
    EXPECT_EQ(groupDigits(std::numeric_limits<std::int64_t>::min()), "-9,223,372,036,854,775,808");
    EXPECT_EQ(compactCount(0), "0");
    EXPECT_EQ(compactCount(9999), "9999");
    EXPECT_EQ(compactCount(10000), "1.0万");
    EXPECT_EQ(compactCount(12999), "1.2万");  // never more than the count
    EXPECT_EQ(compactCount(99999), "9.9万");
    EXPECT_EQ(compactCount(100000), "10万");
    EXPECT_EQ(compactCount(505156), "50万");
    EXPECT_EQ(compactCount(1000000), "100万");
    EXPECT_EQ(compactCount(99999999), "9999万");
    EXPECT_EQ(compactCount(100000000), "1.0億");
    EXPECT_EQ(compactCount(123456789), "1.2億");
    EXPECT_EQ(compactCount(12345678901), "123億");
    EXPECT_EQ(formatPercent(12.345678), "12.35%");
    EXPECT_EQ(formatPercent(100), "100.00%");
    EXPECT_EQ(shortDay(dayNumber({2026, 12, 7})), "12/7");
}

TEST(DayTotalsCsv, BomHeaderAndOneCrLfLinePerRecordedDay) {
    DayMap days;
    days[dayNumber({2026, 1, 31})] = {1234, 3};
    days[dayNumber({2025, 12, 31})] = {5, 1};
    const std::string csv = dayTotalsCsv(days);
    EXPECT_EQ(csv,
              "\xEF\xBB\xBF"
              "日付,合計,記録数\r\n"
              "2025/12/31,5,1\r\n"
              "2026/01/31,1234,3\r\n");
    EXPECT_EQ(dayTotalsCsv({}), "\xEF\xBB\xBF日付,合計,記録数\r\n");
}

}  // namespace
