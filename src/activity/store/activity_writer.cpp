#include "activity/store/activity_writer.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "activity/activity_csv.h"

namespace pressory::activity {

ActivityWriter::ActivityWriter(std::string path, std::function<std::string()> stamp, NoticeHandler notice)
    : path_(std::move(path)), stamp_(std::move(stamp)), notice_(std::move(notice)), thread_([this] { run(); }) {}

ActivityWriter::~ActivityWriter() { close(); }

void ActivityWriter::open() {
    std::lock_guard lock(mutex_);
    if (closing_) return;
    jobs_.emplace_back(Open{});
    wake_.notify_one();
}

void ActivityWriter::post(Batch batch) {
    if (batch.empty()) return;
    std::lock_guard lock(mutex_);
    if (closing_) return;
    jobs_.emplace_back(std::move(batch));
    wake_.notify_one();
}

void ActivityWriter::exportCsv(std::string path, files::ReplaceFile replace, ExportDone done) {
    std::lock_guard lock(mutex_);
    if (closing_) {
        if (done) done(false, "closing");
        return;
    }
    jobs_.emplace_back(Export{std::move(path), std::move(replace), std::move(done)});
    wake_.notify_one();
}

void ActivityWriter::drain() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

void ActivityWriter::close() {
    {
        std::lock_guard lock(mutex_);
        if (closing_) return;
        closing_ = true;
        wake_.notify_one();
    }
    if (thread_.joinable()) thread_.join();
}

void ActivityWriter::run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            busy_ = false;
            idle_.notify_all();
            wake_.wait(lock, [this] { return closing_ || !jobs_.empty(); });
            if (jobs_.empty()) break;  // closing, and everything done
            job = std::move(jobs_.front());
            jobs_.pop_front();
            busy_ = true;
        }
        if (auto* batch = std::get_if<Batch>(&job)) {
            pending_.merge(std::move(*batch));
            writePending();
        } else if (auto* ex = std::get_if<Export>(&job)) {
            writePending();
            std::string reason;
            std::string csv;
            bool ok = ensureOpen() && csvOf(*store_, csv, reason);
            if (!ok && reason.empty()) reason = "the activity database cannot be opened";
            if (ok) {
                if (const std::error_code ec = ex->replace(ex->path, csv)) {
                    ok = false;
                    reason = ec.message();
                }
            }
            if (ex->done) ex->done(ok, reason);
        } else {
            ensureOpen();
        }
    }
    // Closing: a last try of what is still unwritten.
    if (!pending_.empty()) writePending();
    store_.reset();
}

void ActivityWriter::tell(const ActivityStore::Opened& opened) {
    if (opened.outcome == ActivityStore::Outcome::Ready) return;
    if (opened.outcome == ActivityStore::Outcome::MovedAside) {
        toldMovedAside_ = true;
    } else {
        if (toldUnusable_) return;
        toldUnusable_ = true;
    }
    if (notice_) notice_({opened.outcome, path_, opened.movedTo, opened.reason});
}

bool ActivityWriter::ensureOpen() {
    if (store_) return true;
    ActivityStore::Opened opened = ActivityStore::open(path_, stamp_ ? stamp_() : std::string("unknown"));
    tell(opened);
    store_ = std::move(opened.store);
    return store_ != nullptr;
}

void ActivityWriter::writePending() {
    if (pending_.empty()) return;
    if (!ensureOpen()) {
        if (pending_.presses.size() > 20000) pending_.compact();
        return;
    }
    ActivityStore::WriteResult result = store_->write(pending_);
    if (!result.ok && result.damaged) {
        // Damaged under the program: moved aside, and the batch goes to the new file.
        store_.reset();
        if (ensureOpen()) result = store_->write(pending_);
    }
    if (result.ok) {
        pending_ = Batch{};
        return;
    }
    // Otherwise kept, and tried again with the next batch.
    if (pending_.presses.size() > 20000) pending_.compact();
}

bool csvOf(ActivityStore& store, std::string& csv, std::string& reason) {
    csv = csvHead();
    return store.forEachPress([&csv](std::int64_t hour, std::string_view app, std::string_view key,
                                     std::int64_t count) { csv += csvLine(hour, app, key, count); },
                              reason);
}

bool exportActivity(const std::string& databasePath, const std::string& csvPath, const files::ReplaceFile& replace,
                    std::string& reason) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::path(databasePath), ec)) {
        reason = databasePath + ": no activity database";
        return false;
    }
    ActivityStore::Opened opened = ActivityStore::openForReading(databasePath);
    if (!opened.store) {
        reason = databasePath + ": " + opened.reason;
        return false;
    }
    std::string csv;
    if (!csvOf(*opened.store, csv, reason)) {
        reason = databasePath + ": " + reason;
        return false;
    }
    if (const std::error_code wec = replace ? replace(csvPath, csv) : files::replaceWithoutSync(csvPath, csv)) {
        reason = csvPath + ": " + wec.message();
        return false;
    }
    return true;
}

}  // namespace pressory::activity
