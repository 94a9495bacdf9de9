// What the statistics window's activity views show, decided from the hourly
// counts of the activity database without a widget: the hours of a period,
// the hour-by-weekday grid, the applications and their keys, the speed, the
// keys outside the keyboard drawing, and the comparison with the period
// before.
//
// Time is the database's: local wall-clock hours and minutes counted from
// 1970-01-01 00:00 local, so a day is always 24 hour numbers (an hour a clock
// change skips has no rows, one it repeats is one hour) and day d is hours
// 24d .. 24d+23, weekday (d + 4) % 7 with 0 = Sunday.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pressory::statistics {

inline constexpr int kHoursPerDay = 24;
inline constexpr int kWeekdays = 7;

// The local hour / minute number of a moment, given in seconds since the
// epoch (UTC) and the local clock's offset from UTC at that moment.
std::int64_t localHourOf(std::int64_t utcSeconds, std::int32_t offsetSeconds);
std::int64_t localMinuteOf(std::int64_t utcSeconds, std::int32_t offsetSeconds);

// The day number (days since 1970-01-01) of an hour number; rounds down for
// hours before it.
int dayOfHour(std::int64_t hour);

// The grid's row of a day: 0 Monday .. 6 Sunday.
int weekdayRow(int day);

enum class PeriodKind { Today, ThisWeek, ThisMonth, Last30Days, All, Range };

// 2000-01-01: no period reaches back before it, so that a row of a clock set
// wrong (or a damaged number) does not make decades of days to show.
inline constexpr int kEarliestDay = 10957;

// Hours first .. end - 1.
struct HourRange {
    std::int64_t first = 0;
    std::int64_t end = 0;
    std::int64_t hours() const { return end > first ? end - first : 0; }
    bool contains(std::int64_t hour) const { return hour >= first && hour < end; }
    friend bool operator==(const HourRange&, const HourRange&) = default;
};

// The hours of a period for a clock that shows local hour `nowHour`:
// Today, the week from Monday, the calendar month, the 30 days ending today,
// all (from the day of `firstDataHour`, today when there is none, to the end
// of today) and a range of days (`firstDay` .. `lastDay`, both included, in
// either order; from no earlier than the day of `firstDataHour` when that is
// inside it). Every period is made of whole days.
HourRange periodRange(PeriodKind kind, std::int64_t nowHour, std::optional<std::int64_t> firstDataHour = {},
                      int firstDay = 0, int lastDay = 0);

// What a period is compared with: the period of the same length that ends
// where `range` begins, and, while `range` holds the hour `nowHour`, only as
// much of it as has passed of `range` (this week on a Wednesday afternoon:
// last week from Monday to the same hour of Wednesday).
HourRange previousRange(HourRange range, std::int64_t nowHour);

// One hour of the database's hours table.
struct HourActivity {
    std::int64_t hour = 0;
    std::int64_t activeMinutes = 0;
    std::int64_t peakCount = 0;
    std::int64_t peakMinute = 0;
};

// The presses of one period, summed the ways the views need them. The
// applications and keys are indexes into the name lists given at the start.
class ActivityTally {
public:
    ActivityTally() = default;
    ActivityTally(HourRange range, std::vector<std::string> appNames, std::vector<std::string> keyNames);

    // Presses and hours outside the range, or of an unknown index, are left out.
    void addPresses(std::int64_t hour, std::size_t app, std::size_t key, std::int64_t count);
    // The same from the database's sums, a part each, which together make
    // what addPresses makes of their rows: the presses of an application in
    // an hour (all keys: the total, the grid, the days, the applications), of
    // a key on a day (all applications: the keys; the range must be whole
    // days) and of a key in an application (the applications' keys).
    void addAppHour(std::int64_t hour, std::size_t app, std::int64_t count);
    void addKeyDay(int day, std::size_t key, std::int64_t count);
    void addAppKey(std::int64_t hour, std::size_t app, std::size_t key, std::int64_t count);
    void addHour(const HourActivity& hour);

