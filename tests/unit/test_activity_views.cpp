// The rules of the statistics' activity views: periods in local hours, the
// hour-by-weekday grid, speed, the keys outside the drawing, the comparison.
#include <gtest/gtest.h>

#include "history/history_summary.h"
#include "statistics/activity_views.h"

using namespace pressory;
using namespace pressory::statistics;

namespace {

std::int64_t hourOf(int year, int month, int day, int hour) {
    return std::int64_t{history::dayNumber({year, month, day})} * 24 + hour;
}
int dayOf(int year, int month, int day) { return history::dayNumber({year, month, day}); }

ActivityTally tallyOf(HourRange range) {
    return ActivityTally(range, {"", "editor", "term"}, {"A", "変換", "\\", "Space", "Caps"});
}

}  // namespace

TEST(ActivityPeriods, WholeDaysAroundNowInLocalHours) {
    // Tuesday 2026/12/08, just after midnight.
    const std::int64_t now = hourOf(2026, 12, 8, 0);
    EXPECT_EQ(periodRange(PeriodKind::Today, now), (HourRange{hourOf(2026, 12, 8, 0), hourOf(2026, 12, 9, 0)}));
    // One hour earlier is still the day before.
    EXPECT_EQ(periodRange(PeriodKind::Today, now - 1), (HourRange{hourOf(2026, 12, 7, 0), hourOf(2026, 12, 8, 0)}));
    EXPECT_EQ(periodRange(PeriodKind::ThisWeek, now), (HourRange{hourOf(2026, 12, 7, 0), hourOf(2026, 12, 14, 0)}));
    // A Sunday belongs to the week that began on the Monday before it.
    EXPECT_EQ(periodRange(PeriodKind::ThisWeek, hourOf(2026, 12, 13, 23)).first, hourOf(2026, 12, 7, 0));
    EXPECT_EQ(periodRange(PeriodKind::ThisMonth, now), (HourRange{hourOf(2026, 12, 1, 0), hourOf(2027, 1, 1, 0)}));
    EXPECT_EQ(periodRange(PeriodKind::ThisMonth, hourOf(2028, 2, 29, 5)),
              (HourRange{hourOf(2028, 2, 1, 0), hourOf(2028, 3, 1, 0)}));
    EXPECT_EQ(periodRange(PeriodKind::Last30Days, now), (HourRange{hourOf(2026, 11, 9, 0), hourOf(2026, 12, 9, 0)}));
    EXPECT_EQ(periodRange(PeriodKind::All, now, hourOf(2025, 3, 4, 17)),
              (HourRange{hourOf(2025, 3, 4, 0), hourOf(2026, 12, 9, 0)}));
    EXPECT_EQ(periodRange(PeriodKind::All, now), periodRange(PeriodKind::Today, now));
    // A row of a clock set wrong, or a damaged hour, reaches back no further than 2000.
    EXPECT_EQ(periodRange(PeriodKind::All, now, INT64_MIN).first, hourOf(2000, 1, 1, 0));
    EXPECT_EQ(periodRange(PeriodKind::Range, now, {}, INT32_MIN, dayOf(2026, 12, 3)).first, hourOf(2000, 1, 1, 0));
    EXPECT_EQ(dayOf(2000, 1, 1), kEarliestDay);
    // A range of days in either order, both days included.
    const HourRange range = periodRange(PeriodKind::Range, now, {}, dayOf(2026, 12, 3), dayOf(2026, 12, 1));
    EXPECT_EQ(range, (HourRange{hourOf(2026, 12, 1, 0), hourOf(2026, 12, 4, 0)}));
    EXPECT_EQ(previousRange(range, now), (HourRange{hourOf(2026, 11, 28, 0), hourOf(2026, 12, 1, 0)}));
    // A period still running is compared with as much of the one before.
    const std::int64_t wednesday = hourOf(2026, 12, 9, 15);
    EXPECT_EQ(previousRange(periodRange(PeriodKind::ThisWeek, wednesday), wednesday),
              (HourRange{hourOf(2026, 11, 30, 0), hourOf(2026, 12, 2, 16)}));
    // A range from long before the first data starts at the data; one that
    // ends before it stays as chosen.
    EXPECT_EQ(periodRange(PeriodKind::Range, now, hourOf(2026, 12, 2, 5), dayOf(1990, 1, 1), dayOf(2026, 12, 3)),
              (HourRange{hourOf(2026, 12, 2, 0), hourOf(2026, 12, 4, 0)}));
    EXPECT_EQ(periodRange(PeriodKind::Range, now, hourOf(2026, 12, 9, 5), dayOf(2026, 12, 1), dayOf(2026, 12, 3)),
              (HourRange{hourOf(2026, 12, 1, 0), hourOf(2026, 12, 4, 0)}));

    // Presses just before midnight belong to yesterday, not to today.
    ActivityTally today = tallyOf(periodRange(PeriodKind::Today, now));
    today.addPresses(now - 1, 1, 0, 5);
    today.addPresses(now, 1, 0, 7);
    today.addPresses(now + 24, 1, 0, 9);
    today.addPresses(now, 1, 0, INT64_MAX);  // a damaged row, left out
    EXPECT_EQ(today.total(), 7);
}

