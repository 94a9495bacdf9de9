#include "activity/local_time.h"

#include <cstdio>

namespace pressory::activity {
namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

std::int64_t localMinute(std::int64_t utcSeconds, std::int32_t utcOffsetSeconds) {
    return floorDiv(utcSeconds + utcOffsetSeconds, 60);
}

std::int64_t hourOfMinute(std::int64_t minute) { return floorDiv(minute, 60); }

// Days since 1970-01-01 to the proleptic Gregorian calendar (the civil-from-days
// algorithm: eras of 400 years starting on 1 March).
CivilHour civilHour(std::int64_t hour) {
    const std::int64_t days = floorDiv(hour, 24);
    const std::int64_t z = days + 719468;
    const std::int64_t era = floorDiv(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    return {static_cast<int>(y), static_cast<int>(m), static_cast<int>(d), static_cast<int>(hour - days * 24)};
}

std::string hourText(std::int64_t hour) {
    const CivilHour c = civilHour(hour);
    char text[32];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:00", c.year, c.month, c.day, c.hour);
    return text;
}

int weekdayOfHour(std::int64_t hour) {
    const std::int64_t days = floorDiv(hour, 24) + 4;  // 1970-01-01 was a Thursday
    return static_cast<int>(days - floorDiv(days, 7) * 7);
}

}  // namespace pressory::activity
