#include "statistics/reader/activity_reader.h"

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "activity/activity_schema.h"

namespace pressory::statistics {
namespace {

// How long a read waits for a writer's lock before it gives up.
constexpr int kBusyMs = 2000;

struct ReadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

Statement prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) {
        sqlite3_finalize(s);
        throw ReadError(sqlite3_errmsg(db));
    }
    return Statement(s);
}

// Steps to the next row: false at the end; a failure throws.
bool next(sqlite3* db, sqlite3_stmt* s) {
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw ReadError(sqlite3_errmsg(db));
}

void execute(sqlite3* db, const char* sql) {
    Statement s = prepare(db, sql);
    while (next(db, s.get())) {
    }
}

std::string columnText(sqlite3_stmt* s, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(s, column))) : std::string();
}

// The names of a table of (id, name), and where each id stands among them:
// ids are small numbers counted up from 1, looked up in a vector once per
// row of the presses.
struct Names {
    static constexpr std::size_t kNone = SIZE_MAX;
    std::vector<std::string> names;
    std::vector<std::size_t> bySmallId;
    std::unordered_map<std::int64_t, std::size_t> byLargeId;

    std::size_t find(std::int64_t id) const {
        if (id >= 0 && static_cast<std::uint64_t>(id) < bySmallId.size())
            return bySmallId[static_cast<std::size_t>(id)];
        const auto it = byLargeId.find(id);
        return it == byLargeId.end() ? kNone : it->second;
    }
};

constexpr std::int64_t kSmallIds = 1 << 16;

Names readNames(sqlite3* db, const char* sql) {
    Names result;
    Statement s = prepare(db, sql);
    while (next(db, s.get())) {
        const std::int64_t id = sqlite3_column_int64(s.get(), 0);
        if (id >= 0 && id < kSmallIds) {
            if (static_cast<std::size_t>(id) >= result.bySmallId.size())
                result.bySmallId.resize(static_cast<std::size_t>(id) + 1, Names::kNone);
            result.bySmallId[static_cast<std::size_t>(id)] = result.names.size();
        } else {
            result.byLargeId.emplace(id, result.names.size());
        }
        result.names.push_back(columnText(s.get(), 1));
    }
    return result;
}

std::optional<std::int64_t> schemaVersion(sqlite3* db) {
    Statement s = prepare(db, "SELECT value FROM meta WHERE key = 'schema_version'");
    if (!next(db, s.get())) return std::nullopt;
    return sqlite3_column_int64(s.get(), 0);
}

// The rows of presses in `span`, each to the tally whose range holds it.
void readPresses(sqlite3* db, ActivityReading& reading, const Names& apps, const Names& keys, HourRange span,
                 bool appKeysOnly = false) {
    Statement presses = prepare(db, "SELECT hour, app, key, count FROM presses WHERE hour >= ?1 AND hour < ?2");
    sqlite3_bind_int64(presses.get(), 1, span.first);
    sqlite3_bind_int64(presses.get(), 2, span.end);
    while (next(db, presses.get())) {
        const std::int64_t hour = sqlite3_column_int64(presses.get(), 0);
        const std::size_t app = apps.find(sqlite3_column_int64(presses.get(), 1));
        const std::size_t key = keys.find(sqlite3_column_int64(presses.get(), 2));
        if (app == Names::kNone || key == Names::kNone) continue;  // a row whose name is gone
        const std::int64_t count = sqlite3_column_int64(presses.get(), 3);
        ActivityTally& tally = reading.current.range().contains(hour) ? reading.current : reading.previous;
        if (appKeysOnly)
            tally.addAppKey(hour, app, key, count);
        else
            tally.addPresses(hour, app, key, count);
    }
}

void readHours(sqlite3* db, ActivityReading& reading, HourRange span) {
    Statement hours =
        prepare(db, "SELECT hour, active_minutes, peak_count, peak_minute FROM hours WHERE hour >= ?1 AND hour < ?2");
    sqlite3_bind_int64(hours.get(), 1, span.first);
    sqlite3_bind_int64(hours.get(), 2, span.end);
    while (next(db, hours.get())) {
        const HourActivity hour{sqlite3_column_int64(hours.get(), 0), sqlite3_column_int64(hours.get(), 1),
                                sqlite3_column_int64(hours.get(), 2), sqlite3_column_int64(hours.get(), 3)};
        ActivityTally& tally = reading.current.range().contains(hour.hour) ? reading.current : reading.previous;
        tally.addHour(hour);
    }
}

