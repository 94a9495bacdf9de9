#include "settings/settings.h"

#include <array>
#include <exception>
#include <limits>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

namespace pressory::settings {

namespace {

using Values = std::vector<std::optional<std::string>>;

// One key of the file and the field of the record it holds. The table is in
// the order the fields are written back at close.
struct Entry {
    std::string_view section;
    std::string_view key;
    std::variant<std::int16_t SettingsRecord::*, std::int32_t SettingsRecord::*, std::string SettingsRecord::*> field;
    std::int32_t def;
};

constexpr Entry kEntries[] = {
    {"FILE", "FileHistoryMaxRow", &SettingsRecord::fileHistoryMaxRow, kDefaultFileHistoryMaxRow},
    {"SOUND", "SoundEnable", &SettingsRecord::soundEnable, kDefaultSoundEnable},
    {"COLOR", "ColorTextBoxBlink", &SettingsRecord::colorTextBoxBlink, kDefaultColorTextBoxBlink},
    {"COLOR", "ColorBackGround", &SettingsRecord::colorBackGround, kDefaultColorBackGround},
    {"COLOR", "PictureBackGround", &SettingsRecord::pictureBackGround, 0},
    {"COLOR", "PictureEnable", &SettingsRecord::pictureEnable, kDefaultPictureEnable},
    {"COLOR", "HeatMap", &SettingsRecord::heatMap, kDefaultHeatMap},
};

constexpr std::string_view kSections[] = {"FILE", "SOUND", "COLOR"};

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

void assign(SettingsRecord& r, const Entry& e, std::optional<std::string> value) {
    struct Assign {
        SettingsRecord& r;
        const Entry& e;
        std::optional<std::string>& v;
        void operator()(std::int16_t SettingsRecord::*f) const { r.*f = as16(v, static_cast<std::int16_t>(e.def)); }
        void operator()(std::int32_t SettingsRecord::*f) const { r.*f = asInt(v, e.def); }
        void operator()(std::string SettingsRecord::*f) const { r.*f = std::move(v).value_or(""); }
    };
    std::visit(Assign{r, e, value}, e.field);
}

std::string text(const SettingsRecord& r, const Entry& e) {
    struct Text {
        const SettingsRecord& r;
        std::string operator()(std::int16_t SettingsRecord::*f) const { return std::to_string(r.*f); }
        std::string operator()(std::int32_t SettingsRecord::*f) const { return std::to_string(r.*f); }
        std::string operator()(std::string SettingsRecord::*f) const { return r.*f; }
    };
    return std::visit(Text{r}, e.field);
}

}  // namespace

std::string soundKeyName(int vk) { return "Key" + std::to_string(vk); }

// One pass over the file for each section; the sound paths are read in the
// same pass as the other keys of their section.
SettingsRecord loadSettings(const profile::ProfileDocument& file) {
    SettingsRecord r;
    for (std::string_view section : kSections) {
        std::vector<std::string> keys;
        std::vector<const Entry*> entries;
        for (const Entry& e : kEntries) {
            if (e.section != section) continue;
            keys.emplace_back(e.key);
            entries.push_back(&e);
        }
        const bool sound = section == "SOUND";
        if (sound)
            for (int k = 0; k < static_cast<int>(r.soundPaths.size()); ++k) keys.push_back(soundKeyName(k));
        Values values = file.values(section, keys);
        for (std::size_t i = 0; i < entries.size(); ++i) assign(r, *entries[i], std::move(values[i]));
        if (sound)
            for (std::size_t k = 0; k < r.soundPaths.size(); ++k)
                r.soundPaths[k] = std::move(values[entries.size() + k]).value_or("");
    }
    // Only the row limits 1 to 6 exist.
    if (r.fileHistoryMaxRow < 1 || r.fileHistoryMaxRow > 6) r.fileHistoryMaxRow = kDefaultFileHistoryMaxRow;
    return r;
}

SettingsRecord loadSettings(const std::string& path) {
    try {
        return loadSettings(profile::ProfileDocument::load(path));
    } catch (const std::exception&) {
        return {};  // every default
    }
}

bool save(const std::string& path, const SettingsRecord& record, const files::ReplaceFile& replace) {
    constexpr std::size_t n = std::size(kEntries);
    std::array<std::string, n> texts;
    std::array<profile::KeyValue, n> values;
    for (std::size_t i = 0; i < n; ++i) {
        texts[i] = text(record, kEntries[i]);
        values[i] = {kEntries[i].section, kEntries[i].key, texts[i]};
    }
    return profile::writeValues(path, values, replace);
}

}  // namespace pressory::settings
