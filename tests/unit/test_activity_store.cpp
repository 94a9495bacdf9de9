// The activity database on disk: a new file's tables, batches in one
// transaction, migration, a damaged file moved aside, the writer's thread,
// the export, and a kill between writes.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "activity/accumulator.h"
#include "activity/activity_schema.h"
#include "activity/store/activity_store.h"
#include "activity/store/activity_writer.h"
#include "support/temp_folder.h"

using namespace pressory::activity;
using pressory::test::readBytes;
using pressory::test::TempFolder;
using pressory::test::writeBytes;
namespace fs = std::filesystem;

namespace {

// One number from the file, read by a connection of its own.
std::int64_t number(const fs::path& db, const std::string& sql) {
    sqlite3* h = nullptr;
    sqlite3_open_v2(db.string().c_str(), &h, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    std::int64_t n = -1;
    if (sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(h);
    return n;
}

std::int64_t keyCount(const fs::path& db, const std::string& app, const std::string& key) {
    return number(db,
                  "SELECT coalesce(sum(count), 0) FROM presses p JOIN apps a ON a.id = p.app JOIN keys k ON "
                  "k.id = p.key WHERE a.name = '" +
                      app + "' AND k.name = '" + key + "'");
}

Batch batchOf(std::int64_t minute, const std::string& app, const std::string& key, std::uint32_t n) {
    Accumulator acc;
    acc.add(minute, app, key, n);
    return acc.take();
}

}  // namespace

TEST(ActivityStore, NewFileBatchesAddUpAndHoursKeepTheirPeak) {
    TempFolder dir("pressory-actdb-");
    const fs::path db = dir.path() / kDatabaseFileName;
    {
        auto opened = ActivityStore::open(db.string(), "x");
        ASSERT_EQ(opened.outcome, ActivityStore::Outcome::Ready) << opened.reason;
        EXPECT_EQ(opened.store->schemaVersion(), kSchemaVersion);
        Accumulator acc;
        acc.add(6000, "editor", "A", 2);
        acc.add(6000, "", "A", 1);
        acc.add(6001, "editor", "Enter", 1);
        ASSERT_TRUE(opened.store->write(acc.take()).ok);
        acc.add(6001, "editor", "A", 5);  // the same minute goes on after the write
        ASSERT_TRUE(opened.store->write(acc.take()).ok);
    }
    EXPECT_EQ(keyCount(db, "editor", "A"), 7);
    EXPECT_EQ(keyCount(db, "", "A"), 1);
    EXPECT_EQ(number(db, "SELECT active_minutes FROM hours WHERE hour = 100"), 2);
    EXPECT_EQ(number(db, "SELECT peak_count FROM hours WHERE hour = 100"), 6);
    EXPECT_EQ(number(db, "SELECT peak_minute FROM hours WHERE hour = 100"), 6001);
    EXPECT_EQ(number(db, "SELECT count(*) FROM pragma_journal_mode WHERE journal_mode = 'wal'"), 1);
    // The sums kept beside the presses hold the same presses.
    EXPECT_EQ(number(db, "SELECT sum(count) FROM app_hours WHERE app = (SELECT id FROM apps WHERE name = '')"), 1);
    EXPECT_EQ(number(db, "SELECT sum(count) FROM app_hours"), 9);
    EXPECT_EQ(number(db, "SELECT count FROM key_days WHERE day = 4 AND key = (SELECT id FROM keys WHERE name = 'A')"),
              8);

    // An hour that the clock went through twice (the end of summer time)
    // keeps at most 60 active minutes.
    {
        auto again = ActivityStore::open(db.string(), "x");
        Accumulator acc;
        for (int m = 0; m < 60; ++m) acc.add(200 * 60 + m, "", "A", 1);
        ASSERT_TRUE(again.store->write(acc.take()).ok);
        ASSERT_TRUE(again.store->write(batchOf(200 * 60 + 30, "", "A", 1)).ok);
    }
    EXPECT_EQ(number(db, "SELECT active_minutes FROM hours WHERE hour = 200"), 60);

    // A second program start finds the file as it was and adds to it.
    auto again = ActivityStore::open(db.string(), "x");
    ASSERT_EQ(again.outcome, ActivityStore::Outcome::Ready);
    ASSERT_TRUE(again.store->write(batchOf(6002, "editor", "A", 1)).ok);
    EXPECT_EQ(keyCount(db, "editor", "A"), 8);
    EXPECT_EQ(number(db, "SELECT active_minutes FROM hours WHERE hour = 100"), 3);
}

TEST(ActivityStore, OlderFilesMigrateNewerOnesAreLeftAlone) {
    TempFolder dir("pressory-actdb-");
    const fs::path db = dir.path() / kDatabaseFileName;
    {
        // A file of version 1: the presses without their sums.
        sqlite3* h = nullptr;
        sqlite3_open(db.string().c_str(), &h);
        const std::string v1 = std::string(kSchemaSql) +
                               "INSERT INTO meta VALUES('schema_version', '1');"
                               "INSERT INTO apps VALUES(1, 'editor'), (2, '');"
                               "INSERT INTO keys VALUES(1, 'A'), (2, 'B');"
                               "INSERT INTO presses VALUES(24, 1, 1, 4), (25, 2, 1, 3), (47, 1, 2, 2), (48, 1, 1, 1);";
        ASSERT_EQ(sqlite3_exec(h, v1.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(h);
    }
    {
        auto migrated = ActivityStore::open(db.string(), "x");
        ASSERT_EQ(migrated.outcome, ActivityStore::Outcome::Ready) << migrated.reason;
        EXPECT_EQ(migrated.store->schemaVersion(), kSchemaVersion);
        ASSERT_TRUE(migrated.store->write(batchOf(25 * 60, "editor", "A", 10)).ok);
    }
    EXPECT_EQ(keyCount(db, "editor", "A"), 15);
    EXPECT_EQ(number(db, "SELECT count FROM app_hours WHERE hour = 24 AND app = 1"), 4);
    EXPECT_EQ(number(db, "SELECT count FROM app_hours WHERE hour = 25 AND app = 1"), 10);
    EXPECT_EQ(number(db, "SELECT sum(count) FROM app_hours"), 20);
    EXPECT_EQ(number(db, "SELECT count FROM key_days WHERE day = 1 AND key = 1"), 17);
    EXPECT_EQ(number(db, "SELECT count FROM key_days WHERE day = 2 AND key = 1"), 1);

    // A step that fails leaves the version where it was.
    Schema bad = currentSchema();
    bad.version = kSchemaVersion + 1;
    bad.steps.push_back("ALTER TABLE nowhere ADD COLUMN x");
    EXPECT_EQ(ActivityStore::open(db.string(), "x", bad).outcome, ActivityStore::Outcome::Failed);
    EXPECT_EQ(number(db, "SELECT value FROM meta WHERE key = 'schema_version'"), kSchemaVersion);

    // A newer program's file: not used, not moved, not changed.
    Schema next = currentSchema();
    next.version = kSchemaVersion + 1;
    next.steps.push_back("ALTER TABLE hours ADD COLUMN longest_run INTEGER NOT NULL DEFAULT 0");
    ASSERT_EQ(ActivityStore::open(db.string(), "x", next).outcome, ActivityStore::Outcome::Ready);
    const std::string bytes = readBytes(db);
    auto newer = ActivityStore::open(db.string(), "x");
    EXPECT_EQ(newer.outcome, ActivityStore::Outcome::Newer);
    EXPECT_EQ(newer.store, nullptr);
    EXPECT_EQ(readBytes(db), bytes);
}

TEST(ActivityStore, DamagedFileIsMovedAsideAndANewOneStarted) {
    TempFolder dir("pressory-actdb-");
    const fs::path db = dir.path() / kDatabaseFileName;
    for (const std::string& junk : {std::string(4096, 'x'), std::string("SQLite format 3") + std::string(200, '\0')}) {
        writeBytes(db, junk);
        auto opened = ActivityStore::open(db.string(), "20261208-104500");
        ASSERT_EQ(opened.outcome, ActivityStore::Outcome::MovedAside) << opened.reason;
        ASSERT_NE(opened.store, nullptr);
        EXPECT_TRUE(opened.store->write(batchOf(60, "", "A", 1)).ok);
        EXPECT_EQ(readBytes(opened.movedTo), junk);
        EXPECT_EQ(fs::path(opened.movedTo).filename().string().substr(0, 36), "PressoryActivity.damaged-20261208-10");
        opened.store.reset();
        EXPECT_EQ(keyCount(db, "", "A"), 1);
        fs::remove(db);
    }
    // The second damaged file of the same second got a name of its own.
    EXPECT_TRUE(fs::exists(dir.path() / "PressoryActivity.damaged-20261208-104500.db"));
    EXPECT_TRUE(fs::exists(dir.path() / "PressoryActivity.damaged-20261208-104500-2.db"));

    // Another program's database under this name is not written into either.
    {
        sqlite3* h = nullptr;
        sqlite3_open(db.string().c_str(), &h);
        sqlite3_exec(h, "CREATE TABLE other(x)", nullptr, nullptr, nullptr);
        sqlite3_close(h);
    }
    auto foreign = ActivityStore::open(db.string(), "later");
    EXPECT_EQ(foreign.outcome, ActivityStore::Outcome::MovedAside);
}

TEST(ActivityWriter, WritesInOrderExportsAndTellsOfDamage) {
    TempFolder dir("pressory-actdb-");
    const fs::path db = dir.path() / kDatabaseFileName;
    writeBytes(db, std::string(100, 'z'));
    std::vector<ActivityWriter::Notice> notices;
    std::string exported;
    bool exportOk = false;
    {
        ActivityWriter writer(
            db.string(), [] { return std::string("s"); },
            [&](const ActivityWriter::Notice& n) { notices.push_back(n); });
        writer.open();
        writer.post(batchOf(60 * 24, "editor", "A", 2));
        writer.post(batchOf(60 * 24 + 1, "ed,itor", "B", 1));
        writer.exportCsv((dir.path() / "out.csv").string(), pressory::files::replaceWithoutSync,
                         [&](bool ok, const std::string&) { exportOk = ok; });
        writer.post(batchOf(60 * 24 + 2, "editor", "A", 1));  // after the export: in the file, not the export
        writer.drain();
        exported = readBytes(dir.path() / "out.csv");
    }
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].outcome, ActivityStore::Outcome::MovedAside);
    EXPECT_TRUE(exportOk);
    EXPECT_EQ(exported,
              "\xEF\xBB\xBF時刻,アプリ,キー,回数\r\n"
              "1970/01/02 00:00,\"ed,itor\",B,1\r\n"
              "1970/01/02 00:00,editor,A,2\r\n");
    EXPECT_EQ(keyCount(db, "editor", "A"), 3);

    std::string reason;
    const fs::path again = dir.path() / "again.csv";
    ASSERT_TRUE(exportActivity(db.string(), again.string(), {}, reason)) << reason;
    EXPECT_NE(readBytes(again).find("1970/01/02 00:00,editor,A,3\r\n"), std::string::npos);
    EXPECT_FALSE(exportActivity((dir.path() / "missing.db").string(), again.string(), {}, reason));
    EXPECT_FALSE(fs::exists(dir.path() / "missing.db"));
    EXPECT_FALSE(exportActivity(db.string(), (dir.path() / "no" / "such.csv").string(), {}, reason));
}

#ifndef _WIN32
// A program killed at any moment loses at most the batch it was writing and
// counts nothing twice: each batch adds 1 to the key, and the parent learns
// of each commit through a pipe.
TEST(ActivityWriter, KillLosesAtMostTheBatchUnderWay) {
    TempFolder dir("pressory-actdb-");
    const fs::path db = dir.path() / kDatabaseFileName;
    for (int round = 0; round < 8; ++round) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            auto opened = ActivityStore::open(db.string(), "x");
            for (std::int64_t m = 0;; ++m) {
                Accumulator acc;
                for (int k = 0; k < 400; ++k) acc.add(m, "app" + std::to_string(k % 7), "K" + std::to_string(k), 1);
                if (!opened.store || !opened.store->write(acc.take()).ok) _exit(3);
                const char one = 1;
                if (write(fds[1], &one, 1) != 1) _exit(4);
            }
        }
        close(fds[1]);
        const int wanted = 5 + round * 7;
        int told = 0;
        char c;
        while (told < wanted && read(fds[0], &c, 1) == 1) ++told;
        usleep(static_cast<useconds_t>(round * 450));  // somewhere in a write
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        while (read(fds[0], &c, 1) == 1) ++told;
        close(fds[0]);
        EXPECT_EQ(told >= wanted, true);
        const std::int64_t committed = number(db, "SELECT count(*) FROM hours");
        // Every write touched a new minute of hour 0, 1, ...: committed batches = sum of K0.
        const std::int64_t k0 = keyCount(db, "app0", "K0");
        EXPECT_GE(k0, told);
        EXPECT_LE(k0, told + 1);
        EXPECT_EQ(number(db, "SELECT sum(active_minutes) FROM hours"), k0);
        EXPECT_GE(committed, 1);
        EXPECT_EQ(number(db, "SELECT count(*) FROM pragma_integrity_check WHERE integrity_check = 'ok'"), 1);
        fs::remove(db);
        fs::remove(db.string() + "-wal");
        fs::remove(db.string() + "-shm");
    }
}
#endif
