#include "app/period_recorder.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "counting/key_layout.h"
#include "files/file_reason.h"
#include "files/replace_file.h"
#include "platform/file_access.h"
#include "platform/file_folder.h"
#include "platform/text_codec.h"

namespace pressory::app {
namespace {
constexpr const char* kNoticeFileName = "PressoryNotice.txt";
}  // namespace

PeriodRecorder::PeriodRecorder(std::string programFolder, std::string settingsPath, const counting::Poller& poller,
                               const settings::SettingsRecord& settings, LocalClock now,
                               std::function<Clock::time_point()> clock, std::chrono::milliseconds recoveryInterval)
    : programFolder_(std::move(programFolder)),
      settingsPath_(std::move(settingsPath)),
      historyPath_(history::historyPath(programFolder_)),
      recoveryPath_(history::recoveryPath(programFolder_)),
      noticePath_(platform::pathIn(programFolder_, kNoticeFileName)),
      poller_(poller),
      settings_(settings),
      now_(std::move(now)),
      clock_(std::move(clock)),
      rule_(clock_, recoveryInterval) {}

namespace {

std::string headerLineOf(std::string_view totalCaption) {
    return history::headerLine(counting::layout::countedCodes(), totalCaption);
}

// Appended, flushed, and a new file's entry in its folder synchronised.
history::WriteResult appendToHistory(const std::string& path, const std::string& header, const std::string& record) {
    return history::appendRecord(path, header, record, &platform::utf8ToCp932, &platform::flushToDisk,
                                 &platform::syncFolderOf);
}

std::string recordLineOf(const history::RecoveryRecord& period) {
    return history::recordLine(period.lastActivity, counting::layout::countedCodes(), period.counts, period.total);
}

}  // namespace

std::string PeriodRecorder::recoverLeftPeriod() {
    // What writes cut off by a crash left beside the files.
    files::removeTemporaries(recoveryPath_, &platform::isOwnFile);
    files::removeTemporaries(noticePath_, &platform::isOwnFile);
    for (const std::string& kept : history::keptRecoveryFiles(recoveryPath_))
        files::removeTemporaries(kept, &platform::isOwnFile);
    std::vector<std::string> told;
    if (std::string notice = takeNotice(); !notice.empty()) told.push_back(std::move(notice));

    const history::RecoveryFile left = history::readRecoveryFile(recoveryPath_);
    std::error_code error;
    switch (left.state) {
    case history::RecoveryState::Missing: break;
    case history::RecoveryState::Unreadable:
        // It may hold a period: it waits under a kept name, out of the way of
        // this run's recovery file.
        if (!history::moveToKept(recoveryPath_, now_({}), error)) leftInPlace_ = now_({});
        break;
    case history::RecoveryState::Damaged:
        if (const auto aside = history::moveDamagedRecoveryFile(recoveryPath_, now_({}), error))
            told.push_back(recoveryPath_ + " は壊れていたため、" + *aside +
                           " に移しました。その期間の回数は記録できません。");
        else
            told.push_back(recoveryPath_ + " は壊れていますが、移せませんでした。\n" + files::reasonText(error));
        break;
    case history::RecoveryState::Found:
        if (left.record.historySize && historySize() && *historySize() > *left.record.historySize) {
            // Recorded by the close (or a save-and-reset) of that run, which
            // ended before it could remove the file: not recorded twice.
            history::removeRecoveryFile(recoveryPath_);
        } else if (!history::moveToKept(recoveryPath_, left.record.lastActivity, error)) {
            // It cannot wait under another name: recorded in place, or it
            // stays there and this run writes no recovery file over it.
            if (append(left.record).ok)
                history::removeRecoveryFile(recoveryPath_);
            else
                leftInPlace_ = left.record.lastActivity;
        }
        break;
    }

    const std::string why = recordWaitingPeriods();
    const std::size_t waiting = waiting_ + (leftInPlace_ ? 1 : 0);
    if (waiting > 0) {
        std::string text = "記録を待っている期間が " + std::to_string(waiting) + " 件あります。";
        if (!why.empty()) text += "\n" + why;
        text += "\n履歴に書き込めるようになったときに、それぞれ 1 件の記録として書き込みます。";
        told.push_back(std::move(text));
    }
    std::string joined;
    for (const std::string& t : told) joined += (joined.empty() ? "" : "\n\n") + t;
    return joined;
}

std::string PeriodRecorder::recordWaitingPeriods() {
    const std::string header = headerLineOf(counting::layout::kSummaryCaption);
    std::string why;
    waiting_ = 0;
    for (const std::string& path : history::keptRecoveryFiles(recoveryPath_)) {
        const history::RecoveryFile kept = history::readRecoveryFile(path);
        std::error_code error;
        if (kept.state == history::RecoveryState::Missing) continue;
        if (kept.state == history::RecoveryState::Damaged) {
            history::moveDamagedRecoveryFile(path, now_({}), error);
            continue;
        }
        ++waiting_;
        if (kept.state == history::RecoveryState::Unreadable) {
            if (why.empty()) why = path + " を読めませんでした。\n" + kept.reason;
            continue;
        }
        if (!why.empty()) continue;  // in order: none passes one that could not be recorded
        const std::string line = recordLineOf(kept.record);
        if (history::recordStandsAt(historyPath_, kept.record, line, header)) {
            // Recorded by an earlier run that ended before it removed the file.
            history::removeRecoveryFile(path);
            --waiting_;
            continue;
        }
        // The file first says where its record will stand, so that a kill
        // between the record and the removal records nothing twice.
        history::RecoveryRecord period = kept.record;
        period.historySize = historySize();
        const history::WriteResult marked =
            period.historySize ? history::writeRecoveryFile(path, period, &platform::replaceWhole)
                               : history::WriteResult{false, historyPath_, files::kReasonNotRegularFile};
        if (!marked.ok) {
            why = marked.path + " に書き込めませんでした。\n" + marked.reason;
            continue;
        }
        const history::WriteResult result = append(period);
        if (!result.ok) {
            why = result.path + " に記録できませんでした。\n" + result.reason;
            continue;
        }
        history::removeRecoveryFile(path);
        --waiting_;
    }
    return why;
}

history::WriteResult PeriodRecorder::append(const history::RecoveryRecord& period) {
    return appendToHistory(historyPath_, headerLineOf(counting::layout::kSummaryCaption), recordLineOf(period));
}

bool PeriodRecorder::leftPeriodMoved() {
    if (!leftInPlace_) return true;
    std::error_code error;
    if (!history::moveToKept(recoveryPath_, *leftInPlace_, error)) return false;
    leftInPlace_.reset();
    ++waiting_;
    return true;
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
    if (!leftPeriodMoved()) return false;  // never over a period that waits to be recorded
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
    // Whatever nests (a stop request while a box is open), a period is
    // appended once.
    if (recorded_) return recordedResult_;
    const auto codes = counting::layout::countedCodes();
    const std::string header = history::headerLine(codes, totalCaption);
    const std::string record = history::recordLine(now_({}), codes, poller_.counts(), poller_.total());
    history::WriteResult result = appendToHistory(historyPath_, header, record);
    if (!result.ok) return result;
    recorded_ = true;
    recordedResult_ = result;
    // A left period that could not be moved aside still has the recovery
    // file's path: that file is not this period's.
    if (!leftInPlace_) history::removeRecoveryFile(recoveryPath_);
    // The history can be written again: what earlier runs kept goes in now,
    // after this period's record, whose file is gone.
    if (waiting_ > 0) recordWaitingPeriods();
    if (leftInPlace_ && leftPeriodMoved()) recordWaitingPeriods();
    return result;
}

void PeriodRecorder::periodEnded() {
    if (!leftInPlace_) history::removeRecoveryFile(recoveryPath_);
    rule_.cleared();
    lastActivity_ = {};
    activitySince_.reset();
    recorded_ = false;
}

bool PeriodRecorder::keepUnrecorded(const history::WriteResult& failed, bool quietly) {
    const bool kept = poller_.total() == 0 || writeRecovery();
    if (kept) rule_.wrote(true);
    if (!quietly) return kept;
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
    return kept;
}

bool PeriodRecorder::saveSettings() {
    const bool ok = settings::save(settingsPath_, settings_, &platform::replaceWhole);
    if (!ok) {
        const std::string text =
            settingsPath_ + " に設定を書き込めませんでした。前回の終了時の設定は保存されていません。";
        std::fprintf(stderr, "Pressory: %s\n", text.c_str());
        tellNextStart(text);
    }
    return ok;
}

void PeriodRecorder::tellNextStart(const std::string& text) { platform::replaceWhole(noticePath_, text); }

std::string PeriodRecorder::takeNotice() {
    std::FILE* f = std::fopen(noticePath_.c_str(), "rb");
    if (f == nullptr) return {};
    std::string text;
    char buf[4096];
    for (std::size_t n = 0; text.size() < 64 * 1024 && (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        text.append(buf, n);
    std::fclose(f);
    std::error_code error;
    std::filesystem::remove(noticePath_, error);  // told once
    return text;
}

void PeriodRecorder::finishWithoutWindows(std::string_view totalCaption) {
    if (closed_) return;
    closed_ = true;
    if (!recorded_) {  // the close may have recorded the period and be waiting on its box
        const history::WriteResult result = saveHistory(totalCaption);
        if (result.ok)
            periodEnded();
        else
            keepUnrecorded(result, true);
    }
    saveSettings();
}

}  // namespace pressory::app
