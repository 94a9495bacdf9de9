// Figures of the activity database (not a test): a year of hourly rows made
// with the program's own writer, the file's size, and the time to read what
// the statistics views and the export read from it; then the cost of one
// press on the program's thread and of one minute's write.
//
// Usage: activity_figures FOLDER [KEYS] [APPS] [APPS_PER_HOUR] [KEYS_PER_APP]
// The year: every weekday 08:00-20:00 and 4 hours of each weekend day, each
// such hour with APPS_PER_HOUR of the APPS applications and KEYS_PER_APP of
// the KEYS keys in each (defaults 120 keys, 30 applications, 6 and 60).
#include <sqlite3.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "activity/accumulator.h"
#include "activity/app_rules.h"
#include "activity/local_time.h"
#include "activity/store/activity_store.h"
#include "activity/store/activity_writer.h"

using namespace pressory::activity;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

// CPU time of this thread: the figure that a busy machine does not inflate.
double cpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Runs a query to its end on a fresh read-only connection (as a reader that
// opens the file for a view does); rows read.
long query(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    long rows = 0;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql, sqlite3_errmsg(db));
        std::exit(1);
    }
    while (sqlite3_step(st) == SQLITE_ROW) ++rows;
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: activity_figures FOLDER [KEYS] [APPS] [APPS_PER_HOUR] [KEYS_PER_APP]\n");
        return 2;
    }
    const std::string path = (std::filesystem::path(argv[1]) / kDatabaseFileName).string();
    const int keys = argc > 2 ? std::atoi(argv[2]) : 120;
    const int apps = argc > 3 ? std::atoi(argv[3]) : 30;
    const int appsPerHour = argc > 4 ? std::atoi(argv[4]) : 6;
    const int keysPerApp = argc > 5 ? std::atoi(argv[5]) : 60;
    std::filesystem::remove(path);

    std::vector<std::string> keyNames;
    std::vector<std::string> appNames;
    for (int k = 0; k < keys; ++k) keyNames.push_back("Key" + std::to_string(k));
    for (int a = 0; a < apps; ++a) appNames.push_back("application-" + std::to_string(a));

    // 2025 in local hours: day 0 is 2025-01-01.
    const std::int64_t firstDay = 20089;  // days from 1970-01-01 to 2025-01-01
    std::mt19937 random(1);
    auto opened = ActivityStore::open(path, "x");
    if (!opened.store) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), opened.reason.c_str());
        return 1;
    }
    long rows = 0;
    long hours = 0;
    const auto made = Clock::now();
    for (std::int64_t day = firstDay; day < firstDay + 365; ++day) {
        const int weekday = weekdayOfHour(day * 24);
        const bool weekend = weekday == 0 || weekday == 6;
        for (int h = weekend ? 10 : 8; h < (weekend ? 14 : 20); ++h) {
            Accumulator acc;
            const std::int64_t minute0 = (day * 24 + h) * 60;
            for (int a = 0; a < appsPerHour; ++a) {
                const std::string& app = appNames[random() % apps];
                for (int k = 0; k < keysPerApp; ++k)
                    acc.add(minute0 + static_cast<int>(random() % 60), app, keyNames[random() % keys],
                            1 + random() % 40);
            }
            const Batch batch = acc.take();
            rows += static_cast<long>(batch.presses.size());
            ++hours;
            if (!opened.store->write(batch).ok) return 1;
        }
    }
    const double makeMs = msSince(made);
    opened.store.reset();
    {
        // The write-ahead log folded into the file, as at a close.
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    const long written = query(path, "SELECT * FROM presses");
    std::printf("a year: %ld active hours, %ld rows written (%ld distinct hour/app/key rows) in %.0f ms\n", hours, rows,
                written, makeMs);
    std::printf("file: %.1f MB\n", static_cast<double>(std::filesystem::file_size(path)) / 1e6);

    struct View {
        const char* name;
        const char* sql;
    };
    // What the statistics views read: the sums per hour and application and
    // per day and key, the hours, and the presses of a short period.
    const View views[] = {
        {"presses per hour of the day and weekday",
         "SELECT hour % 24, ((hour / 24) + 4) % 7, sum(count) FROM app_hours GROUP BY 1, 2"},
        {"presses per day", "SELECT hour / 24, sum(count) FROM app_hours GROUP BY 1"},
        {"presses per application",
         "SELECT a.name, t.n FROM (SELECT app, sum(count) AS n FROM app_hours GROUP BY app) t JOIN apps a ON a.id = "
         "t.app"},
        {"presses per key",
         "SELECT k.name, t.n FROM (SELECT key, sum(count) AS n FROM key_days GROUP BY key) t JOIN keys k ON k.id = "
         "t.key"},
        {"keys per minute and peaks per hour", "SELECT hour, active_minutes, peak_count, peak_minute FROM hours"},
        {"one application's keys in the last 30 days",
         "SELECT k.name, sum(p.count) FROM presses p JOIN keys k ON k.id = p.key WHERE p.app = 3 AND p.hour >= "
         "(SELECT max(hour) FROM hours) - 720 GROUP BY p.key"},
        {"every key in every application over the year (presses, for comparison)",
         "SELECT app, key, sum(count) FROM presses GROUP BY app, key"},
    };
    double all = 0;
    double allCpu = 0;
    std::printf("  %-50s %9s %9s\n", "view", "wall ms", "CPU ms");
    for (const View& v : views) {
        const auto t = Clock::now();
        const double c = cpuMs();
        const long n = query(path, v.sql);
        const double ms = msSince(t);
        const double cpu = cpuMs() - c;
        all += ms;
        allCpu += cpu;
        std::printf("  %-50s %9.1f %9.1f (%ld rows)\n", v.name, ms, cpu, n);
    }
    std::printf("  %-50s %9.1f %9.1f\n", "all of the views above", all, allCpu);
    {
        auto reader = ActivityStore::openForReading(path);
        std::string csv;
        std::string reason;
        const auto t = Clock::now();
        csvOf(*reader.store, csv, reason);
        std::printf("export: %.1f MB of CSV in %.0f ms\n", static_cast<double>(csv.size()) / 1e6, msSince(t));
    }

    // One press on the program's thread: the rules' name and the accumulator.
    {
        const AppRules rules(true, "keepassxc|secret.exe");
        Accumulator acc;
        constexpr int n = 1000000;
        const auto t = Clock::now();
        for (int i = 0; i < n; ++i)
            acc.add(29000000 + i / 1200, rules.recordedName(appNames[static_cast<std::size_t>(i % 7)]),
                    keyNames[static_cast<std::size_t>(i % 50)], 1);
        std::printf("one press into the accumulator: %.0f ns\n", msSince(t) * 1e6 / n);
        const auto w = Clock::now();
        const Batch batch = acc.take();
        std::printf("taking %zu rows of %d minutes: %.1f ms\n", batch.presses.size(), n / 1200, msSince(w));
    }
    // One minute at 20 presses a second over 5 applications and 50 keys, written by the writer's thread.
    {
        ActivityWriter writer(
            path, [] { return std::string("x"); }, nullptr);
        writer.open();
        writer.drain();
        Accumulator acc;
        for (int i = 0; i < 1200; ++i)
            acc.add(29100000, appNames[static_cast<std::size_t>(i % 5)], keyNames[static_cast<std::size_t>(i % 50)], 1);
        const auto t = Clock::now();
        writer.post(acc.take());
        writer.drain();
        std::printf("one minute's write (1200 presses, 250 rows) on the writer's thread: %.1f ms\n", msSince(t));
    }
    return 0;
}
