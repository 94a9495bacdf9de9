// What the program promises about a working period, kept apart from the
// windows: the record appended to the history file, the settings written
// back, and meanwhile a recovery file that holds the period's counts, so
// that a period the close could not record (a crash, a power cut, the display
// going away) becomes a record at the next start. It touches no widget, so
// that it can still finish the period when the windows are already gone.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "counting/poller.h"
#include "history/history_record.h"
#include "history/recovery_record.h"
#include "settings/settings.h"

namespace pressory::app {

class PeriodRecorder {
public:
    // The local date and time `ago` before now.
    using LocalClock = std::function<history::LocalDateTime(std::chrono::seconds ago)>;
    using Clock = history::RecoveryWriteRule::Clock;

    // `poller` holds the counts, `settings` the values written back at the
    // end; both outlive the recorder. `now` gives the local date and time;
    // `clock` and `recoveryInterval` time the recovery writes.
    PeriodRecorder(std::string programFolder, std::string settingsPath, const counting::Poller& poller,
                   const settings::SettingsRecord& settings, LocalClock now,
                   std::function<Clock::time_point()> clock = &Clock::now,
                   std::chrono::milliseconds recoveryInterval = history::RecoveryWriteRule::kInterval);

    const std::string& historyPath() const { return historyPath_; }
    const std::string& recoveryPath() const { return recoveryPath_; }

    // Start-up, before counting: a recovery file left by a run that did not
    // finish, and every period kept waiting by earlier runs, become history
    // records (their counts, the time of their last activity), oldest first,
    // each exactly once. What cannot be recorded yet keeps waiting, however
    // many runs it takes; a damaged file is moved aside. Returns what to tell
    // the person (how many periods wait and why, a file moved aside, a
    // settings write that failed at the last close), or an empty text.
    std::string recoverLeftPeriod();

    // After every tick: keeps the recovery file up to date, at most once a
    // minute and only when a count changed.
    void afterTick(bool countsChanged);
    // Milliseconds until afterTick() would write the recovery file, when a
    // count changed since the last write; -1 otherwise. A timer that only
    // ticks on key events asks for a tick then.
    long long msUntilRecoveryWrite() const;

    // Appends the record of the counts now; `totalCaption` names the total's
    // column of the header. Once recorded, the period's recovery file goes
    // and no new one is written until periodEnded(): a kill, or the display
    // going away, while the confirmation box is open records nothing twice,
    // and a second call before periodEnded() appends nothing. After a
    // record, periods kept waiting by earlier runs are recorded too.
    history::WriteResult saveHistory(std::string_view totalCaption);

    // The period's counts went back to zero (recorded or dropped on
    // purpose), or the close has recorded them: the recovery file goes.
    void periodEnded();

    // The period could not be recorded: its counts go to the recovery file at
    // once (counting goes on on top of them; the next record, or the next
    // start, records them). With `quietly`, nobody is there to be told, and
    // the reason goes to standard error. False when they could not be kept.
    bool keepUnrecorded(const history::WriteResult& failed, bool quietly);

    // Writes the settings record back. A failure is told at the next start.
    bool saveSettings();

    // Periods kept waiting by earlier runs that are not recorded yet.
    std::size_t periodsWaiting() const { return waiting_; }

    // The close sequence without windows (the display went away): record the
    // period quietly, unless it is recorded already, and write the settings;
    // nothing when the close has run.
    void finishWithoutWindows(std::string_view totalCaption);
    void markClosed() { closed_ = true; }
    bool closed() const { return closed_; }

private:
    // The history file's size; 0 when there is none, nothing when it is not a
    // regular file or cannot be looked at.
    std::optional<std::uint64_t> historySize() const;
    history::RecoveryRecord recoveryRecord() const;
    bool writeRecovery();
    history::WriteResult append(const history::RecoveryRecord& period);
    // Records the waiting periods, oldest first, until one cannot be
    // recorded; counts what still waits. Returns why the first one that
    // could not be recorded was not.
    std::string recordWaitingPeriods();
    // The recovery file left at start that could not be recorded nor moved
    // to a kept name: moved now, so that this run's recovery file does not
    // take its place. False while it stays.
    bool leftPeriodMoved();
    void tellNextStart(const std::string& text);
    std::string takeNotice();

    std::string programFolder_;
    std::string settingsPath_;
    std::string historyPath_;
    std::string recoveryPath_;
    std::string noticePath_;  // what the next start tells the person
    const counting::Poller& poller_;
    const settings::SettingsRecord& settings_;
    LocalClock now_;
    std::function<Clock::time_point()> clock_;
    history::RecoveryWriteRule rule_;
    history::LocalDateTime lastActivity_{};
    // A tick changed a count since lastActivity_ was taken: when (the local
    // time is looked up only when a write needs it).
    std::optional<Clock::time_point> activitySince_;
    bool recorded_ = false;  // saveHistory succeeded and the period has not ended since
    history::WriteResult recordedResult_;
    bool closed_ = false;
    std::size_t waiting_ = 0;  // periods of earlier runs kept waiting
    // A left period at the recovery file's own path that could not be
    // recorded nor moved aside yet: when it was last active.
    std::optional<history::LocalDateTime> leftInPlace_;
};

}  // namespace pressory::app
