#include <cstdio>
#include <cstring>

#include "platform/boot_time.h"

namespace pressory::platform {

// The kernel's "btime" line of /proc/stat.
std::optional<std::int64_t> bootTime() {
    std::FILE* f = std::fopen("/proc/stat", "re");
    if (f == nullptr) return std::nullopt;
    std::optional<std::int64_t> found;
    char line[512];
    while (!found && std::fgets(line, sizeof line, f) != nullptr) {
        long long seconds = 0;
        if (std::strncmp(line, "btime ", 6) == 0 && std::sscanf(line + 6, "%lld", &seconds) == 1 && seconds > 0)
            found = seconds;
    }
    std::fclose(f);
    return found;
}

}  // namespace pressory::platform
