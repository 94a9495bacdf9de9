#include "statistics/statistics_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "counting/key_layout.h"

namespace pressory::statistics {

std::vector<DayPoint> recentDays(const DayMap& days, int count) {
    std::vector<DayPoint> out;
    if (days.empty() || count <= 0) return out;
    const int last = days.rbegin()->first;
    const int first = last - count + 1;
    out.reserve(static_cast<std::size_t>(count));

    // A window of the last kAverageDays totals slides along the days, from
    // the days before the chart's first day on.
    auto totalOf = [&days](int day) {
        const auto it = days.find(day);
        return it == days.end() ? std::int64_t{0} : it->second.total;
    };
    std::int64_t windowSum = 0;
    for (int d = first - kAverageDays + 1; d < first; ++d) windowSum += totalOf(d);
    for (int d = first; d <= last; ++d) {
        DayPoint p;
        p.day = d;
        if (const auto it = days.find(d); it != days.end()) {
            p.total = it->second.total;
            p.records = it->second.records;
        }
        windowSum += p.total;
        p.average = static_cast<double>(windowSum) / kAverageDays;
        windowSum -= totalOf(d - kAverageDays + 1);
        out.push_back(p);
    }
    return out;
}

std::optional<BusiestDay> busiestDay(const DayMap& days) {
    std::optional<BusiestDay> best;
    for (const auto& [day, t] : days) {
        if (!best || t.total > best->total) best = BusiestDay{day, t.total};
    }
    return best;
}

std::vector<KeyShare> topKeys(const std::array<std::int64_t, 256>& keySums, std::size_t limit) {
    std::vector<KeyShare> all;
    std::int64_t sum = 0;
    for (int vk = 0; vk < 256; ++vk) {
        const std::int64_t c = keySums[static_cast<std::size_t>(vk)];
        if (c <= 0) continue;
        sum += c;
        const counting::KeyCell* cell = counting::layout::cell(vk);
        all.push_back({vk, cell ? cell->caption : std::string_view{}, c, 0});
    }
    std::stable_sort(all.begin(), all.end(), [](const KeyShare& a, const KeyShare& b) { return a.count > b.count; });
    if (all.size() > limit) all.resize(limit);
    for (KeyShare& k : all) k.percent = 100.0 * static_cast<double>(k.count) / static_cast<double>(sum);
    return all;
}

std::int64_t largestKeyCount(const std::array<std::int64_t, 256>& keySums) {
    return std::max<std::int64_t>(0, *std::max_element(keySums.begin(), keySums.end()));
}

std::string groupDigits(std::int64_t value) {
    const bool negative = value < 0;
    std::uint64_t v = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string digits;
    int n = 0;
    do {
        if (n > 0 && n % 3 == 0) digits.push_back(',');
        digits.push_back(static_cast<char>('0' + v % 10));
        v /= 10;
        ++n;
    } while (v != 0);
    if (negative) digits.push_back('-');
    return {digits.rbegin(), digits.rend()};
}

std::string compactCount(std::int64_t value) {
    if (value < 10000) return std::to_string(value);
    const std::int64_t unit = value < 100000000 ? 10000 : 100000000;
    const std::string_view name = unit == 10000 ? "万" : "億";
    const std::int64_t whole = value / unit;
    std::string out = std::to_string(whole);
    if (whole < 10) {
        out.push_back('.');
        out.push_back(static_cast<char>('0' + value % unit / (unit / 10)));
    }
    out.append(name);
    return out;
}

std::string formatPercent(double percent) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.2f%%", std::isfinite(percent) ? percent : 0.0);
    return buf;
}

std::string shortDay(int day) {
    const history::Date d = history::dateOfDay(day);
    return std::to_string(d.month) + '/' + std::to_string(d.day);
}

std::string dayTotalsCsv(const DayMap& days) {
    std::string out;
    out.reserve(32 + days.size() * 32);
    out.append(kUtf8Bom);
    out.append(kCsvHeader);
    out.append("\r\n");
    for (const auto& [day, t] : days) {
        out.append(history::formatDay(day));
        out.push_back(',');
        out.append(std::to_string(t.total));
        out.push_back(',');
        out.append(std::to_string(t.records));
        out.append("\r\n");
    }
    return out;
}

}  // namespace pressory::statistics
