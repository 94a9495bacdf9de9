// The counts of the activity database gathered in memory between two writes:
// per local hour, application and key the presses, and per minute the
// presses of all applications together (for the hour's active minutes and
// its busiest minute). The program adds every press here and hands what
// has gathered to the writer once a minute and at the close.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace pressory::activity {

// Presses of one key in one application in one hour, to be added to the table.
struct PressRow {
    std::int64_t hour = 0;
    std::string app;
    std::string key;
    std::int64_t count = 0;
};

// What a batch adds to one hour of the hours table: active minutes to add,
// and a minute's presses that become the hour's peak when larger than the one
// the table holds.
struct HourRow {
    std::int64_t hour = 0;
    std::int64_t activeMinutes = 0;
    std::int64_t peakCount = 0;
    std::int64_t peakMinute = 0;
};

// What one write adds. Two batches written one after the other add the same
// as their merge written once, so a batch that could not be written is kept
// and merged with the next one.
struct Batch {
    std::vector<PressRow> presses;
    std::vector<HourRow> hours;

    bool empty() const { return presses.empty() && hours.empty(); }
    void merge(Batch&& later);
    // The same additions in the fewest rows (one per hour, application and
    // key; one per hour), for a batch kept over many failed writes.
    void compact();
};

class Accumulator {
public:
    // `count` presses of `key` in application `app` (kUnknownApp when not
    // known) in the local minute `minute` (activity_schema.h).
    void add(std::int64_t minute, std::string_view app, std::string_view key, std::uint32_t count);

    // Everything added since the last take. The newest minute may go on
    // after a take: its presses are in this batch, and the next batch counts
    // it as an active minute no second time, offering its whole count as
    // the peak again.
    Batch take();

    bool empty() const { return presses_.empty(); }

private:
    struct Minute {
        std::int64_t count = 0;
        bool written = false;  // an earlier batch counted it as active
        bool fresh = false;    // presses since the last take
    };
    int intern(std::map<std::string, int, std::less<>>& ids, std::vector<std::string>& names, std::string_view name);

    std::map<std::string, int, std::less<>> appIds_;
    std::map<std::string, int, std::less<>> keyIds_;
    std::vector<std::string> appNames_;
    std::vector<std::string> keyNames_;
    std::map<std::tuple<std::int64_t, int, int>, std::int64_t> presses_;
    std::map<std::int64_t, Minute> minutes_;
};

}  // namespace pressory::activity
