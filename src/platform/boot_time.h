// When the system last started, for telling a lock left before that start
// from one taken since.
#pragma once

#include <cstdint>
#include <optional>

namespace pressory::platform {

// The wall-clock time of the system's last start, in seconds since
// 1970-01-01 UTC; nothing when the system does not say. It follows the
// system clock: a clock set forward after the start moves it forward too.
std::optional<std::int64_t> bootTime();

}  // namespace pressory::platform
