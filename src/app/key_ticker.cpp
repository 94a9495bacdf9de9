#include "app/key_ticker.h"

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <utility>

#include "app/settings_model.h"
#include "platform/sound_player.h"
#include "sound/sound_keys.h"
#include "widgets/count_cell.h"

namespace pressory::app {
namespace {

// Milliseconds of a monotonic clock, for the timer's pace.
std::int64_t monotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

KeyTicker::KeyTicker(platform::PlatformKeySource* source, counting::Poller& poller, counting::SoundRequests* sounds,
                     QObject* parent)
    : QObject(parent),
      source_(source),
      poller_(poller),
      sounds_(sounds),
      pace_(source != nullptr && source->wakeHandle() >= 0),
      timer_(new QTimer(this)) {
    timer_->setObjectName(QStringLiteral("Timer1"));
    // A coarse timer may fire up to 5 % early, which for a recovery write due
    // in a minute is seconds before the rule asked for it.
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &KeyTicker::tick);
}

void KeyTicker::setPressSink(activity::PressSink* sink) {
    if (source_ != nullptr) source_->setPressSink(sink);
}

void KeyTicker::setPauseChord(std::function<bool()> enabled, std::function<void()> toggled) {
    chordEnabled_ = std::move(enabled);
    chordToggled_ = std::move(toggled);
}

void KeyTicker::start() {
    poller_.fillPolledFlags();
    if (source_ == nullptr) return;  // without a key source there is nothing to poll
    if (source_->wakeHandle() >= 0) watch();
    timer_->setSingleShot(!pace_.periodic());
    applyPace(pace_.start(monotonicMs()));
}

// The watch of the source's handle, made again when the source names
// another one; off until the pace turns it on.
void KeyTicker::watch() {
    const int handle = source_->wakeHandle();
    if (wake_ != nullptr && wake_->socket() == static_cast<qintptr>(handle)) return;
    delete wake_;
    wake_ = new QSocketNotifier(static_cast<qintptr>(handle), QSocketNotifier::Read, this);
    wake_->setEnabled(false);
    connect(wake_, &QSocketNotifier::activated, this, &KeyTicker::onWake);
}

void KeyTicker::setKeysShown(bool shown) {
    keysShown_ = shown;
    if (source_ == nullptr) return;
    source_->setKeysShown(shown);
    if (wake_ == nullptr) return;
    // The source may wake the program through another handle now; what
    // arrived before the switch is read at once. Shown again, a tick paints
    // the keys that are down now.
    const qintptr before = wake_->socket();
    watch();
    if (shown || wake_->socket() != before) applyPace(pace_.woke(monotonicMs()));
}

void KeyTicker::readLast() { applyPace(pace_.closing()); }

void KeyTicker::stop() {
    timer_->stop();
    if (wake_ != nullptr) wake_->setEnabled(false);
}

void KeyTicker::tick() {
    if (source_ == nullptr) return;
    if (!std::exchange(sourceJustRead_, false)) source_->pump();
    // The left and right Ctrl keys' own codes (VK_LCONTROL, VK_RCONTROL); the
    // pause takes effect in this very tick.
    if (chordEnabled_ && chordEnabled_() &&
        chord_.update(source_->asyncKeyState(0xA2) != 0, source_->asyncKeyState(0xA3) != 0) && chordToggled_)
        chordToggled_();
    // What the tick changes is painted before it returns, not on a later
    // turn of the event loop.
    const widgets::CountCell::RepaintBatch paintNow;
    const std::span<const counting::CellChange> changes = poller_.tick(*source_, sounds_);
    if (painter_) painter_(changes, poller_.totalChanged());
    const long long due = afterTick_ ? afterTick_(poller_.totalChanged()) : -1;
    // A tap's cell goes back to the up colour 10 ms later; a window that
    // shows no cell needs no tick for it.
    applyPace(pace_.afterTick(monotonicMs(), poller_.flashing() && keysShown_, due));
}

// The source is read as soon as it wakes the program, so that its handle
// stops being readable and the watch can stay on; the tick counts it.
void KeyTicker::onWake() {
    source_->pump();
    sourceJustRead_ = true;
    applyPace(pace_.woke(monotonicMs()));
    sourceJustRead_ = false;
}

void KeyTicker::applyPace(const counting::TimerPace::Step& step) {
    if (wake_ != nullptr) wake_->setEnabled(step.watchSource);
    if (step.timer == counting::TimerPace::Timer::Start)
        timer_->start(step.timerMs);
    else if (step.timer == counting::TimerPace::Timer::Stop)
        timer_->stop();
    else if (!timer_->isActive() && pace_.dueAt() >= 0)
        // The one-shot timer that was to stand has fired already (a tick
        // before its time): it is started again for what is still due.
        timer_->start(static_cast<int>(std::max<std::int64_t>(0, pace_.dueAt() - monotonicMs())));
    if (step.tickNow) tick();
}

bool KeySounds::soundSwitch() { return settings_.isOn(Setting::Sound); }

bool KeySounds::hasSoundEntry(int vk) { return sound::hasSoundEntry(vk); }

void KeySounds::playSound(int vk) {
    if (player_ != nullptr) player_->play(settings_.record().soundPaths[static_cast<std::size_t>(vk & 0xFF)]);
}

}  // namespace pressory::app
