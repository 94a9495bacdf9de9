// What the program promises about a working period, kept apart from the
// windows: the record appended to the history file, the settings written
// back, and meanwhile a recovery file that holds the period's counts, so
// that a period the close could not record (a crash, a power cut, the display
// going away) becomes a record at the next start. It touches no widget, so
// that it can still finish the period when the windows are already gone.
#pragma once

#include <chrono>
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
    PeriodRecorder(std::string programFolder, std::string settingsPath, const Poller& poller,
                   const settings::SettingsRecord& settings, LocalClock now,
                   std::function<Clock::time_point()> clock = &Clock::now,
                   std::chrono::milliseconds recoveryInterval = history::RecoveryWriteRule::kInterval);

    const std::string& historyPath() const { return historyPath_; }
    const std::string& recoveryPath() const { return recoveryPath_; }

    // Start-up, before counting: a recovery file left by a run that did not
    // finish becomes a history record (its counts, the time of its last
    // write) and is removed; a damaged one is moved aside. Returns a problem
    // to tell the person, or an empty text.
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
    // going away, while the confirmation box is open records nothing twice.
    history::WriteResult saveHistory(std::string_view totalCaption);

    // The period's counts went back to zero (recorded or dropped on
    // purpose), or the close has recorded them: the recovery file goes.
    void periodEnded();

    // The period could not be recorded and nobody is there to be told: the
    // counts stay in the recovery file for the next start, and the reason goes
    // to standard error.
    void keepForNextStart(const history::WriteResult& failed);

    // Writes the settings record back.
    bool saveSettings();

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

    std::string programFolder_;
    std::string settingsPath_;
    std::string historyPath_;
    std::string recoveryPath_;
    const Poller& poller_;
    const settings::SettingsRecord& settings_;
    LocalClock now_;
    std::function<Clock::time_point()> clock_;
    history::RecoveryWriteRule rule_;
    history::LocalDateTime lastActivity_{};
    // A tick changed a count since lastActivity_ was taken: when (the local
    // time is looked up only when a write needs it).
    std::optional<Clock::time_point> activitySince_;
    bool recorded_ = false;  // saveHistory succeeded and the period has not ended since
    bool closed_ = false;
};

}  // namespace pressory::app