// The current period from the sums: per application and hour, per key and day.
void readSums(sqlite3* db, ActivityTally& tally, const Names& apps, const Names& keys) {
    const HourRange range = tally.range();
    Statement appHours = prepare(db, "SELECT hour, app, count FROM app_hours WHERE hour >= ?1 AND hour < ?2");
    sqlite3_bind_int64(appHours.get(), 1, range.first);
    sqlite3_bind_int64(appHours.get(), 2, range.end);
    while (next(db, appHours.get())) {
        const std::size_t app = apps.find(sqlite3_column_int64(appHours.get(), 1));
        if (app == Names::kNone) continue;
        tally.addAppHour(sqlite3_column_int64(appHours.get(), 0), app, sqlite3_column_int64(appHours.get(), 2));
    }
    Statement keyDays = prepare(db, "SELECT day, key, count FROM key_days WHERE day >= ?1 AND day < ?2");
    sqlite3_bind_int64(keyDays.get(), 1, dayOfHour(range.first));
    sqlite3_bind_int64(keyDays.get(), 2, dayOfHour(range.end));
    while (next(db, keyDays.get())) {
        const std::size_t key = keys.find(sqlite3_column_int64(keyDays.get(), 1));
        if (key == Names::kNone) continue;
        tally.addKeyDay(static_cast<int>(sqlite3_column_int64(keyDays.get(), 0)), key,
                        sqlite3_column_int64(keyDays.get(), 2));
    }
}

// Version 2 on keeps the sums beside presses, written in the same transaction.
bool hasSums(sqlite3* db, std::int64_t version) {
    if (version < 2) return false;
    Statement s = prepare(db,
                          "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN ('app_hours', "
                          "'key_days')");
    return next(db, s.get()) && sqlite3_column_int64(s.get(), 0) == 2;
}

bool wholeDays(HourRange range) {
    return range.first == std::int64_t{dayOfHour(range.first)} * kHoursPerDay &&
           range.end == std::int64_t{dayOfHour(range.end)} * kHoursPerDay;
}

}  // namespace

std::string activityPathBeside(const std::string& historyPath) {
    return (std::filesystem::path(historyPath).parent_path() / kActivityFileName).string();
}

ActivityReading readActivity(const std::string& databasePath, const PeriodRequest& request, const EarlyReading& early,
                             bool useSums) {
    ActivityReading reading;
    reading.request = request;
    std::error_code error;
    if (!std::filesystem::exists(databasePath, error)) return reading;  // Missing

    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(databasePath.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    Database db(raw);
    try {
        if (opened != SQLITE_OK) throw ReadError(raw ? sqlite3_errmsg(raw) : "out of memory");
        sqlite3_busy_timeout(db.get(), kBusyMs);
        execute(db.get(), "BEGIN");
        const std::optional<std::int64_t> version = schemaVersion(db.get());
        if (!version) throw ReadError("no schema version");
        if (*version > activity::kSchemaVersion) {
            reading.status = ActivityStatus::Newer;
            return reading;
        }
        const Names apps = readNames(db.get(), "SELECT id, name FROM apps");
        const Names keys = readNames(db.get(), "SELECT id, name FROM keys");

        std::optional<std::int64_t> firstHour;
        if (request.kind == PeriodKind::All || request.kind == PeriodKind::Range) {
            Statement s = prepare(db.get(), "SELECT MIN(hour) FROM presses");
            if (next(db.get(), s.get()) && sqlite3_column_type(s.get(), 0) != SQLITE_NULL)
                firstHour = sqlite3_column_int64(s.get(), 0);
        }
        const HourRange range =
            periodRange(request.kind, request.nowHour, firstHour, request.firstDay, request.lastDay);
        reading.hasPrevious = request.kind != PeriodKind::All;
        const HourRange before =
            reading.hasPrevious ? previousRange(range, request.nowHour) : HourRange{range.first, range.first};
        reading.current = ActivityTally(range, apps.names, keys.names);
        reading.previous = ActivityTally(before, apps.names, keys.names);
        if (useSums && wholeDays(range) && hasSums(db.get(), *version)) {
            // The period before is at most as long, and may end inside a day.
            readPresses(db.get(), reading, apps, keys, before);
            readSums(db.get(), reading.current, apps, keys);
            readHours(db.get(), reading, {before.first, range.end});
            if (early) {
                reading.status = ActivityStatus::Ok;
                reading.appKeysRead = false;
                early(reading);
                reading.appKeysRead = true;
            }
            readPresses(db.get(), reading, apps, keys, range, true);
        } else {
            readPresses(db.get(), reading, apps, keys, {before.first, range.end});
            readHours(db.get(), reading, {before.first, range.end});
        }
        execute(db.get(), "COMMIT");
        reading.status = ActivityStatus::Ok;
    } catch (const ReadError& e) {
        reading.status = ActivityStatus::Unreadable;
        reading.error = e.what();
        reading.current = {};
        reading.previous = {};
    }
    return reading;
}

}  // namespace pressory::statistics
