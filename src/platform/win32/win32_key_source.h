// The key state on Windows: the system's own asynchronous key-state query.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>

#include "platform/key_source.h"

namespace pressory::platform::win32 {

class Win32KeySource final : public PlatformKeySource {
public:
    // The query of one virtual-key code, as GetAsyncKeyState answers it
    // (bit 15: down; bit 0: pressed since the previous query).
    using Query = std::int16_t (*)(int vk);

    // `query`: null for the system's own.
    explicit Win32KeySource(Query query = nullptr);

    std::int16_t asyncKeyState(int vk) override;
    // With a press sink: reads every code once, gives the sink the presses
    // that began since the previous pump (a code that went down, or was
    // pressed and released in between; a key still down is no new press,
    // whatever its auto-repeat), and keeps the readings for the poller, whose
    // next reading of each code is this one, so that the "pressed since"
    // bit it relies on is not lost to the extra query. Without a sink it
    // does nothing. The wheel cannot be queried: its steps are not seen here.
    void pump() override;
    void setPressSink(activity::PressSink* sink) override;

private:
    Query query_;
    activity::PressSink* sink_ = nullptr;
    std::array<std::int16_t, 256> reading_{};  // what pump() read
    std::bitset<256> unread_;                  // readings the poller has not had yet
    std::bitset<256> down_;                    // down at the previous pump
};

}  // namespace pressory::platform::win32
