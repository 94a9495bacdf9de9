#include "settings/settings.h"

#include <exception>
#include <limits>
#include <optional>
#include <vector>

namespace pressory::settings {

namespace {

using Values = std::vector<std::optional<std::string>>;

std::int32_t asInt(const std::optional<std::string>& v, std::int32_t def) {
    return v ? profile::parseProfileInt(*v, def) : def;
}

// A 16-bit field whose value does not fit takes its default; the rest of the
// record is not affected.
std::int16_t as16(const std::optional<std::string>& v, std::int16_t def) {
    const std::int32_t n = asInt(v, def);
    if (n < std::numeric_limits<std::int16_t>::min() || n > std::numeric_limits<std::int16_t>::max()) return def;
    return static_cast<std::int16_t>(n);
}

}  // namespace

std::string soundKeyName(int vk) { return "Key" + std::to_string(vk); }

// One pass over the file for each section.
SettingsRecord loadSettings(const profile::ProfileDocument& file) {
    SettingsRecord r;
    r.fileHistoryMaxRow = as16(file.value("FILE", "FileHistoryMaxRow"), kDefaultFileHistoryMaxRow);
    // Only the row limits 1 to 6 exist.
    if (r.fileHistoryMaxRow < 1 || r.fileHistoryMaxRow > 6) r.fileHistoryMaxRow = kDefaultFileHistoryMaxRow;

    std::vector<std::string> soundKeys;
    for (int k = 0; k < static_cast<int>(r.soundPaths.size()); ++k) soundKeys.push_back(soundKeyName(k));
    soundKeys.emplace_back("SoundEnable");
    Values sound = file.values("SOUND", soundKeys);
    for (std::size_t k = 0; k < r.soundPaths.size(); ++k) r.soundPaths[k] = std::move(sound[k]).value_or("");
    r.soundEnable = as16(sound.back(), kDefaultSoundEnable);

    const std::string colorKeys[] = {"ColorTextBoxBlink", "ColorBackGround", "PictureEnable", "PictureBackGround"};
    Values color = file.values("COLOR", colorKeys);
    r.colorTextBoxBlink = asInt(color[0], kDefaultColorTextBoxBlink);
    r.colorBackGround = asInt(color[1], kDefaultColorBackGround);
    r.pictureEnable = as16(color[2], kDefaultPictureEnable);
    r.pictureBackGround = std::move(color[3]).value_or("");
    return r;
}

SettingsRecord loadSettings(const std::string& path) {
    try {
        return loadSettings(profile::ProfileDocument::load(path));
    } catch (const std::exception&) {
        return {};   // every default
    }
}

}  // namespace pressory::settings
