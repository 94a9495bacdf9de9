// The summary of the whole history file, for the statistics window: per key
// code the sum of its counts over every record, and per calendar day the total
// and the number of records. One pass over the file from its start; no record
// is kept after it has been added in, so the memory does not grow with the
// file (only with the number of days recorded).
//
// Lines follow the reader's rules (history_reader.h): the file is cut at
// every CR LF, the first line is the header, every later line is a record.
// The header's captions name the columns: "合計" is the record's total, a
// caption of a counted key (key_layout.h) is that key's column, and every
// other column is passed over, so a header with columns this program does not
// know is read all the same. A record is read when it has as many fields as
// the header, its first field is a time stamp "YYYY/MM/DD HH:MM:SS" of a real
// date and time (local time, as it was written), and its total and key
// fields are counts (0..2147483647, digits only). Any other record is
// skipped and counted, never fatal; so is a line longer than kRowByteLimit.
// A record dated after the day given as today (a clock that was wrong when
// it was written) is left out and counted apart: it would stretch every
// figure that ends at the last day into days that have not come.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "history/history_reader.h"
#include "history/history_record.h"

namespace pressory::history {

// A calendar date of the proleptic Gregorian calendar.
struct Date {
    int year = 1970;
    int month = 1;
    int day = 1;
    friend bool operator==(const Date&, const Date&) = default;
};

// Days since 1970/01/01 (negative before it), and back.
int dayNumber(const Date& date);
Date dateOfDay(int dayNumber);

// "YYYY/MM/DD", as the history's time stamps write the date.
std::string formatDay(int dayNumber);

struct DayTotal {
    std::int64_t total = 0;    // sum of the records' totals that day
    std::int64_t records = 0;  // records that day
};

struct HistorySummary {
    ReadStatus status = ReadStatus::Missing;
    bool cancelled = false;  // the progress callback asked to stop; the figures are partial
    bool hasHeader = false;  // the file has at least its first line
    // Per key code, the sum over all records read; 0 for codes without a column.
    std::array<std::int64_t, 256> keySums{};
    // Which codes the header has a column for.
    std::array<bool, 256> hasColumn{};
    std::int64_t totalPresses = 0;  // sum of the records' totals
    std::int64_t records = 0;       // records read
    std::int64_t skipped = 0;       // records that could not be read
    std::int64_t future = 0;        // records dated after today, left out
    std::map<int, DayTotal> days;   // day number -> totals; only days with records

    // First and last day with a record; only when `days` is not empty.
    int firstDay() const { return days.begin()->first; }
    int lastDay() const { return days.rbegin()->first; }
};

// Called after each piece of the file is read, with the bytes read so far and
// the file's size; returning false stops the reading (HistorySummary::cancelled).
using SummaryProgress = std::function<bool(std::uintmax_t bytesRead, std::uintmax_t fileSize)>;

// Reads the history file at `path` once from start to end. `encode` turns the
// captions this program knows (UTF-8) into the file's encoding, so that the
// header's columns can be recognised. Only the bytes that were in the file
// when it was opened are read. Anything that is not a regular file is refused
// before it is opened (NotAFile); a file that becomes shorter while it is read
// gives Changed. `today` is the day number of the local date now; without it
// no record is left out for its date.
HistorySummary summarizeHistory(const std::string& path, const Encoder& encode, const SummaryProgress& progress = {},
                                std::optional<int> today = std::nullopt);

}  // namespace pressory::history
