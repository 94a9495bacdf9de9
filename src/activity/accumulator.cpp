#include "activity/accumulator.h"

#include <iterator>

#include "activity/local_time.h"

namespace pressory::activity {

void Batch::merge(Batch&& later) {
    // The writer adds row by row: rows of the same hour, application and key
    // simply add up.
    presses.insert(presses.end(), std::make_move_iterator(later.presses.begin()),
                   std::make_move_iterator(later.presses.end()));
    hours.insert(hours.end(), later.hours.begin(), later.hours.end());
}

void Batch::compact() {
    std::map<std::tuple<std::int64_t, std::string_view, std::string_view>, std::int64_t> sums;
    for (const PressRow& r : presses) sums[{r.hour, r.app, r.key}] += r.count;
    std::vector<PressRow> summed;
    summed.reserve(sums.size());
    for (const auto& [where, count] : sums)
        summed.push_back({std::get<0>(where), std::string(std::get<1>(where)), std::string(std::get<2>(where)), count});
    presses = std::move(summed);
    std::map<std::int64_t, HourRow> byHour;
    for (const HourRow& h : hours) {
        auto [it, added] = byHour.try_emplace(h.hour, h);
        if (added) continue;
        it->second.activeMinutes += h.activeMinutes;
        if (h.peakCount > it->second.peakCount) {
            it->second.peakCount = h.peakCount;
            it->second.peakMinute = h.peakMinute;
        }
    }
    hours.clear();
    for (const auto& [hour, row] : byHour) hours.push_back(row);
}

int Accumulator::intern(std::map<std::string, int, std::less<>>& ids, std::vector<std::string>& names,
                        std::string_view name) {
    if (const auto it = ids.find(name); it != ids.end()) return it->second;
    const int id = static_cast<int>(names.size());
    names.emplace_back(name);
    ids.emplace(names.back(), id);
    return id;
}

void Accumulator::add(std::int64_t minute, std::string_view app, std::string_view key, std::uint32_t count) {
    if (count == 0) return;
    const std::int64_t hour = hourOfMinute(minute);
    const int a = intern(appIds_, appNames_, app);
    const int k = intern(keyIds_, keyNames_, key);
    presses_[{hour, a, k}] += count;
    Minute& m = minutes_[minute];
    m.count += count;
    m.fresh = true;
}

Batch Accumulator::take() {
    Batch batch;
    batch.presses.reserve(presses_.size());
    for (const auto& [where, count] : presses_) {
        const auto& [hour, app, key] = where;
        batch.presses.push_back(
            {hour, appNames_[static_cast<std::size_t>(app)], keyNames_[static_cast<std::size_t>(key)], count});
    }
    presses_.clear();
    for (auto& [minute, m] : minutes_) {
        if (!m.fresh) continue;
        const std::int64_t hour = hourOfMinute(minute);
        if (batch.hours.empty() || batch.hours.back().hour != hour) batch.hours.push_back({hour, 0, 0, minute});
        HourRow& row = batch.hours.back();
        if (!m.written) ++row.activeMinutes;
        if (m.count > row.peakCount) {
            row.peakCount = m.count;
            row.peakMinute = minute;
        }
        m.written = true;
        m.fresh = false;
    }
    // Only the newest minute can go on; the others are over.
    if (!minutes_.empty()) minutes_.erase(minutes_.begin(), std::prev(minutes_.end()));
    return batch;
}

}  // namespace pressory::activity
