// The activity database PressoryActivity.db through SQLite: opening it (a new
// file gets the tables, an older one is migrated, a damaged one is moved
// aside and a new one started), adding a batch in one transaction, and
// reading the hourly table back for the export.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "activity/accumulator.h"

struct sqlite3;

namespace pressory::activity {

inline constexpr const char* kDatabaseFileName = "PressoryActivity.db";

// The tables a file should have, and the steps from each older version to
// the next: steps[0] takes version 1 to 2, and so on.
struct Schema {
    int version;
    std::string createSql;
    std::vector<std::string> steps;
};
const Schema& currentSchema();

// "PressoryActivity.damaged-<stamp>.db" beside `path`.
std::string damagedPath(const std::string& path, std::string_view stamp);

class ActivityStore {
public:
    enum class Outcome {
        Ready,       // usable
        MovedAside,  // the file was damaged: moved to `movedTo`; a new one is used
        Newer,       // a newer program's file: left as it is, not used
        Failed,      // cannot be opened or created (see `reason`)
    };
    struct Opened {
        std::unique_ptr<ActivityStore> store;  // null unless Ready or MovedAside
        Outcome outcome = Outcome::Failed;
        std::string movedTo;
        std::string reason;
    };
    // Opens or creates the database at `path` for writing. `stamp` names the
    // damaged copy (local date and time, "20260131-235959").
    static Opened open(const std::string& path, std::string_view stamp, const Schema& schema = currentSchema());
    // Opens an existing database for reading only: nothing is created,
    // migrated or moved.
    static Opened openForReading(const std::string& path);

    ~ActivityStore();
    ActivityStore(const ActivityStore&) = delete;
    ActivityStore& operator=(const ActivityStore&) = delete;

    struct WriteResult {
        bool ok = false;
        bool damaged = false;  // the file turned out damaged; nothing was added
        std::string reason;
    };
    // Adds the batch in one transaction: all of it or nothing.
    WriteResult write(const Batch& batch);

    // Every row of the presses table, ordered by hour, application and key.
    using RowVisitor =
        std::function<void(std::int64_t hour, std::string_view app, std::string_view key, std::int64_t count)>;
    bool forEachPress(const RowVisitor& visit, std::string& reason);

    int schemaVersion();
    sqlite3* handle() { return db_; }  // for the readers of the statistics and the benchmarks

private:
    explicit ActivityStore(sqlite3* db) : db_(db) {}
    using Ids = std::map<std::string, std::int64_t, std::less<>>;
    // The id of a name in the apps or keys table, added when missing.
    std::int64_t idOf(bool app, const std::string& name, Ids& added);

    sqlite3* db_;
    Ids appIds_;
    Ids keyIds_;
};

}  // namespace pressory::activity
