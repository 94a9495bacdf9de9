// The writer of the activity database: a thread of its own that owns the
// database, so that a slow disk never holds up the counting. The program
// hands it a batch once a minute and at the close; it writes each batch in
// one transaction, keeps a batch it could not write and writes it with the
// next one, and runs the export after everything handed to it before.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <variant>

#include "activity/accumulator.h"
#include "activity/store/activity_store.h"
#include "files/replace_file.h"

namespace pressory::activity {

class ActivityWriter {
public:
    // What the person is to hear of; called on the writer's thread, once per
    // kind and run.
    struct Notice {
        ActivityStore::Outcome outcome;  // MovedAside, Newer or Failed
        std::string path;                // the database
        std::string movedTo;             // MovedAside: where the damaged file went
        std::string reason;
    };
    using NoticeHandler = std::function<void(const Notice&)>;
    // `stamp` gives the local date and time for a damaged file's name.
    ActivityWriter(std::string path, std::function<std::string()> stamp, NoticeHandler notice);
    // Writes what was handed over and ends the thread.
    ~ActivityWriter();
    ActivityWriter(const ActivityWriter&) = delete;
    ActivityWriter& operator=(const ActivityWriter&) = delete;

    // Opens the database (now, on the writer's thread), so that a damaged or
    // unusable file is told at the start rather than at the first write.
    void open();
    void post(Batch batch);
    // Writes the export of the hourly table to `path` through `replace`, after
    // every batch handed over before; `done` is called on the writer's thread.
    using ExportDone = std::function<void(bool ok, const std::string& reason)>;
    void exportCsv(std::string path, files::ReplaceFile replace, ExportDone done);
    // Waits until everything handed over so far has been tried.
    void drain();
    // Writes what was handed over and ends the thread; nothing is taken after.
    void close();

    const std::string& path() const { return path_; }

private:
    struct Open {};
    struct Export {
        std::string path;
        files::ReplaceFile replace;
        ExportDone done;
    };
    using Job = std::variant<Open, Batch, Export>;
    void run();
    bool ensureOpen();
    void writePending();
    void tell(const ActivityStore::Opened& opened);

    std::string path_;
    std::function<std::string()> stamp_;
    NoticeHandler notice_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> jobs_;
    bool busy_ = false;
    bool closing_ = false;
    std::thread thread_;

    // Writer thread only.
    std::unique_ptr<ActivityStore> store_;
    Batch pending_;  // handed over, not yet written
    bool toldMovedAside_ = false;
    bool toldUnusable_ = false;
};

// The export from a database file without the program running: every row of
// the hourly table as activity_csv.h says, through `replace`. False with the
// reason when the database cannot be read or the file not written.
bool exportActivity(const std::string& databasePath, const std::string& csvPath, const files::ReplaceFile& replace,
                    std::string& reason);

// The CSV text of every row of an open store.
bool csvOf(ActivityStore& store, std::string& csv, std::string& reason);

}  // namespace pressory::activity
