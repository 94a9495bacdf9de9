#include "app/period_recorder.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "counting/key_layout.h"
#include "files/replace_file.h"
#include "platform/file_access.h"
#include "platform/text_codec.h"

namespace pressory::app {

PeriodRecorder::PeriodRecorder(std::string programFolder, std::string settingsPath, const Poller& poller,
                               const settings::SettingsRecord& settings, LocalClock now,
                               std::function<Clock::time_point()> clock, std::chrono::milliseconds recoveryInterval)
    : programFolder_(std::move(programFolder)),
      settingsPath_(std::move(settingsPath)),
      historyPath_(history::historyPath(programFolder_)),
      recoveryPath_(history::recoveryPath(programFolder_)),
      poller_(poller),
      settings_(settings),
      now_(std::move(now)),
      clock_(std::move(clock)),
      rule_(clock_, recoveryInterval) {}

namespace {

// Appended, flushed, and a new file's entry in its folder synchronised.
history::WriteResult append(const std::string& path, const std::string& header, const std::string& record) {
    return history::appendRecord(path, header, record, &platform::utf8ToCp932, &platform::flushToDisk,
                                 &platform::syncFolderOf);
}

}  // namespace

std::string PeriodRecorder::recoverLeftPeriod() {
    // What a recovery write cut off by a crash left beside the file.
    files::removeTemporaries(recoveryPath_, &platform::isOwnFile);
    const history::RecoveryFile left = history::readRecoveryFile(recoveryPath_);
    switch (left.state) {
    case history::RecoveryState::Missing: return {};
    case history::RecoveryState::Unreadable: return recoveryPath_ + " を読めませんでした。\n" + left.reason;
    case history::RecoveryState::Damaged: {
        std::error_code error;
        history::moveDamagedRecoveryFile(recoveryPath_, now_({}), error);
        return {};  // kept aside under a name that says so; nothing to record
    }
    case history::RecoveryState::Found: break;
    }
    if (left.record.historySize && historySize() && *historySize() > *left.record.historySize) {
        // Recorded by the close (or a save-and-reset) of that run, which
        // ended before it could remove the file: not recorded twice.
        history::removeRecoveryFile(recoveryPath_);
        return {};
    }
    const auto codes = layout::countedCodes();
    const std::string header = history::headerLine(codes, std::string(layout::kSummaryCaption));
    const std::string record =
        history::recordLine(left.record.lastActivity, codes, left.record.counts, left.record.total);
    const history::WriteResult result = append(historyPath_, header, record);
    if (!result.ok) return result.path + " に記録できませんでした。\n" + result.reason;  // kept for the next start
    history::removeRecoveryFile(recoveryPath_);
    return {};
}

std::optional<std::uint64_t> PeriodRecorder::historySize() const {
    std::error_code error;
    const auto status = std::filesystem::status(historyPath_, error);
    if (status.type() == std::filesystem::file_type::not_found) return 0;
    if (error || !std::filesystem::is_regular_file(status)) return std::nullopt;
    const std::uintmax_t size = std::filesystem::file_size(historyPath_, error);
    if (error) return std::nullopt;
    return static_cast<std::uint64_t>(size);
}

history::RecoveryRecord PeriodRecorder::recoveryRecord() const {
    history::RecoveryRecord r;
    r.historySize = historySize();
    r.counts = poller_.counts();
    r.total = poller_.total();
    r.lastActivity = lastActivity_;
    return r;
}

bool PeriodRecorder::writeRecovery() {
    if (activitySince_) {
        lastActivity_ = now_(std::chrono::floor<std::chrono::seconds>(clock_() - *activitySince_));
        activitySince_.reset();
    }
    if (lastActivity_.year == 0) lastActivity_ = now_({});
    return history::writeRecoveryFile(recoveryPath_, recoveryRecord(), &platform::replaceWhole).ok;
}

void PeriodRecorder::afterTick(bool countsChanged) {
    // A recorded period waits for its reset or the end of the program (a
    // confirmation box may be open meanwhile): its counts are in the history
    // and must not come back from a recovery file.
    if (recorded_) return;
    if (countsChanged) {
        rule_.countsChanged();
        activitySince_ = clock_();
    }
    if (rule_.due()) rule_.wrote(writeRecovery());
}

long long PeriodRecorder::msUntilRecoveryWrite() const {
    if (recorded_) return -1;  // nothing is written until the period ends
    const auto left = rule_.dueIn();
    if (!left) return -1;
    return std::chrono::ceil<std::chrono::milliseconds>(*left).count();
}

history::WriteResult PeriodRecorder::saveHistory(std::string_view totalCaption) {
    const auto codes = layout::countedCodes();
    const std::string header = history::headerLine(codes, totalCaption);
    const std::string record = history::recordLine(now_({}), codes, poller_.counts(), poller_.total());
    history::WriteResult result = append(historyPath_, header, record);
    if (result.ok) {
        recorded_ = true;
        history::removeRecoveryFile(recoveryPath_);
    }
    return result;
}

void PeriodRecorder::periodEnded() {
    history::removeRecoveryFile(recoveryPath_);
    rule_.cleared();
    lastActivity_ = {};
    activitySince_.reset();
    recorded_ = false;
}

void PeriodRecorder::keepForNextStart(const history::WriteResult& failed) {
    const bool kept = poller_.total() == 0 || writeRecovery();
    std::fprintf(stderr, "Pressory: %s に記録できませんでした。%s\n", failed.path.c_str(), failed.reason.c_str());
    if (kept && poller_.total() != 0)
        std::fprintf(stderr, "Pressory: 回数は %s に残し、次の起動で記録します。\n", recoveryPath_.c_str());
    else if (!kept && history::readRecoveryFile(recoveryPath_).state == history::RecoveryState::Found)
        std::fprintf(stderr,
                     "Pressory: %s にも書けませんでした。次の起動では、その前回書いた分の回数だけを記録します。\n",
                     recoveryPath_.c_str());
    else if (!kept)
        std::fprintf(stderr, "Pressory: %s にも書けませんでした。この期間の回数は失われます。\n",
                     recoveryPath_.c_str());
}

bool PeriodRecorder::saveSettings() {
    const bool ok = settings::save(settingsPath_, settings_, &platform::replaceWhole);
    if (!ok) std::fprintf(stderr, "Pressory: %s に設定を書き込めませんでした。\n", settingsPath_.c_str());
    return ok;
}

void PeriodRecorder::finishWithoutWindows(std::string_view totalCaption) {
    if (closed_) return;
    closed_ = true;
    if (!recorded_) {  // the close may have recorded the period and be waiting on its box
        const history::WriteResult result = saveHistory(totalCaption);
        if (result.ok)
            periodEnded();
        else
            keepForNextStart(result);
    }
    saveSettings();
}

}  // namespace pressory::app
