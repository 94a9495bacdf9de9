// A key-state source driven by a script: the tests' source. A key set down
// reads non-zero until it is set up; a tap reads non-zero once at the next
// reading even though the key is already up again (the "pressed since the
// last reading" bit).
//
// By default it knows only the state, as a polled source does. Made with
// Presses::Counted it also counts the presses that began since each code's
// last reading, as the event-fed sources do: every down() of a key that is
// up, and every tap(). Made with Presses::CountedAndMoved it also tells the
// poller which keys went down or up since it last asked, as the event-fed
// sources do.
#pragma once

#include <array>
#include <cstdint>

#include "counting/key_state.h"

namespace pressory::platform {

class ScriptedKeyState final : public counting::KeyStateSource {
public:
    enum class Presses { Unknown, Counted, CountedAndMoved };
    explicit ScriptedKeyState(Presses presses = Presses::Unknown)
        : counted_(presses != Presses::Unknown), tellsMoved_(presses == Presses::CountedAndMoved) {}

    void down(int vk) {
        if (state(vk) == 0) ++pressed(vk);
        state(vk) = static_cast<std::int16_t>(0x8000);
        latched(vk) = true;
        moved_.add(vk);
    }
    void up(int vk) {
        state(vk) = 0;
        moved_.add(vk);
    }
    // Pressed and released between two readings.
    void tap(int vk) {
        latched(vk) = true;
        ++pressed(vk);
        moved_.add(vk);
    }
    void set(int vk, std::int16_t raw) {
        state(vk) = raw;
        moved_.add(vk);
    }
    void releaseAll() {
        for (int vk = 0; vk <= 255; ++vk)
            if (state(vk) != 0) up(vk);
    }

    std::int16_t asyncKeyState(int vk) override { return readKey(vk).state; }
    counting::KeyReading readKey(int vk) override {
        if (vk < 0 || vk > 255) return {0, counted_ ? 0 : counting::KeyReading::kPressesUnknown};
        const auto i = static_cast<std::size_t>(vk);
        ++reads_[i];
        std::int16_t s = down_[i];
        if (latch_[i]) {
            s = static_cast<std::int16_t>(s | 1);
            latch_[i] = false;
        }
        const std::int32_t n = presses_[i];
        presses_[i] = 0;
        return {s, counted_ ? n : counting::KeyReading::kPressesUnknown};
    }
    bool takeMoved(counting::CodeSet& moved) override {
        if (!tellsMoved_) return false;
        moved.addAll(moved_);
        moved_.clear();
        return true;
    }
    int reads(int vk) const { return reads_[static_cast<std::size_t>(vk)]; }
    bool countsPresses() const { return counted_; }

private:
    std::int16_t& state(int vk) { return down_[static_cast<std::size_t>(vk & 0xFF)]; }
    bool& latched(int vk) { return latch_[static_cast<std::size_t>(vk & 0xFF)]; }
    std::int32_t& pressed(int vk) { return presses_[static_cast<std::size_t>(vk & 0xFF)]; }
    bool counted_;
    bool tellsMoved_;
    counting::CodeSet moved_;
    std::array<std::int16_t, 256> down_{};
    std::array<bool, 256> latch_{};
    std::array<std::int32_t, 256> presses_{};
    std::array<int, 256> reads_{};
};

}  // namespace pressory::platform
