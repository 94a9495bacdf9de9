// The hour and minute numbers of the activity tables (activity_schema.h) and
// their calendar reading.
#pragma once

#include <cstdint>
#include <string>

namespace pressory::activity {

// The local minute of a moment: its UTC seconds since 1970 and the local
// time's offset from UTC at that moment.
std::int64_t localMinute(std::int64_t utcSeconds, std::int32_t utcOffsetSeconds);
std::int64_t hourOfMinute(std::int64_t minute);

struct CivilHour {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;   // 0..23
};
CivilHour civilHour(std::int64_t hour);
// "YYYY/MM/DD HH:00", as the export writes the hour.
std::string hourText(std::int64_t hour);
// 0 = Sunday.
int weekdayOfHour(std::int64_t hour);

}  // namespace pressory::activity
