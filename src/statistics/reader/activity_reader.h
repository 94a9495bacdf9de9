// Reads one period of the activity database into the statistics' tallies:
// read-only, in one read transaction (a snapshot: the program may write
// meanwhile), on whichever thread calls it.
#pragma once

#include <cstdint>
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
};

ActivityReading readActivity(const std::string& databasePath, const PeriodRequest& request);

}  // namespace pressory::statistics