TEST(ActivityPeriods, ClockChangesKeepDaysOf24LocalHours) {
    // Berlin, 2026/10/25: 03:00 summer time goes back to 02:00. 00:30 UTC
    // (+2 h) and 01:30 UTC (+1 h) are both 02:30: one hour of the tables.
    const std::int64_t utc = std::int64_t{dayOf(2026, 10, 25)} * 86400;
    EXPECT_EQ(localHourOf(utc + 1800, 7200), hourOf(2026, 10, 25, 2));
    EXPECT_EQ(localHourOf(utc + 5400, 3600), hourOf(2026, 10, 25, 2));
    EXPECT_EQ(localMinuteOf(utc + 5400, 3600), hourOf(2026, 10, 25, 2) * 60 + 30);
    // Spring, 2026/03/29: 01:59 UTC+1 is followed by 03:00 UTC+2.
    const std::int64_t spring = std::int64_t{dayOf(2026, 3, 29)} * 86400;
    EXPECT_EQ(localHourOf(spring + 3599, 3600), hourOf(2026, 3, 29, 1));
    EXPECT_EQ(localHourOf(spring + 3600, 7200), hourOf(2026, 3, 29, 3));
    // Before 1970 the numbers round down, not toward zero.
    EXPECT_EQ(localHourOf(-1, 0), -1);
    EXPECT_EQ(dayOfHour(-1), -1);

    // The repeated hour's presses and minutes land in one cell and one day.
    const std::int64_t repeated = hourOf(2026, 10, 25, 2);
    ActivityTally day = tallyOf(periodRange(PeriodKind::Today, repeated));
    EXPECT_EQ(day.range().hours(), 24);
    day.addPresses(repeated, 1, 0, 30);
    day.addHour({repeated, 90, 40, repeated * 60 + 30});  // the writer merged both passes
    EXPECT_EQ(day.grid()[6][2], 30);                      // a Sunday
    EXPECT_EQ(day.dayTotals(), std::vector<std::int64_t>{30});
    EXPECT_DOUBLE_EQ(speedOf(day).average, 30.0 / 90.0);
}

