#include "statistics/activity_views.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "activity/key_names.h"
#include "counting/key_layout.h"
#include "history/history_summary.h"

namespace pressory::statistics {
namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Beyond what any keyboard can do in an hour: a row that says more is
// damaged, and left out before it could make the sums overflow.
constexpr std::int64_t kMostInOneRow = std::int64_t{1} << 32;
// An hour that a clock change repeats holds the minutes of both passes.
constexpr std::int64_t kMostMinutesInAnHour = 120;

HourRange daysRange(std::int64_t firstDay, std::int64_t endDay) {
    return {firstDay * kHoursPerDay, endDay * kHoursPerDay};
}

// Most first, equal counts by name.
void sortShares(std::vector<NamedShare>& shares) {
    std::sort(shares.begin(), shares.end(), [](const NamedShare& a, const NamedShare& b) {
        return a.count != b.count ? a.count > b.count : a.name < b.name;
    });
}

double percentOf(std::int64_t part, std::int64_t whole) {
    return whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

// The counted code of the key named `name` (by the names the key sources
// give, so that 左Shift and ろ find their cells), else the lowest counted
// code whose caption is `name`, or -1.
int layoutCodeOf(std::string_view name) {
    for (const activity::KeyName& key : activity::keyNames()) {
        if (key.name != name) continue;
        for (const std::uint8_t vk : key.virtualKeys) {
            if (vk != 0 && counting::layout::isCounted(vk)) return vk;
            // The drawing counts Shift, Ctrl and Alt as one key each, left and right together.
            if (vk >= 0xA0 && vk <= 0xA5 && counting::layout::isCounted(16 + (vk - 0xA0) / 2))
                return 16 + (vk - 0xA0) / 2;
        }
        break;
    }
    for (const counting::KeyCell& cell : counting::layout::cells())
        if (cell.counted() && cell.caption == name) return cell.vk;
    return -1;
}

}  // namespace

std::int64_t localHourOf(std::int64_t utcSeconds, std::int32_t offsetSeconds) {
    return floorDiv(utcSeconds + offsetSeconds, 3600);
}

std::int64_t localMinuteOf(std::int64_t utcSeconds, std::int32_t offsetSeconds) {
    return floorDiv(utcSeconds + offsetSeconds, 60);
}

int dayOfHour(std::int64_t hour) { return static_cast<int>(floorDiv(hour, kHoursPerDay)); }

int weekdayRow(int day) {
    // (day + 4) % 7 is 0 on Sunday; Monday's row is 0.
    const int sundayFirst = ((day + 4) % kWeekdays + kWeekdays) % kWeekdays;
    return (sundayFirst + 6) % kWeekdays;
}

HourRange periodRange(PeriodKind kind, std::int64_t nowHour, std::optional<std::int64_t> firstDataHour, int firstDay,
                      int lastDay) {
    const std::int64_t today = dayOfHour(nowHour);
    switch (kind) {
    case PeriodKind::Today: return daysRange(today, today + 1);
    case PeriodKind::ThisWeek: {
        const std::int64_t monday = today - weekdayRow(static_cast<int>(today));
        return daysRange(monday, monday + kWeekdays);
    }
    case PeriodKind::ThisMonth: {
        const history::Date date = history::dateOfDay(static_cast<int>(today));
        const history::Date next =
            date.month == 12 ? history::Date{date.year + 1, 1, 1} : history::Date{date.year, date.month + 1, 1};
        return daysRange(history::dayNumber({date.year, date.month, 1}), history::dayNumber(next));
    }
    case PeriodKind::Last30Days: return daysRange(today - 29, today + 1);
    case PeriodKind::All: {
        const std::int64_t first = firstDataHour ? std::min(floorDiv(*firstDataHour, kHoursPerDay), today) : today;
        return daysRange(std::max<std::int64_t>(first, std::min<std::int64_t>(kEarliestDay, today)), today + 1);
    }
    case PeriodKind::Range: break;
    }
    std::int64_t first = std::max(std::min(firstDay, lastDay), kEarliestDay);
    const std::int64_t end = std::max<std::int64_t>(std::max(firstDay, lastDay), first) + 1;
    // Days before the first data are left out, so that a range that starts
    // decades early does not make as many empty days to show.
    if (firstDataHour && floorDiv(*firstDataHour, kHoursPerDay) < end)
        first = std::max(first, floorDiv(*firstDataHour, kHoursPerDay));
    return daysRange(first, end);
}

HourRange previousRange(HourRange range, std::int64_t nowHour) {
    const std::int64_t passed = range.contains(nowHour) ? nowHour + 1 - range.first : range.hours();
    return {range.first - range.hours(), range.first - range.hours() + passed};
}

ActivityTally::ActivityTally(HourRange range, std::vector<std::string> appNames, std::vector<std::string> keyNames)
    : range_(range), appNames_(std::move(appNames)), keyNames_(std::move(keyNames)) {
    const auto days = static_cast<std::size_t>((range_.hours() + kHoursPerDay - 1) / kHoursPerDay);
    dayTotals_.assign(days, 0);
    dayMinutes_.assign(days, 0);
    dayPeaks_.assign(days, 0);
    appTotals_.assign(appNames_.size(), 0);
    keyTotals_.assign(keyNames_.size(), 0);
    appKeys_.assign(appNames_.size() * keyNames_.size(), 0);
}

void ActivityTally::addPresses(std::int64_t hour, std::size_t app, std::size_t key, std::int64_t count) {
    if (key >= keyNames_.size()) return;
    addAppHour(hour, app, count);
    addAppKey(hour, app, key, count);
    if (range_.contains(hour) && app < appNames_.size() && count > 0 && count <= kMostInOneRow)
        keyTotals_[key] += count;
}

void ActivityTally::addAppHour(std::int64_t hour, std::size_t app, std::int64_t count) {
    if (!range_.contains(hour) || app >= appNames_.size() || count <= 0 || count > kMostInOneRow) return;
    const int day = dayOfHour(hour);
    total_ += count;
    grid_[static_cast<std::size_t>(weekdayRow(day))][static_cast<std::size_t>(hour - std::int64_t{day} * 24)] += count;
    dayTotals_[static_cast<std::size_t>(day - firstDay())] += count;
    appTotals_[app] += count;
}

void ActivityTally::addKeyDay(int day, std::size_t key, std::int64_t count) {
    if (!range_.contains(std::int64_t{day} * kHoursPerDay) || key >= keyNames_.size() || count <= 0 ||
        count > kMostInOneRow)
        return;
    keyTotals_[key] += count;
}

void ActivityTally::addAppKey(std::int64_t hour, std::size_t app, std::size_t key, std::int64_t count) {
    if (!range_.contains(hour) || app >= appNames_.size() || key >= keyNames_.size() || count <= 0 ||
        count > kMostInOneRow)
        return;
    appKeys_[app * keyNames_.size() + key] += count;
}

void ActivityTally::addHour(const HourActivity& hour) {
    if (!range_.contains(hour.hour) || hour.activeMinutes < 0 || hour.activeMinutes > kMostMinutesInAnHour ||
        hour.peakCount < 0 || hour.peakCount > kMostInOneRow)
        return;
    const auto day = static_cast<std::size_t>(dayOfHour(hour.hour) - firstDay());
    activeMinutes_ += hour.activeMinutes;
    dayMinutes_[day] += hour.activeMinutes;
    dayPeaks_[day] = std::max(dayPeaks_[day], hour.peakCount);
    if (hour.peakCount > 0 && (!best_ || hour.peakCount > best_->peakCount ||
                               (hour.peakCount == best_->peakCount && hour.peakMinute < best_->peakMinute)))
        best_ = hour;
}

std::int64_t ActivityTally::appKeyTotal(std::size_t app, std::size_t key) const {
    if (app >= appNames_.size() || key >= keyNames_.size()) return 0;
    return appKeys_[app * keyNames_.size() + key];
}

std::optional<Busiest> busiestHour(const ActivityTally& tally) {
    std::optional<Busiest> best;
    for (int h = 0; h < kHoursPerDay; ++h) {
        std::int64_t sum = 0;
        for (const auto& row : tally.grid()) sum += row[static_cast<std::size_t>(h)];
        if (sum > 0 && (!best || sum > best->count)) best = Busiest{h, sum};
    }
    return best;
}

std::optional<Busiest> busiestWeekday(const ActivityTally& tally) {
    std::optional<Busiest> best;
    for (int r = 0; r < kWeekdays; ++r) {
        std::int64_t sum = 0;
        for (std::int64_t cell : tally.grid()[static_cast<std::size_t>(r)]) sum += cell;
        if (sum > 0 && (!best || sum > best->count)) best = Busiest{r, sum};
    }
    return best;
}

std::int64_t largestGridCell(const ActivityTally& tally) {
    std::int64_t top = 0;
    for (const auto& row : tally.grid())
        for (std::int64_t cell : row) top = std::max(top, cell);
    return top;
}

std::vector<NamedShare> appShares(const ActivityTally& tally) {
    std::vector<NamedShare> shares;
    for (std::size_t i = 0; i < tally.appNames().size(); ++i)
        if (tally.appTotals()[i] > 0)
            shares.push_back(
                {i, tally.appNames()[i], tally.appTotals()[i], percentOf(tally.appTotals()[i], tally.total())});
    sortShares(shares);
    return shares;
}

std::vector<NamedShare> keyShares(const ActivityTally& tally, std::optional<std::size_t> app, std::size_t limit) {
    const std::int64_t whole = app ? (*app < tally.appTotals().size() ? tally.appTotals()[*app] : 0) : tally.total();
    std::vector<NamedShare> shares;
    for (std::size_t k = 0; k < tally.keyNames().size(); ++k) {
        const std::int64_t count = app ? tally.appKeyTotal(*app, k) : tally.keyTotals()[k];
        if (count > 0) shares.push_back({k, tally.keyNames()[k], count, percentOf(count, whole)});
    }
    sortShares(shares);
    if (shares.size() > limit) shares.resize(limit);
    return shares;
}

bool isLayoutKey(std::string_view name) { return layoutCodeOf(name) >= 0; }

std::vector<NamedShare> outsideKeys(const ActivityTally& tally) {
    std::vector<NamedShare> shares = keyShares(tally);
    std::erase_if(shares, [](const NamedShare& s) { return isLayoutKey(s.name); });
    return shares;
}

std::array<std::int64_t, 256> layoutCounts(const ActivityTally& tally, std::optional<std::size_t> app) {
    std::array<std::int64_t, 256> counts{};
    for (std::size_t k = 0; k < tally.keyNames().size(); ++k) {
        const int vk = layoutCodeOf(tally.keyNames()[k]);
        if (vk >= 0) counts[static_cast<std::size_t>(vk)] += app ? tally.appKeyTotal(*app, k) : tally.keyTotals()[k];
    }
    return counts;
}

double keysPerMinute(std::int64_t presses, std::int64_t activeMinutes) {
    return activeMinutes > 0 ? static_cast<double>(presses) / static_cast<double>(activeMinutes) : 0.0;
}

SpeedSummary speedOf(const ActivityTally& tally) {
    SpeedSummary speed;
    speed.average = keysPerMinute(tally.total(), tally.activeMinutes());
    speed.best = tally.bestMinute();
    for (std::size_t i = 0; i < tally.dayTotals().size(); ++i)
        speed.days.push_back({tally.firstDay() + static_cast<int>(i),
                              keysPerMinute(tally.dayTotals()[i], tally.dayActiveMinutes()[i]), tally.dayPeaks()[i]});
    return speed;
}

std::optional<double> percentChange(double current, double previous) {
    if (previous == 0) return std::nullopt;
    return (current - previous) / previous * 100.0;
}

Comparison compare(const ActivityTally& current, const ActivityTally& previous, std::size_t topKeys) {
    const auto change = [](std::string name, double now, double before) {
        return Change{std::move(name), now, before, percentChange(now, before)};
    };
    Comparison result;
    result.total = change({}, static_cast<double>(current.total()), static_cast<double>(previous.total()));
    result.speed = change({}, keysPerMinute(current.total(), current.activeMinutes()),
                          keysPerMinute(previous.total(), previous.activeMinutes()));
    for (const NamedShare& key : keyShares(current, {}, topKeys)) {
        std::int64_t before = 0;
        const auto& names = previous.keyNames();
        if (const auto it = std::find(names.begin(), names.end(), key.name); it != names.end())
            before = previous.keyTotals()[static_cast<std::size_t>(it - names.begin())];
        result.keys.push_back(change(key.name, static_cast<double>(key.count), static_cast<double>(before)));
    }
    return result;
}

std::string formatMinute(std::int64_t minute) {
    const std::int64_t hour = floorDiv(minute, 60);
    const int day = dayOfHour(hour);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, " %02d:%02d", static_cast<int>(hour - std::int64_t{day} * 24),
                  static_cast<int>(minute - hour * 60));
    return history::formatDay(day) + buffer;
}

std::string formatHour(std::int64_t hour) { return formatMinute(hour * 60); }

std::string formatChange(double percent) {
    const double rounded = std::round(percent * 10.0) / 10.0;
    char buffer[48];
    if (rounded == 0)
        std::snprintf(buffer, sizeof buffer, "±0.0%%");
    else
        std::snprintf(buffer, sizeof buffer, "%+.1f%%", rounded);
    return buffer;
}

std::string formatSpeed(double keysPerMinute) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.1f", keysPerMinute);
    return buffer;
}

std::string csvTable(const std::vector<std::vector<std::string>>& rows) {
    std::string out = "\xEF\xBB\xBF";
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0) out += ',';
            const std::string& field = row[i];
            if (field.find_first_of(",\"\r\n") == std::string::npos) {
                out += field;
                continue;
            }
            out += '"';
            for (char c : field) {
                if (c == '"') out += '"';
                out += c;
            }
            out += '"';
        }
        out += "\r\n";
    }
    return out;
}

}  // namespace pressory::statistics
