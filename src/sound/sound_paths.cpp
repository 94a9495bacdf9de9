#include "sound/sound_paths.h"

#include <algorithm>

#include "settings/profile_file.h"
#include "settings/settings.h"
#include "sound/sound_keys.h"

namespace pressory::sound {

bool canStorePath(std::string_view path) noexcept {
    return path.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::vector<std::string> pathsToLoad(const PathTable& table) {
    std::vector<std::string> paths;
    for (int vk = 0; vk < static_cast<int>(table.size()); ++vk) {
        const std::string& p = table[static_cast<std::size_t>(vk)];
        if (!hasSoundEntry(vk) || p.empty()) continue;
        if (std::find(paths.begin(), paths.end(), p) == paths.end()) paths.push_back(p);
    }
    return paths;
}

SaveResult savePaths(const std::string& settingsPath, const PathTable& edits, PathTable& table,
                     const files::ReplaceFile& replace) {
    for (int vk = 0; vk < static_cast<int>(edits.size()); ++vk) {
        if (hasSoundEntry(vk) && !canStorePath(edits[static_cast<std::size_t>(vk)]))
            return {SaveResult::Outcome::Refused, vk};
    }
    std::vector<std::string> names;
    names.reserve(edits.size());  // the values below point into these names: they must not move
    std::vector<settings::profile::KeyValue> values;
    for (int vk = 0; vk < static_cast<int>(edits.size()); ++vk) {
        if (!hasSoundEntry(vk)) continue;
        const auto i = static_cast<std::size_t>(vk);
        table[i] = edits[i];
        names.push_back(settings::soundKeyName(vk));
        values.push_back({"SOUND", names.back(), edits[i]});
    }
    const bool written = settings::profile::writeValues(settingsPath, values, replace);
    return {written ? SaveResult::Outcome::Written : SaveResult::Outcome::WriteFailed, -1};
}

}  // namespace pressory::sound