TEST(ActivityGrid, RowsMondayToSundayAndTheBusiestInWords) {
    EXPECT_EQ(weekdayRow(0), 3);                    // 1970/01/01, a Thursday
    EXPECT_EQ(weekdayRow(-1), 2);                   // the Wednesday before
    EXPECT_EQ(weekdayRow(dayOf(2026, 12, 7)), 0);   // Monday
    EXPECT_EQ(weekdayRow(dayOf(2026, 12, 13)), 6);  // Sunday

    ActivityTally week = tallyOf(periodRange(PeriodKind::ThisWeek, hourOf(2026, 12, 9, 12)));
    EXPECT_FALSE(busiestHour(week));
    EXPECT_FALSE(busiestWeekday(week));
    week.addPresses(hourOf(2026, 12, 7, 9), 1, 0, 10);  // Monday 9:00
    week.addPresses(hourOf(2026, 12, 7, 9), 2, 1, 5);
    week.addPresses(hourOf(2026, 12, 9, 14), 1, 0, 12);  // Wednesday 14:00
    week.addPresses(hourOf(2026, 12, 13, 9), 1, 3, 3);   // Sunday 9:00
    week.addPresses(hourOf(2026, 12, 13, 23), 1, 3, 4);  // Sunday 23:00
    EXPECT_EQ(week.grid()[0][9], 15);
    EXPECT_EQ(week.grid()[2][14], 12);
    EXPECT_EQ(week.grid()[6][9], 3);
    EXPECT_EQ(week.grid()[6][23], 4);
    EXPECT_EQ(largestGridCell(week), 15);
    EXPECT_EQ(busiestHour(week)->index, 9);  // 18 presses at 9:00 over the days
    EXPECT_EQ(busiestHour(week)->count, 18);
    EXPECT_EQ(busiestWeekday(week)->index, 0);  // Monday with 15; Wednesday 12, Sunday 7
    // Equal days: the earlier row is named.
    week.addPresses(hourOf(2026, 12, 9, 15), 1, 0, 3);
    EXPECT_EQ(busiestWeekday(week)->index, 0);
    EXPECT_EQ(week.dayTotals(), (std::vector<std::int64_t>{15, 0, 15, 0, 0, 0, 7}));
}

TEST(ActivitySpeed, PressesPerActiveMinuteDailyPeaksAndTheBestMinute) {
    const HourRange range = periodRange(PeriodKind::Range, 0, {}, dayOf(2026, 12, 1), dayOf(2026, 12, 3));
    ActivityTally t = tallyOf(range);
    t.addPresses(hourOf(2026, 12, 1, 10), 1, 0, 600);
    t.addHour({hourOf(2026, 12, 1, 10), 10, 120, hourOf(2026, 12, 1, 10) * 60 + 5});
    t.addPresses(hourOf(2026, 12, 3, 8), 1, 0, 300);
    t.addHour({hourOf(2026, 12, 3, 8), 5, 90, hourOf(2026, 12, 3, 8) * 60 + 1});
    // The same peak later that day does not replace the earlier minute.
    t.addHour({hourOf(2026, 12, 3, 9), 1, 120, hourOf(2026, 12, 3, 9) * 60 + 59});
    const SpeedSummary s = speedOf(t);
    EXPECT_DOUBLE_EQ(s.average, 900.0 / 16.0);
    ASSERT_EQ(s.days.size(), 3u);
    EXPECT_EQ(s.days[0].day, dayOf(2026, 12, 1));
    EXPECT_DOUBLE_EQ(s.days[0].average, 60.0);
    EXPECT_EQ(s.days[0].peak, 120);
    EXPECT_EQ(s.days[1].peak, 0);  // a day without presses is on the line as 0
    EXPECT_DOUBLE_EQ(s.days[1].average, 0.0);
    EXPECT_EQ(s.days[2].peak, 120);
    ASSERT_TRUE(s.best);
    EXPECT_EQ(formatMinute(s.best->peakMinute), "2026/12/01 10:05");
    EXPECT_EQ(keysPerMinute(5, 0), 0.0);
}

