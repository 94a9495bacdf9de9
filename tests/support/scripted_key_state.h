// A key-state source driven by a script: the tests' source. A key set down
// reads non-zero until it is set up; a tap reads non-zero once at the next
// reading even though the key is already up again (the "pressed since the
// last reading" bit).
#pragma once

#include <array>
#include <cstdint>

#include "counting/key_state.h"

namespace pressory::platform {

class ScriptedKeyState final : public KeyStateSource {
public:
    void down(int vk) { state(vk) = static_cast<std::int16_t>(0x8000); latched(vk) = true; }
    void up(int vk) { state(vk) = 0; }
    // Pressed and released between two readings.
    void tap(int vk) { latched(vk) = true; }
    void set(int vk, std::int16_t raw) { state(vk) = raw; }
    void releaseAll() { down_.fill(0); }

    std::int16_t asyncKeyState(int vk) override {
        if (vk < 0 || vk > 255) return 0;
        ++reads_[static_cast<std::size_t>(vk)];
        std::int16_t s = down_[static_cast<std::size_t>(vk)];
        if (latch_[static_cast<std::size_t>(vk)]) {
            s = static_cast<std::int16_t>(s | 1);
            latch_[static_cast<std::size_t>(vk)] = false;
        }
        return s;
    }
    int reads(int vk) const { return reads_[static_cast<std::size_t>(vk)]; }

private:
    std::int16_t& state(int vk) { return down_[static_cast<std::size_t>(vk & 0xFF)]; }
    bool& latched(int vk) { return latch_[static_cast<std::size_t>(vk & 0xFF)]; }
    std::array<std::int16_t, 256> down_{};
    std::array<bool, 256> latch_{};
    std::array<int, 256> reads_{};
};

}  // namespace pressory::platform
