#include "activity/store/activity_store.h"

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "activity/activity_schema.h"

namespace pressory::activity {
namespace {

// A prepared statement, finalised when it goes.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &st_, nullptr); }
    ~Statement() { sqlite3_finalize(st_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return rc_ == SQLITE_OK; }
    int prepareCode() const { return rc_; }
    sqlite3_stmt* get() { return st_; }
    void bind(int at, std::int64_t v) { sqlite3_bind_int64(st_, at, v); }
    void bind(int at, std::string_view v) {
        sqlite3_bind_text(st_, at, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    int step() { return sqlite3_step(st_); }
    void reset() {
        sqlite3_reset(st_);
        sqlite3_clear_bindings(st_);
    }

private:
    sqlite3_stmt* st_ = nullptr;
    int rc_ = SQLITE_OK;
};

bool isDamage(int rc) {
    const int primary = rc & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

std::string message(sqlite3* db, int rc) {
    const char* m = db != nullptr ? sqlite3_errmsg(db) : nullptr;
    return m != nullptr ? m : sqlite3_errstr(rc);
}

// The result of one SQL text of any number of statements; the first error's code.
int exec(sqlite3* db, const std::string& sql) { return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr); }

// The single text a pragma or query gives, or an error code.
int queryText(sqlite3* db, const char* sql, std::string& out) {
    Statement st(db, sql);
    if (!st.ok()) return st.prepareCode();
    const int rc = st.step();
    if (rc == SQLITE_ROW) {
        const unsigned char* t = sqlite3_column_text(st.get(), 0);
        out = t != nullptr ? reinterpret_cast<const char*>(t) : "";
        return SQLITE_OK;
    }
    out.clear();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

struct Checked {
    int rc = SQLITE_OK;
    bool damaged = false;
    bool newer = false;
    std::string reason;
};

// Brings an open file to `schema`: a file without tables gets them, an older
// version is migrated step by step (each step with its new version number in
// one transaction), a file of another kind or one failing SQLite's quick
// check counts as damaged.
Checked prepare(sqlite3* db, const Schema& schema) {
    Checked c;
    const auto fail = [&](int rc) {
        c.rc = rc;
        c.damaged = isDamage(rc);
        c.reason = message(db, rc);
        return c;
    };
    sqlite3_busy_timeout(db, 5000);
    std::string text;
    if (int rc = queryText(db, "PRAGMA journal_mode=WAL", text); rc != SQLITE_OK) return fail(rc);
    if (int rc = queryText(db, "PRAGMA quick_check", text); rc != SQLITE_OK) return fail(rc);
    if (text != "ok") {
        c.rc = SQLITE_CORRUPT;
        c.damaged = true;
        c.reason = text;
        return c;
    }
    // In WAL mode a commit reaches the operating system at once: a killed
    // program loses nothing committed; a power cut may lose the last commits,
    // never the file's consistency.
    if (int rc = exec(db, "PRAGMA synchronous=NORMAL"); rc != SQLITE_OK) return fail(rc);

    std::string tables;
    if (int rc = queryText(db, "SELECT count(*) FROM sqlite_master", tables); rc != SQLITE_OK) return fail(rc);
    if (tables == "0") {
        const std::string create = "BEGIN IMMEDIATE;" + schema.createSql +
                                   "INSERT INTO meta(key, value) VALUES('schema_version', '" +
                                   std::to_string(schema.version) + "');COMMIT;";
        if (int rc = exec(db, create); rc != SQLITE_OK) {
            exec(db, "ROLLBACK");
            return fail(rc);
        }
        return c;
    }
    std::string version;
    if (int rc = queryText(db, "SELECT value FROM meta WHERE key = 'schema_version'", version);
        rc != SQLITE_OK || version.empty()) {
        // Tables, but not ours.
        c.rc = SQLITE_NOTADB;
        c.damaged = true;
        c.reason = rc != SQLITE_OK ? message(db, rc) : "no schema version";
        return c;
    }
    int v = 0;
    try {
        v = std::stoi(version);
    } catch (...) {
        v = 0;
    }
    if (v < 1) {
        c.rc = SQLITE_NOTADB;
        c.damaged = true;
        c.reason = "schema version " + version;
        return c;
    }
    if (v > schema.version) {
        c.newer = true;
        c.reason = "schema version " + version;
        return c;
    }
    for (; v < schema.version; ++v) {
        const std::size_t step = static_cast<std::size_t>(v - 1);
        if (step >= schema.steps.size()) return fail(SQLITE_ERROR);
        const std::string sql = "BEGIN IMMEDIATE;" + schema.steps[step] + ";UPDATE meta SET value = '" +
                                std::to_string(v + 1) + "' WHERE key = 'schema_version';COMMIT;";
        if (int rc = exec(db, sql); rc != SQLITE_OK) {
            exec(db, "ROLLBACK");
            return fail(rc);
        }
    }
    return c;
}

// SQLite names files in UTF-8; the program's paths are in the platform's
// narrow encoding (the ANSI code page on Windows).
std::string sqlitePath(const std::string& path) {
    const std::u8string utf8 = std::filesystem::path(path).u8string();
    return {reinterpret_cast<const char*>(utf8.data()), utf8.size()};
}

void closeDb(sqlite3*& db) {
    sqlite3_close_v2(db);
    db = nullptr;
}

// Moves the damaged file (and its write-ahead log) aside; its shared-memory
// index is rebuilt and goes.
bool moveAside(const std::string& path, const std::string& to, std::string& reason) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::rename(fs::path(path), fs::path(to), ec);
    if (ec) {
        reason = ec.message();
        return false;
    }
    fs::rename(fs::path(path + "-wal"), fs::path(to + "-wal"), ec);
    fs::remove(fs::path(path + "-shm"), ec);
    return true;
}

}  // namespace

const Schema& currentSchema() {
    // A later version appends the step that takes version n to n + 1.
    static const Schema schema{
        kSchemaVersion, std::string(kSchemaSql) + kSchemaSqlV2, {std::string(kSchemaSqlV2) + kMigrateV1ToV2}};
    return schema;
}

std::string damagedPath(const std::string& path, std::string_view stamp) {
    std::string base = path;
    const std::string ext = ".db";
    if (base.size() >= ext.size() && base.compare(base.size() - ext.size(), ext.size(), ext) == 0)
        base.resize(base.size() - ext.size());
    return base + ".damaged-" + std::string(stamp) + ext;
}

ActivityStore::Opened ActivityStore::open(const std::string& path, std::string_view stamp, const Schema& schema) {
    Opened opened;
    for (int attempt = 0; attempt < 2; ++attempt) {
        sqlite3* db = nullptr;
        int rc = sqlite3_open_v2(sqlitePath(path).c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        Checked c;
        if (rc != SQLITE_OK) {
            c.rc = rc;
            c.damaged = isDamage(rc);
            c.reason = message(db, rc);
        } else {
            c = prepare(db, schema);
        }
        if (c.rc == SQLITE_OK && !c.newer) {
            opened.store.reset(new ActivityStore(db));
            if (opened.outcome != Outcome::MovedAside) opened.outcome = Outcome::Ready;
            return opened;
        }
        closeDb(db);
        opened.reason = c.reason;
        if (c.newer) {
            opened.outcome = Outcome::Newer;
            return opened;
        }
        if (!c.damaged || attempt > 0) {
            opened.outcome = Outcome::Failed;
            return opened;
        }
        // Damaged: kept for whoever wants to look at it, and a new file started.
        std::string to = damagedPath(path, stamp);
        for (int n = 2; std::filesystem::exists(std::filesystem::path(to)); ++n)
            to = damagedPath(path, std::string(stamp) + "-" + std::to_string(n));
        if (!moveAside(path, to, opened.reason)) {
            opened.outcome = Outcome::Failed;
            return opened;
        }
        opened.outcome = Outcome::MovedAside;
        opened.movedTo = to;
    }
    opened.outcome = Outcome::Failed;
    return opened;
}

ActivityStore::Opened ActivityStore::openForReading(const std::string& path) {
    Opened opened;
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(sqlitePath(path).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) {
        opened.reason = message(db, rc);
        closeDb(db);
        return opened;
    }
    sqlite3_busy_timeout(db, 5000);
    std::string version;
    if (const int vr = queryText(db, "SELECT value FROM meta WHERE key = 'schema_version'", version); vr != SQLITE_OK) {
        opened.reason = message(db, vr);
        closeDb(db);
        return opened;
    }
    opened.store.reset(new ActivityStore(db));
    opened.outcome = Outcome::Ready;
    return opened;
}

ActivityStore::~ActivityStore() { sqlite3_close_v2(db_); }

int ActivityStore::schemaVersion() {
    std::string version;
    if (queryText(db_, "SELECT value FROM meta WHERE key = 'schema_version'", version) != SQLITE_OK) return 0;
    try {
        return std::stoi(version);
    } catch (...) {
        return 0;
    }
}

std::int64_t ActivityStore::idOf(bool app, const std::string& name, Ids& added) {
    Ids& ids = app ? appIds_ : keyIds_;
    if (const auto it = ids.find(name); it != ids.end()) return it->second;
    Statement insert(db_, app ? "INSERT INTO apps(name) VALUES(?1) ON CONFLICT(name) DO NOTHING"
                              : "INSERT INTO keys(name) VALUES(?1) ON CONFLICT(name) DO NOTHING");
    insert.bind(1, name);
    if (!insert.ok() || insert.step() != SQLITE_DONE) return -1;
    Statement select(db_, app ? "SELECT id FROM apps WHERE name = ?1" : "SELECT id FROM keys WHERE name = ?1");
    select.bind(1, name);
    if (!select.ok() || select.step() != SQLITE_ROW) return -1;
    const std::int64_t id = sqlite3_column_int64(select.get(), 0);
    added.emplace(name, id);
    return id;
}

ActivityStore::WriteResult ActivityStore::write(const Batch& batch) {
    WriteResult result;
    if (batch.empty()) {
        result.ok = true;
        return result;
    }
    const auto fail = [&](int rc) {
        result.damaged = isDamage(rc);
        result.reason = message(db_, rc);
        exec(db_, "ROLLBACK");
        return result;
    };
    if (int rc = exec(db_, "BEGIN IMMEDIATE"); rc != SQLITE_OK) return fail(rc);
    // Ids found in this transaction join the caches only when it commits.
    Ids newApps;
    Ids newKeys;
    const auto lookup = [&](bool app, const std::string& name) {
        Ids& fresh = app ? newApps : newKeys;
        if (const auto it = fresh.find(name); it != fresh.end()) return it->second;
        return idOf(app, name, fresh);
    };
    {
        Statement press(db_,
                        "INSERT INTO presses(hour, app, key, count) VALUES(?1, ?2, ?3, ?4) "
                        "ON CONFLICT(hour, app, key) DO UPDATE SET count = count + excluded.count");
        if (!press.ok()) return fail(press.prepareCode());
        Statement appHour(db_,
                          "INSERT INTO app_hours(hour, app, count) VALUES(?1, ?2, ?3) "
                          "ON CONFLICT(hour, app) DO UPDATE SET count = count + excluded.count");
        if (!appHour.ok()) return fail(appHour.prepareCode());
        Statement keyDay(db_,
                         "INSERT INTO key_days(day, key, count) VALUES(?1, ?2, ?3) "
                         "ON CONFLICT(day, key) DO UPDATE SET count = count + excluded.count");
        if (!keyDay.ok()) return fail(keyDay.prepareCode());
        for (const PressRow& row : batch.presses) {
            const std::int64_t app = lookup(true, row.app);
            const std::int64_t key = lookup(false, row.key);
            if (app < 0 || key < 0) return fail(sqlite3_errcode(db_));
            press.bind(1, row.hour);
            press.bind(2, app);
            press.bind(3, key);
            press.bind(4, row.count);
            if (int rc = press.step(); rc != SQLITE_DONE) return fail(rc);
            press.reset();
            appHour.bind(1, row.hour);
            appHour.bind(2, app);
            appHour.bind(3, row.count);
            if (int rc = appHour.step(); rc != SQLITE_DONE) return fail(rc);
            appHour.reset();
            keyDay.bind(1, row.hour >= 0 ? row.hour / 24 : (row.hour - 23) / 24);
            keyDay.bind(2, key);
            keyDay.bind(3, row.count);
            if (int rc = keyDay.step(); rc != SQLITE_DONE) return fail(rc);
            keyDay.reset();
        }
        Statement hour(db_,
                       "INSERT INTO hours(hour, active_minutes, peak_count, peak_minute) VALUES(?1, ?2, ?3, ?4) "
                       // An hour that a clock change repeats has its minutes twice: it
                       // is still one hour of at most 60 active minutes.
                       "ON CONFLICT(hour) DO UPDATE SET active_minutes = min(60, active_minutes + "
                       "excluded.active_minutes), "
                       "peak_minute = CASE WHEN excluded.peak_count > peak_count THEN excluded.peak_minute "
                       "ELSE peak_minute END, peak_count = max(peak_count, excluded.peak_count)");
        if (!hour.ok()) return fail(hour.prepareCode());
        for (const HourRow& row : batch.hours) {
            hour.bind(1, row.hour);
            hour.bind(2, row.activeMinutes);
            hour.bind(3, row.peakCount);
            hour.bind(4, row.peakMinute);
            if (int rc = hour.step(); rc != SQLITE_DONE) return fail(rc);
            hour.reset();
        }
    }
    if (int rc = exec(db_, "COMMIT"); rc != SQLITE_OK) return fail(rc);
    appIds_.merge(newApps);
    keyIds_.merge(newKeys);
    result.ok = true;
    return result;
}

bool ActivityStore::forEachPress(const RowVisitor& visit, std::string& reason) {
    Statement st(db_,
                 "SELECT p.hour, a.name, k.name, p.count FROM presses p JOIN apps a ON a.id = p.app "
                 "JOIN keys k ON k.id = p.key ORDER BY p.hour, a.name, k.name");
    if (!st.ok()) {
        reason = message(db_, st.prepareCode());
        return false;
    }
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) {
        const auto text = [&](int col) {
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st.get(), col));
            return std::string_view(t != nullptr ? t : "",
                                    static_cast<std::size_t>(sqlite3_column_bytes(st.get(), col)));
        };
        visit(sqlite3_column_int64(st.get(), 0), text(1), text(2), sqlite3_column_int64(st.get(), 3));
    }
    if (rc != SQLITE_DONE) {
        reason = message(db_, rc);
        return false;
    }
    return true;
}

}  // namespace pressory::activity
