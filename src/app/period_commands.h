// The commands that end a working period, and the close of the program, in
// the order that puts every press into exactly one record: save-and-reset,
// the reset without saving, and the close sequence, which runs once whatever
// asks for it. They hold no widget: what they need of the windows is given as
// steps, and what a person is to be told goes back to the window as results.
#pragma once

#include <functional>

#include "app/period_recorder.h"
#include "counting/poller.h"
#include "history/history_record.h"

namespace pressory::platform {
class SoundPlayer;
}

namespace pressory::app {

// Who asked the program to end. Only a person can answer a message box; when
// the session ends or the system asks the program to stop, none is shown.
enum class CloseBy { Person, SessionEnd, Signal, ApplicationQuit };

class PeriodCommands {
public:
    // What the commands ask of the rest of the program.
    struct Steps {
        std::function<void()> countsReset;   // the counts went back to 0: shown now, before any box
        std::function<void()> readLast;      // the close reads the key source once more
        std::function<void()> stopCounting;  // the close is over: no tick, no icon
        std::function<void()> dismissBoxes;  // nobody is there to answer an open box
        std::function<void()> closeWindow;   // a person's request goes through the window's close
        std::function<void()> quit;          // ends the program
        // Tells the person how the close's record went; called only when a
        // person can answer.
        std::function<void(const history::WriteResult&)> tellRecord;
    };

    // `player` may be null (no key sounds); the others outlive the commands.
    PeriodCommands(PeriodRecorder& recorder, counting::Poller& poller, platform::SoundPlayer* player, Steps steps);

    // The record takes the counts and the reset follows at once, before the
    // result is shown: what is pressed meanwhile belongs to the new period. A
    // record that cannot be written resets nothing: the counts stay, kept in
    // the recovery file, and counting goes on on top of them.
    history::WriteResult saveAndReset();
    // The counts back to 0 without a record.
    void resetWithoutSaving();

    // Whether no box may be shown: a stop that no person asked for.
    bool quiet() const { return quiet_; }
    // Whether the close sequence has begun (and may still be running).
    bool closeBegun() const { return state_ != State::NotRun; }
    bool closeRunning() const { return state_ == State::Running; }

    // A request to end the program: runs the close sequence once (a
    // person's request through the window's close), then ends the program
    // unless it is already ending. A stop that no person asked for closes
    // the open boxes and shows none.
    void requestStop(CloseBy by);
    // The close sequence: the last reading, the record (kept for the next
    // start when it cannot be written) told, the period ended, the sounds
    // stopped, the settings written, counting stopped, the program ended.
    void runClose(CloseBy by);

private:
    enum class State { NotRun, Running, Done };
    void reset();

    PeriodRecorder& recorder_;
    counting::Poller& poller_;
    platform::SoundPlayer* player_;
    Steps steps_;
    State state_ = State::NotRun;
    bool quiet_ = false;
};

}  // namespace pressory::app
