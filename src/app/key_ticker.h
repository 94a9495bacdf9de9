// The key ticker: runs the poller's ticks on the key source at the timer's
// pace. With a source that only can be polled, Timer1 ticks every 10 ms; with
// one that wakes the program, a tick runs when it has delivered something (at
// most once per 10 ms), when a tapped key's cell goes back to the up colour,
// and when a pending write asks for one. After each tick it reports what
// changed; it paints nothing itself.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "activity/pause_chord.h"
#include "activity/press_sink.h"
#include "counting/poller.h"
#include "counting/timer_pace.h"
#include "platform/key_source.h"

class QSocketNotifier;
class QTimer;

namespace pressory::platform {
class SoundPlayer;
}

namespace pressory::app {

class SettingsModel;

class KeyTicker final : public QObject {
    Q_OBJECT
public:
    // After every tick: the cells whose colour or text changed, and whether the total did.
    using Painter = std::function<void(std::span<const counting::CellChange> changes, bool totalChanged)>;
    // After every tick, given whether a count changed: in how many ms a tick is
    // needed even without a key event (a pending write), -1 for none.
    using AfterTick = std::function<long long(bool countsChanged)>;

    // `source` (null: nothing is counted), `poller` and `sounds` outlive the ticker.
    KeyTicker(platform::PlatformKeySource* source, counting::Poller& poller, counting::SoundRequests* sounds,
              QObject* parent);

    void setPainter(Painter painter) { painter_ = std::move(painter); }
    void setAfterTick(AfterTick afterTick) { afterTick_ = std::move(afterTick); }

    // Where the source reports every press by key name (null: nowhere).
    void setPressSink(activity::PressSink* sink);
    // Both Ctrl keys going down together call `toggled`, while `enabled` says so.
    void setPauseChord(std::function<bool()> enabled, std::function<void()> toggled);

    // Counting begins: the polled flags, the watch of the source, the first tick.
    void start();
    // Whether the window shows the keys (full mode). The source is told;
    // shown again, a tick paints the keys that are down now. While the keys
    // are not shown, a tap asks for no tick to paint its return.
    void setKeysShown(bool shown);
    // The close: one last reading of what the source has received.
    void readLast();
    // No tick and no watch any more.
    void stop();

private:
    void tick();
    void onWake();
    void watch();
    void applyPace(const counting::TimerPace::Step& step);

    platform::PlatformKeySource* source_;
    counting::Poller& poller_;
    counting::SoundRequests* sounds_;
    counting::TimerPace pace_;
    QTimer* timer_;
    QSocketNotifier* wake_ = nullptr;
    Painter painter_;
    AfterTick afterTick_;
    std::function<bool()> chordEnabled_;
    std::function<void()> chordToggled_;
    activity::PauseChord chord_;
    bool keysShown_ = true;
    bool sourceJustRead_ = false;  // a wake read the source and ticks at once: the tick reads nothing new
};

// The poller's questions on a new press: the sound switch of the settings,
// whether the key can have a sound, and the request to play the key's file.
class KeySounds final : public counting::SoundRequests {
public:
    KeySounds(const SettingsModel& settings, platform::SoundPlayer* player) : settings_(settings), player_(player) {}
    bool soundSwitch() override;
    bool hasSoundEntry(int vk) override;
    void playSound(int vk) override;

private:
    const SettingsModel& settings_;
    platform::SoundPlayer* player_;  // null: no key sounds
};

}  // namespace pressory::app
