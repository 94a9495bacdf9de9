#include <windows.h>

#include "platform/boot_time.h"

namespace pressory::platform {

// Now less the time since the start (which counts sleep and hibernation).
std::optional<std::int64_t> bootTime() {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const std::int64_t ticks = (static_cast<std::int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    constexpr std::int64_t kUnixEpochIn1601Seconds = 11644473600;
    const std::int64_t nowSeconds = ticks / 10000000 - kUnixEpochIn1601Seconds;
    return nowSeconds - static_cast<std::int64_t>(::GetTickCount64() / 1000);
}

}  // namespace pressory::platform
