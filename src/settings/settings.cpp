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

// One key of the file, the field of the record it holds, its default and
// the values a number may take (a value outside them reads as the default).
// The table is in the order the fields are written back at close.
struct Entry {
    std::string_view section;
    std::string_view key;
    std::variant<std::int16_t SettingsRecord::*, std::int32_t SettingsRecord::*, std::string SettingsRecord::*> field;
    std::int32_t def = 0;
    std::int32_t least = std::numeric_limits<std::int16_t>::min();
    std::int32_t most = std::numeric_limits<std::int16_t>::max();
    // Written only when not at its default or already in the file.
    bool onlyWhenSet = false;
};

constexpr std::int32_t kInt32Least = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kInt32Most = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kInt16Least = std::numeric_limits<std::int16_t>::min();
constexpr std::int32_t kInt16Most = std::numeric_limits<std::int16_t>::max();

constexpr Entry kEntries[] = {
    {"FILE", "FileHistoryMaxRow", &SettingsRecord::fileHistoryMaxRow, 1, 1, 6},  // the six row limits
    {"SOUND", "SoundEnable", &SettingsRecord::soundEnable, 0},
    {"COLOR", "ColorTextBoxBlink", &SettingsRecord::colorTextBoxBlink, 255, kInt32Least, kInt32Most},  // red
    {"COLOR", "ColorBackGround", &SettingsRecord::colorBackGround, static_cast<std::int32_t>(0x8000000Fu), kInt32Least,
     kInt32Most},  // the system's button face
    {"COLOR", "PictureBackGround", &SettingsRecord::pictureBackGround},
    {"COLOR", "PictureEnable", &SettingsRecord::pictureEnable, 0},
    {"COLOR", "HeatMap", &SettingsRecord::heatMap, 0},
    {"ACTIVITY", "PerApp", &SettingsRecord::activityPerApp, -1, kInt16Least, kInt16Most, true},
    {"ACTIVITY", "NeverRecord", &SettingsRecord::activityNeverApps, 0, kInt16Least, kInt16Most, true},
    {"ACTIVITY", "PauseChord", &SettingsRecord::pauseChord, 0, kInt16Least, kInt16Most, true},
    {"ACTIVITY", "KeepPause", &SettingsRecord::keepPause, 0, kInt16Least, kInt16Most, true},
    {"ACTIVITY", "Paused", &SettingsRecord::paused, 0, kInt16Least, kInt16Most, true},
};

constexpr std::string_view kSections[] = {"FILE", "SOUND", "COLOR", "ACTIVITY"};

// A number the key may take, else the key's default; the rest of the record
// is not affected.
std::int32_t numberOf(const std::optional<std::string>& v, const Entry& e) {
    const std::int32_t n = v ? profile::parseProfileInt(*v, e.def) : e.def;
    return n < e.least || n > e.most ? e.def : n;
}

void assign(SettingsRecord& r, const Entry& e, std::optional<std::string> value) {
    struct Assign {
        SettingsRecord& r;
        const Entry& e;
        std::optional<std::string>& v;
        void operator()(std::int16_t SettingsRecord::*f) const { r.*f = static_cast<std::int16_t>(numberOf(v, e)); }
        void operator()(std::int32_t SettingsRecord::*f) const { r.*f = numberOf(v, e); }
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

SettingsRecord::SettingsRecord() {
    for (const Entry& e : kEntries) assign(*this, e, std::nullopt);
}

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
    if (r.keepPause == 0) r.paused = 0;  // counting resumes at the start
    return r;
}

SettingsRecord loadSettings(const std::string& path) {
    try {
        return loadSettings(profile::ProfileDocument::load(path));
    } catch (const std::exception&) {
        return {};  // every default
    }
}

bool save(const std::string& path, const SettingsRecord& given, const files::ReplaceFile& replace) {
    SettingsRecord record = given;
    if (record.keepPause == 0) record.paused = 0;  // a pause not to keep ends with the program
    const SettingsRecord defaults;
    std::optional<profile::ProfileDocument> file;  // read only when a key may be left out
    constexpr std::size_t n = std::size(kEntries);
    std::array<std::string, n> texts;
    std::vector<profile::KeyValue> values;
    values.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Entry& e = kEntries[i];
        texts[i] = text(record, e);
        if (e.onlyWhenSet && texts[i] == text(defaults, e)) {
            if (!file) file = profile::ProfileDocument::load(path);
            if (!file->value(e.section, e.key)) continue;
        }
        values.push_back({e.section, e.key, texts[i]});
    }
    return profile::writeValues(path, values, replace);
}

}  // namespace pressory::settings
