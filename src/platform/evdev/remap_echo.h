// Key remappers (keyd, kmonad, input-remapper) read the physical keyboard
// and send what it types again through a virtual (uinput) keyboard. Usually
// they grab the physical keyboard, so that its presses reach no other reader
// and only the virtual keyboard's are seen; but while a grab is not in force
// (at the remapper's start, or when it is configured not to grab) the same
// press arrives twice, once from each device, at slightly different times
// and not necessarily overlapping. This filter pairs them: a press of a key
// on a virtual device and a press of the same key on a physical device
// within a short time of each other are one press. Two presses from devices
// of the same kind (two physical keyboards) are never paired.
#pragma once

#include <cstdint>
#include <vector>

namespace pressory::platform::evdev {

class RemapEcho {
public:
    // How far apart (in µs of the kernel's event time) the two halves of one
    // press may be: a remapper sends at once, or at the release of a
    // tap-or-hold key, within its hold time.
    static constexpr std::int64_t kPairWindowUs = 500'000;

    // A press of input code `code` at `timeUs` from a virtual device or a
    // physical one. True when it is the other half of a press seen before
    // (which then is not paired again); false when it is a press of its own.
    bool isEcho(bool fromVirtual, int code, std::int64_t timeUs);

private:
    struct Unpaired {
        int code;
        bool fromVirtual;
        std::int64_t timeUs;
    };
    std::vector<Unpaired> unpaired_;  // oldest first
};

}  // namespace pressory::platform::evdev