TEST(ActivityCompare, PercentChangeOfTotalSpeedAndTopKeys) {
    const HourRange now = periodRange(PeriodKind::Today, hourOf(2026, 12, 8, 15));
    ActivityTally current = tallyOf(now);
    ActivityTally previous = tallyOf(previousRange(now, hourOf(2026, 12, 8, 15)));
    current.addPresses(hourOf(2026, 12, 8, 9), 1, 0, 120);  // A
    current.addPresses(hourOf(2026, 12, 8, 9), 1, 1, 30);   // 変換, new this period
    current.addHour({hourOf(2026, 12, 8, 9), 10, 20, 0});
    previous.addPresses(hourOf(2026, 12, 7, 9), 1, 0, 100);
    previous.addHour({hourOf(2026, 12, 7, 9), 5, 20, 0});
    const Comparison c = compare(current, previous);
    EXPECT_DOUBLE_EQ(*c.total.percent, 50.0);   // 150 against 100
    EXPECT_DOUBLE_EQ(*c.speed.percent, -25.0);  // 15 against 20 keys per minute
    ASSERT_EQ(c.keys.size(), 2u);
    EXPECT_EQ(c.keys[0].name, "A");
    EXPECT_DOUBLE_EQ(*c.keys[0].percent, 20.0);
    EXPECT_EQ(c.keys[1].name, "変換");
    EXPECT_FALSE(c.keys[1].percent);  // nothing to compare with
    EXPECT_EQ(formatChange(50), "+50.0%");
    EXPECT_EQ(formatChange(-25), "-25.0%");
    EXPECT_EQ(formatChange(-0.04), "±0.0%");
}

TEST(ActivityKeys, OutsideTheDrawingAndPerApplication) {
    ActivityTally t = tallyOf(periodRange(PeriodKind::Today, hourOf(2026, 12, 8, 1)));
    const std::int64_t h = hourOf(2026, 12, 8, 1);
    t.addPresses(h, 1, 0, 60);  // editor: A
    t.addPresses(h, 1, 2, 10);  // editor: \ (the drawing has two keys of that caption)
    t.addPresses(h, 2, 1, 20);  // term: 変換
    t.addPresses(h, 0, 4, 10);  // unknown application: CapsLock (a cell of the drawing, not counted)
    const std::vector<NamedShare> outside = outsideKeys(t);
    ASSERT_EQ(outside.size(), 2u);
    EXPECT_EQ(outside[0].name, "変換");
    EXPECT_DOUBLE_EQ(outside[0].percent, 20.0);
    EXPECT_EQ(outside[1].name, "Caps");

    const std::vector<NamedShare> apps = appShares(t);
    ASSERT_EQ(apps.size(), 3u);
    EXPECT_EQ(apps[0].name, "editor");
    EXPECT_DOUBLE_EQ(apps[0].percent, 70.0);
    EXPECT_EQ(apps[2].name, "");  // ties by name

    const std::vector<NamedShare> editorKeys = keyShares(t, apps[0].index);
    ASSERT_EQ(editorKeys.size(), 2u);
    EXPECT_NEAR(editorKeys[1].percent, 100.0 / 7.0, 1e-9);  // of the application's presses
    const auto counts = layoutCounts(t, apps[0].index);
    EXPECT_EQ(counts['A'], 60);
    EXPECT_EQ(counts[220], 10);
    EXPECT_EQ(counts[226], 0);
    EXPECT_EQ(layoutCounts(t)['A'], 60);

    // The names the key sources give find their cells too: the left and
    // right Shift are the drawing's one Shift, ろ and ¥ its two backslash keys.
    ActivityTally named(periodRange(PeriodKind::Today, h), {""}, {"左Shift", "右Shift", "ろ", "¥", "テンキー 1"});
    for (std::size_t k = 0; k < 5; ++k) named.addPresses(h, 0, k, 1);
    const auto byName = layoutCounts(named);
    EXPECT_EQ(byName[16], 2);
    EXPECT_EQ(byName[226], 1);
    EXPECT_EQ(byName[220], 1);
    ASSERT_EQ(outsideKeys(named).size(), 1u);
    EXPECT_EQ(outsideKeys(named)[0].name, "テンキー 1");
}

TEST(ActivityCsv, QuotesWhatWouldSplitAField) {
    EXPECT_EQ(csvTable({{"アプリ", "回数"}, {"a,b", "1"}, {"say \"hi\"", "2"}, {"x\ny", "3"}}),
              "\xEF\xBB\xBF"
              "アプリ,回数\r\n\"a,b\",1\r\n\"say \"\"hi\"\"\",2\r\n\"x\ny\",3\r\n");
}