    HourRange range() const { return range_; }
    const std::vector<std::string>& appNames() const { return appNames_; }
    const std::vector<std::string>& keyNames() const { return keyNames_; }
    std::int64_t total() const { return total_; }
    std::int64_t activeMinutes() const { return activeMinutes_; }
    // Rows Monday .. Sunday, columns hours 0 .. 23.
    const std::array<std::array<std::int64_t, kHoursPerDay>, kWeekdays>& grid() const { return grid_; }
    // One per day of the range, oldest first.
    const std::vector<std::int64_t>& dayTotals() const { return dayTotals_; }
    const std::vector<std::int64_t>& dayActiveMinutes() const { return dayMinutes_; }
    const std::vector<std::int64_t>& dayPeaks() const { return dayPeaks_; }
    const std::vector<std::int64_t>& appTotals() const { return appTotals_; }
    const std::vector<std::int64_t>& keyTotals() const { return keyTotals_; }
    std::int64_t appKeyTotal(std::size_t app, std::size_t key) const;
    // The minute with the most presses (the earliest of equal ones).
    std::optional<HourActivity> bestMinute() const { return best_; }
    int firstDay() const { return dayOfHour(range_.first); }

private:
    HourRange range_;
    std::vector<std::string> appNames_;
    std::vector<std::string> keyNames_;
    std::int64_t total_ = 0;
    std::int64_t activeMinutes_ = 0;
    std::array<std::array<std::int64_t, kHoursPerDay>, kWeekdays> grid_{};
    std::vector<std::int64_t> dayTotals_;
    std::vector<std::int64_t> dayMinutes_;
    std::vector<std::int64_t> dayPeaks_;
    std::vector<std::int64_t> appTotals_;
    std::vector<std::int64_t> keyTotals_;
    std::vector<std::int64_t> appKeys_;  // app * keys + key
    std::optional<HourActivity> best_;
};

// The busiest hour of the day (0..23, over all days) and weekday row (0
// Monday .. 6 Sunday) with their presses; nothing when there are none. The
// earliest of equal ones.
struct Busiest {
    int index = 0;
    std::int64_t count = 0;
};
std::optional<Busiest> busiestHour(const ActivityTally& tally);
std::optional<Busiest> busiestWeekday(const ActivityTally& tally);
std::int64_t largestGridCell(const ActivityTally& tally);

struct NamedShare {
    std::size_t index = 0;  // into the tally's names
    std::string name;
    std::int64_t count = 0;
    double percent = 0;  // of the period's presses (of the application's, for its keys)
};

// The applications with presses, most presses first (equal counts by name).
std::vector<NamedShare> appShares(const ActivityTally& tally);

// The keys with presses, of all applications or of one, most first (equal
// counts by name), at most `limit`.
std::vector<NamedShare> keyShares(const ActivityTally& tally, std::optional<std::size_t> app = {},
                                  std::size_t limit = SIZE_MAX);

// True when a key's name is the caption of one of the counted keys of the
// keyboard drawing.
bool isLayoutKey(std::string_view name);

// The keys that are not, with their share of all the period's presses.
std::vector<NamedShare> outsideKeys(const ActivityTally& tally);

// The presses of the counted keys of the drawing by virtual-key code (of all
// applications or of one). Where two keys share a caption, the lower code
// takes the name's presses.
std::array<std::int64_t, 256> layoutCounts(const ActivityTally& tally, std::optional<std::size_t> app = {});

// Keys per minute: presses / active minutes, 0 with no active minute.
double keysPerMinute(std::int64_t presses, std::int64_t activeMinutes);

struct DaySpeed {
    int day = 0;
    double average = 0;     // keys per active minute that day
    std::int64_t peak = 0;  // the most presses in one minute that day
};

struct SpeedSummary {
    double average = 0;
    std::vector<DaySpeed> days;  // every day of the period, oldest first
    std::optional<HourActivity> best;
};
SpeedSummary speedOf(const ActivityTally& tally);

// The change from `previous` to `current` in percent; nothing when previous is 0.
std::optional<double> percentChange(double current, double previous);

struct Change {
    std::string name;
    double current = 0;
    double previous = 0;
    std::optional<double> percent;
};

struct Comparison {
    Change total;
    Change speed;
    std::vector<Change> keys;  // the current period's top keys
};
Comparison compare(const ActivityTally& current, const ActivityTally& previous, std::size_t topKeys = 10);

// "2026/12/08 14:05" of a minute number; "2026/12/08 14:00" of an hour number.
std::string formatMinute(std::int64_t minute);
std::string formatHour(std::int64_t hour);

// "+12.5%", "-3.0%", "±0.0%": one decimal.
std::string formatChange(double percent);

// "123.4": one decimal.
std::string formatSpeed(double keysPerMinute);

// A table as CSV in UTF-8 with a byte-order mark and CR LF line ends; fields
// that hold a comma, a quote or a line end are quoted (quotes doubled).
std::string csvTable(const std::vector<std::vector<std::string>>& rows);

}  // namespace pressory::statistics
