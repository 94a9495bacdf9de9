#include "counting/poller.h"

namespace pressory::counting {
namespace {
constexpr bool inRange(int vk) { return vk >= 0 && vk <= 255; }
constexpr std::size_t idx(int vk) { return static_cast<std::size_t>(vk); }
constexpr std::int16_t kDownBit = static_cast<std::int16_t>(0x8000);
}  // namespace

Poller::Poller() { colours_.fill(colour::kUp); }

void Poller::fillPolledFlags() {
    for (int k = 0; k <= 255; ++k) polled_[idx(k)] = layout::isCounted(k) ? 1 : 0;
}

bool Poller::polled(int vk) const noexcept { return inRange(vk) && polled_[idx(vk)] != 0; }

std::span<const CellChange> Poller::tick(KeyStateSource& keys, SoundRequests* sound) {
    changeCount_ = 0;
    totalChanged_ = false;
    flashing_ = false;
    // A source that tells which keys moved is read for those and for the
    // keys that read non-zero last time (held, or pressed and up again: its
    // latch is cleared now); every other key would read as before. The first
    // tick reads every key.
    CodeSet visit;
    const bool knowsMoved = keys.takeMoved(visit);
    const CodeSet lastNonZero = nonZero_;
    nonZero_.clear();
    if (knowsMoved && scanned_) {
        visit.addAll(lastNonZero);
        visit.forEach([&](int k) {
            if (polled_[idx(k)] != 0) readOne(k, keys, sound);
        });
    } else {
        for (int k = 0; k <= 255; ++k)
            if (polled_[idx(k)] != 0) readOne(k, keys, sound);
    }
    scanned_ = true;
    return {changes_.data(), changeCount_};
}

void Poller::readOne(int k, KeyStateSource& keys, SoundRequests* sound) {
    const std::size_t i = idx(k);
    const KeyReading reading = keys.readKey(k);
    const std::int16_t s = reading.state;
    current_[i] = s;
    if (s != 0) nonZero_.add(k);
    // A source that counts the presses says how many began since the
    // last reading; otherwise a change from up to down is one press.
    std::int32_t presses = reading.presses;
    if (presses == KeyReading::kPressesUnknown) presses = s != 0 && previous_[i] == 0 ? 1 : 0;
    bool colourChanged = false;
    bool textChanged = false;
    if (s != 0) {
        if (colours_[i] != blinkColour_) {
            colours_[i] = blinkColour_;
            colourChanged = true;
        }
        // Pressed and already up again: shown in the blink colour until
        // the next tick.
        if ((s & kDownBit) == 0) flashing_ = true;
    } else if (colours_[i] != colour::kUp) {
        colours_[i] = colour::kUp;
        colourChanged = true;
    }
    if (presses > 0 && !paused_) {
        // New presses. Counts hold at the 32-bit limit instead of wrapping.
        if (counts_[i] < kMaxCount) {
            counts_[i] = counts_[i] > kMaxCount - presses ? kMaxCount : counts_[i] + presses;
            textChanged = true;
        }
        if (total_ < kMaxCount) {
            total_ = total_ > kMaxCount - presses ? kMaxCount : total_ + presses;
            totalChanged_ = true;
        }
        // One sound request per newly pressed key and tick.
        if (sound != nullptr) {
            const bool on = sound->soundSwitch();
            const bool entry = sound->hasSoundEntry(k);
            if (on && entry) sound->playSound(k);
        }
    }
    previous_[i] = current_[i];
    if (colourChanged || textChanged)
        changes_[changeCount_++] = CellChange{static_cast<std::uint8_t>(k), colourChanged, textChanged};
}

void Poller::resetCounts() {
    for (int k = 0; k <= 255; ++k)
        if (polled_[idx(k)] != 0) counts_[idx(k)] = 0;
    total_ = 0;
}

std::int32_t Poller::count(int vk) const noexcept { return inRange(vk) ? counts_[idx(vk)] : 0; }
std::int32_t Poller::cellColour(int vk) const noexcept { return inRange(vk) ? colours_[idx(vk)] : colour::kUp; }
std::int16_t Poller::currentState(int vk) const noexcept { return inRange(vk) ? current_[idx(vk)] : 0; }

}  // namespace pressory::counting
