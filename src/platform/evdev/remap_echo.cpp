#include "platform/evdev/remap_echo.h"

namespace pressory::platform::evdev {

bool RemapEcho::isEcho(bool fromVirtual, int code, std::int64_t timeUs) {
    // Presses too old to be paired with this one, or with any later one
    // (event times of different devices may arrive a little out of order).
    std::erase_if(unpaired_, [timeUs](const Unpaired& u) {
        const std::int64_t apart = timeUs - u.timeUs;
        return apart > kPairWindowUs;
    });
    for (auto it = unpaired_.begin(); it != unpaired_.end(); ++it) {
        if (it->code != code || it->fromVirtual == fromVirtual) continue;
        const std::int64_t apart = timeUs > it->timeUs ? timeUs - it->timeUs : it->timeUs - timeUs;
        if (apart > kPairWindowUs) continue;
        unpaired_.erase(it);
        return true;
    }
    // Bounded: the keys of one half-second of fast typing.
    if (unpaired_.size() >= 64) unpaired_.erase(unpaired_.begin());
    unpaired_.push_back({code, fromVirtual, timeUs});
    return false;
}

}  // namespace pressory::platform::evdev
