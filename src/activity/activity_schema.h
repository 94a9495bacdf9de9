// The activity database PressoryActivity.db: its tables, shared by the
// writer (the program, once a minute and at the close) and the readers (the
// statistics views, the export).
//
// Time is kept as local wall-clock time counted from 1970-01-01 00:00 local,
// so that a reader needs no time-zone rules: an hour of the tables is
//   floor((utc_seconds + utc_offset_seconds_at_that_moment) / 3600)
// and a minute is the same with 60. Its weekday is (hour / 24 + 4) % 7 with
// 0 = Sunday (1970-01-01 was a Thursday). An hour that a clock change
// repeats is one hour of the tables; one it skips has no rows.
#pragma once

namespace pressory::activity {

inline constexpr int kSchemaVersion = 2;

// The application of presses whose window's application is not known
// (native Wayland windows, "never record" applications, the switch off).
inline constexpr const char* kUnknownApp = "";

inline constexpr const char* kSchemaSql = R"sql(
CREATE TABLE IF NOT EXISTS meta(
  key   TEXT PRIMARY KEY,
  value TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS apps(
  id   INTEGER PRIMARY KEY,
  name TEXT NOT NULL UNIQUE
);
CREATE TABLE IF NOT EXISTS keys(
  id   INTEGER PRIMARY KEY,
  name TEXT NOT NULL UNIQUE
);
CREATE TABLE IF NOT EXISTS presses(
  hour  INTEGER NOT NULL,
  app   INTEGER NOT NULL REFERENCES apps(id),
  key   INTEGER NOT NULL REFERENCES keys(id),
  count INTEGER NOT NULL,
  PRIMARY KEY(hour, app, key)
) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS hours(
  hour           INTEGER PRIMARY KEY,
  active_minutes INTEGER NOT NULL,
  peak_count     INTEGER NOT NULL,
  peak_minute    INTEGER NOT NULL
);
)sql";
// Version 2 adds two sums of presses kept in the same transaction, so that
// the views over a year need not read every row of presses: per hour and
// application (all keys), and per day (hour / 24, floored) and key (all
// applications). The step from version 1 creates and fills them.
inline constexpr const char* kSchemaSqlV2 = R"sql(
CREATE TABLE IF NOT EXISTS app_hours(
  hour  INTEGER NOT NULL,
  app   INTEGER NOT NULL REFERENCES apps(id),
  count INTEGER NOT NULL,
  PRIMARY KEY(hour, app)
) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS key_days(
  day   INTEGER NOT NULL,
  key   INTEGER NOT NULL REFERENCES keys(id),
  count INTEGER NOT NULL,
  PRIMARY KEY(day, key)
) WITHOUT ROWID;
)sql";
inline constexpr const char* kMigrateV1ToV2 = R"sql(
INSERT INTO app_hours(hour, app, count) SELECT hour, app, sum(count) FROM presses GROUP BY hour, app;
INSERT INTO key_days(day, key, count)
  SELECT (CASE WHEN hour >= 0 THEN hour / 24 ELSE (hour - 23) / 24 END), key, sum(count)
  FROM presses GROUP BY 1, key;
)sql";
// meta holds ('schema_version', '2'). presses: the presses of one key in one
// application in one hour. hours: per hour, the minutes with at least one
// press (all applications together), the most presses in one of its
// minutes and which minute that was (a minute number as above).

}  // namespace pressory::activity
