#include "settings/settings.h"

#include <exception>
#include <limits>

namespace pressory::settings {

namespace {

// A 16-bit field whose value does not fit takes its default; the rest of the
// record is not affected.
std::int16_t read16(const profile::ProfileDocument& file, const char* section, const char* key,
                    std::int16_t def) {
    const std::int32_t v = file.readInt(section, key, def);
    if (v < std::numeric_limits<std::int16_t>::min() || v > std::numeric_limits<std::int16_t>::max()) return def;
    return static_cast<std::int16_t>(v);
}

}  // namespace

std::string soundKeyName(int vk) { return "Key" + std::to_string(vk); }

SettingsRecord loadSettings(const profile::ProfileDocument& file) {
    SettingsRecord r;
    r.fileHistoryMaxRow = read16(file, "FILE", "FileHistoryMaxRow", kDefaultFileHistoryMaxRow);
    // Only the row limits 1 to 6 exist.
    if (r.fileHistoryMaxRow < 1 || r.fileHistoryMaxRow > 6) r.fileHistoryMaxRow = kDefaultFileHistoryMaxRow;
    r.soundEnable = read16(file, "SOUND", "SoundEnable", kDefaultSoundEnable);
    for (int k = 0; k < static_cast<int>(r.soundPaths.size()); ++k)
        r.soundPaths[static_cast<std::size_t>(k)] = file.readText("SOUND", soundKeyName(k));
    r.colorTextBoxBlink = file.readInt("COLOR", "ColorTextBoxBlink", kDefaultColorTextBoxBlink);
    r.colorBackGround = file.readInt("COLOR", "ColorBackGround", kDefaultColorBackGround);
    r.pictureEnable = read16(file, "COLOR", "PictureEnable", kDefaultPictureEnable);
    r.pictureBackGround = file.readText("COLOR", "PictureBackGround");
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
