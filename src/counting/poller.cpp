#include "counting/poller.h"

namespace pressory {
namespace {
constexpr bool inRange(int vk) { return vk >= 0 && vk <= 255; }
constexpr std::size_t idx(int vk) { return static_cast<std::size_t>(vk); }
}  // namespace

Poller::Poller() { colours_.fill(colour::kUp); }

void Poller::fillPolledFlags() {
    for (int k = 0; k <= 255; ++k) polled_[idx(k)] = layout::isCounted(k) ? 1 : 0;
}

bool Poller::polled(int vk) const noexcept { return inRange(vk) && polled_[idx(vk)] != 0; }

std::span<const CellChange> Poller::tick(KeyStateSource& keys, SoundRequests* sound) {
    changeCount_ = 0;
    totalChanged_ = false;
    for (int k = 0; k <= 255; ++k) {
        const std::size_t i = idx(k);
        if (polled_[i] == 0) continue;
        const std::int16_t s = keys.asyncKeyState(k);
        current_[i] = s;
        bool colourChanged = false;
        bool textChanged = false;
        if (s != 0) {
            if (colours_[i] != blinkColour_) {
                colours_[i] = blinkColour_;
                colourChanged = true;
            }
            if (previous_[i] == 0) {
                // A new press. Counts hold at the 32-bit limit instead of wrapping.
                if (counts_[i] < kMaxCount) {
                    ++counts_[i];
                    textChanged = true;
                }
                if (total_ < kMaxCount) {
                    ++total_;
                    totalChanged_ = true;
                }
                if (sound != nullptr) {
                    const bool on = sound->soundSwitch();
                    const bool entry = sound->hasSoundEntry(k);
                    if (on && entry) sound->playSound(k);
                }
            }
        } else if (colours_[i] != colour::kUp) {
            colours_[i] = colour::kUp;
            colourChanged = true;
        }
        previous_[i] = current_[i];
        if (colourChanged || textChanged)
            changes_[changeCount_++] = CellChange{static_cast<std::uint8_t>(k), colourChanged, textChanged};
    }
    return {changes_.data(), changeCount_};
}

void Poller::resetCounts() {
    for (int k = 0; k <= 255; ++k)
        if (polled_[idx(k)] != 0) counts_[idx(k)] = 0;
    total_ = 0;
}

std::int32_t Poller::count(int vk) const noexcept { return inRange(vk) ? counts_[idx(vk)] : 0; }
std::int32_t Poller::cellColour(int vk) const noexcept {
    return inRange(vk) ? colours_[idx(vk)] : colour::kUp;
}
bool Poller::anyKeyDown() const noexcept {
    for (std::uint8_t vk : layout::countedCodes())
        if (current_[vk] != 0) return true;
    return false;
}

std::int16_t Poller::currentState(int vk) const noexcept { return inRange(vk) ? current_[idx(vk)] : 0; }
std::int16_t Poller::previousState(int vk) const noexcept { return inRange(vk) ? previous_[idx(vk)] : 0; }

}  // namespace pressory
