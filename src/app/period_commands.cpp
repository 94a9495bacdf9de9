#include "app/period_commands.h"

#include <utility>

#include "counting/key_layout.h"
#include "platform/sound_player.h"

namespace pressory::app {

PeriodCommands::PeriodCommands(PeriodRecorder& recorder, counting::Poller& poller, platform::SoundPlayer* player,
                               Steps steps)
    : recorder_(recorder), poller_(poller), player_(player), steps_(std::move(steps)) {}

void PeriodCommands::reset() {
    poller_.resetCounts();
    steps_.countsReset();
}

history::WriteResult PeriodCommands::saveAndReset() {
    const history::WriteResult result = recorder_.saveHistory(counting::layout::kSummaryCaption);
    if (result.ok) {
        reset();
        recorder_.periodEnded();
    } else {
        recorder_.keepUnrecorded(result, false);
    }
    return result;
}

void PeriodCommands::resetWithoutSaving() {
    reset();
    recorder_.periodEnded();
}

void PeriodCommands::requestStop(CloseBy by) {
    if (by != CloseBy::Person) {
        // Nobody will answer a box now, and an open one would hold the sequence up.
        quiet_ = true;
        steps_.dismissBoxes();
    }
    if (state_ == State::Done && by != CloseBy::ApplicationQuit) {
        steps_.quit();  // recorded and written already: a further request only ends the program
        return;
    }
    if (state_ != State::NotRun) return;
    if (by == CloseBy::Person) {
        steps_.closeWindow();
        return;
    }
    runClose(by);
}

void PeriodCommands::runClose(CloseBy by) {
    state_ = State::Running;
    if (by != CloseBy::Person) quiet_ = true;
    steps_.readLast();  // what the key source has received so far is part of the record
    const history::WriteResult recorded = recorder_.saveHistory(counting::layout::kSummaryCaption);
    // Kept before the box is shown: a kill while it is open loses nothing.
    if (!recorded.ok) recorder_.keepUnrecorded(recorded, quiet_);  // recorded at the next start
    if (!quiet_) steps_.tellRecord(recorded);
    if (recorded.ok) recorder_.periodEnded();
    recorder_.markClosed();
    if (player_ != nullptr) player_->stopAll();
    recorder_.saveSettings();
    steps_.stopCounting();
    state_ = State::Done;
    if (by != CloseBy::ApplicationQuit) steps_.quit();
}

}  // namespace pressory::app
