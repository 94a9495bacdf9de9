// The activity core: the minute batching of the accumulator, the hour
// numbers' calendar, the export's lines, the application rules and the pause chord.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "activity/accumulator.h"
#include "activity/activity_csv.h"
#include "activity/app_rules.h"
#include "activity/local_time.h"
#include "activity/pause_chord.h"

using namespace pressory::activity;

namespace {

std::map<std::string, std::int64_t> pressSums(const Batch& b) {
    std::map<std::string, std::int64_t> sums;
    for (const PressRow& r : b.presses) sums[std::to_string(r.hour) + "/" + r.app + "/" + r.key] += r.count;
    return sums;
}

}  // namespace

TEST(ActivityAccumulator, BatchesSplitAMinuteWithoutCountingItTwice) {
    Accumulator acc;
    const std::int64_t m = 600 * 60 + 5;  // some minute of hour 600
    acc.add(m, "editor", "A", 3);
    acc.add(m, "shell", "A", 2);
    acc.add(m + 1, "editor", "A", 1);
    Batch first = acc.take();
    EXPECT_EQ(pressSums(first), (std::map<std::string, std::int64_t>{{"600/editor/A", 4}, {"600/shell/A", 2}}));
    ASSERT_EQ(first.hours.size(), 1u);
    EXPECT_EQ(first.hours[0].activeMinutes, 2);
    EXPECT_EQ(first.hours[0].peakCount, 5);
    EXPECT_EQ(first.hours[0].peakMinute, m);

    // The newest minute goes on after the write: counted active once, its
    // whole count offered as the peak.
    acc.add(m + 1, "editor", "B", 6);
    Batch second = acc.take();
    EXPECT_EQ(pressSums(second), (std::map<std::string, std::int64_t>{{"600/editor/B", 6}}));
    ASSERT_EQ(second.hours.size(), 1u);
    EXPECT_EQ(second.hours[0].activeMinutes, 0);
    EXPECT_EQ(second.hours[0].peakCount, 7);
    EXPECT_EQ(second.hours[0].peakMinute, m + 1);

    // Nothing new: nothing to write. The next hour starts a row of its own.
    EXPECT_TRUE(acc.take().empty());
    acc.add(m + 60, "", "Space", 1);
    Batch third = acc.take();
    ASSERT_EQ(third.hours.size(), 1u);
    EXPECT_EQ(third.hours[0].hour, 601);
    EXPECT_EQ(third.hours[0].activeMinutes, 1);

    // A kept batch merged with the next compacts to the same additions.
    first.merge(std::move(second));
    first.merge(std::move(third));
    const auto before = pressSums(first);
    first.compact();
    EXPECT_EQ(pressSums(first), before);
    EXPECT_EQ(first.presses.size(), before.size());
    ASSERT_EQ(first.hours.size(), 2u);
    EXPECT_EQ(first.hours[0].activeMinutes, 2);
    EXPECT_EQ(first.hours[0].peakCount, 7);
    EXPECT_EQ(first.hours[0].peakMinute, m + 1);
}

TEST(ActivityTime, LocalHoursReadAsCalendarHoursAndWeekdays) {
    // 2026-12-08 10:43:28 UTC in Tokyo (UTC+9) is 19:43 local.
    const std::int64_t minute = localMinute(1796726608, 9 * 3600);
    EXPECT_EQ(hourText(hourOfMinute(minute)), "2026/12/08 19:00");
    EXPECT_EQ(weekdayOfHour(hourOfMinute(minute)), 2);  // a Tuesday
    EXPECT_EQ(hourText(0), "1970/01/01 00:00");
    EXPECT_EQ(weekdayOfHour(0), 4);
    // Before 1970 (a clock set wrong) still reads as a date.
    EXPECT_EQ(hourText(-1), "1969/12/31 23:00");
    EXPECT_EQ(weekdayOfHour(-1), 3);
    EXPECT_EQ(localMinute(-1, 0), -1);
    EXPECT_EQ(hourText(24 * (365 + 366 + 365 + 365 + 31 + 28)), "1974/03/01 00:00");  // 1972 was a leap year
}

TEST(ActivityCsv, HeaderFieldsAndFormulaGuard) {
    EXPECT_EQ(csvHead(), "\xEF\xBB\xBF時刻,アプリ,キー,回数\r\n");
    EXPECT_EQ(csvLine(0, "", ",", 3), "1970/01/01 00:00,,\",\",3\r\n");
    EXPECT_EQ(csvLine(1, "a \"b\"", "A", 1), "1970/01/01 01:00,\"a \"\"b\"\"\",A,1\r\n");
    EXPECT_EQ(csvField("=HYPERLINK(\"x\")", true), "\"'=HYPERLINK(\"\"x\"\")\"");
    EXPECT_EQ(csvField("-", false), "-");  // key names are the program's own
}

TEST(ActivityAppRules, SwitchAndNeverListDecideTheRecordedName) {
    const AppRules rules(true, " KeePassXC | | secret.exe");
    EXPECT_EQ(rules.recordedName("keepassxc"), "");
    EXPECT_EQ(rules.recordedName("SECRET.EXE"), "");
    EXPECT_EQ(rules.recordedName("secret.exe2"), "secret.exe2");
    EXPECT_EQ(rules.recordedName(""), "");
    EXPECT_EQ(AppRules(false, "").recordedName("editor"), "");
    EXPECT_EQ(AppRules::joinList(AppRules::parseList(" a |b| |c ")), "a|b|c");
    EXPECT_EQ(AppRules::joinList({"x|y", " z "}), "z");
}

TEST(ActivityPauseChord, TogglesOnceWhileBothCtrlKeysAreHeld) {
    PauseChord chord;
    EXPECT_FALSE(chord.update(true, false));
    EXPECT_TRUE(chord.update(true, true));
    EXPECT_FALSE(chord.update(true, true));
    EXPECT_FALSE(chord.update(false, true));
    EXPECT_FALSE(chord.update(true, true));  // not let go of both yet
    EXPECT_FALSE(chord.update(false, false));
    EXPECT_TRUE(chord.update(true, true));
}
