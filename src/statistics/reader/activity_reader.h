// Reads one period of the activity database into the statistics' tallies:
// read-only, in one read transaction (a snapshot: the program may write
// meanwhile), on whichever thread calls it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "statistics/activity_views.h"

namespace pressory::statistics {

inline constexpr const char* kActivityFileName = "PressoryActivity.db";

// The activity database beside the history file.
std::string activityPathBeside(const std::string& historyPath);

struct PeriodRequest {
    PeriodKind kind = PeriodKind::Today;
    std::int64_t nowHour = 0;  // the local hour now (localHourOf)
    int firstDay = 0;          // of a range
    int lastDay = 0;
};

enum class ActivityStatus {
    Ok,
    Missing,     // no database yet
    Unreadable,  // not a database of this program, damaged, or locked too long
    Newer,       // written by a later version whose tables this one does not know
};

struct ActivityReading {
    ActivityStatus status = ActivityStatus::Missing;
    std::string error;  // SQLite's message when unreadable
    PeriodRequest request;
    bool hasPrevious = false;  // every period but the whole has one before it
    ActivityTally current;
    ActivityTally previous;
    // False in the early reading (below): the current period's presses per
    // application and key are not read yet.
    bool appKeysRead = true;
};

// Where the database keeps the sums of its presses (from schema version 2),
// a view that needs only those sums is read from them: `early`, when given,
// is called with such a reading (all but the applications' keys of the
// current period) before the rows of those are read, in the same
// transaction. The reading returned is whole either way. `useSums` false
// reads every row of presses, as for a database without the sums.
using EarlyReading = std::function<void(const ActivityReading&)>;
ActivityReading readActivity(const std::string& databasePath, const PeriodRequest& request,
                             const EarlyReading& early = {}, bool useSums = true);

}  // namespace pressory::statistics
