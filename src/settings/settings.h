// The settings record: the in-memory copy of Pressory.ini, loaded once at start-up.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "settings/profile_file.h"

namespace pressory::settings {

inline constexpr const char* kFileName = "Pressory.ini";

// The settings of the file. Each key's default and the values it may take
// are given once, in the key table of settings.cpp; a new record holds the
// defaults.
struct SettingsRecord {
    SettingsRecord();

    std::int16_t fileHistoryMaxRow;             // 1..6
    std::int16_t soundEnable;                   // the key sounds: non-zero on
    std::array<std::string, 256> soundPaths{};  // SOUND/Key0..Key255, whole
    std::int32_t colorTextBoxBlink;
    std::int32_t colorBackGround;
    std::int16_t pictureEnable;
    std::string pictureBackGround;
    std::int16_t heatMap;  // the main window's heat tint: -1 on, 0 off

    // Section ACTIVITY (the activity database and the pause). A key at its
    // default is written only when the file has it already, so that the
    // file of someone who never changes them stays as it was.
    std::int16_t activityPerApp;    // PerApp: presses recorded per application (-1, default) or all as unknown (0)
    std::string activityNeverApps;  // NeverRecord: applications never recorded by name, separated by '|'
    std::int16_t pauseChord;        // PauseChord: both Ctrl keys together toggle the pause (default 0: off)
    std::int16_t keepPause;         // KeepPause: a pause lasts over a restart (default 0: counting resumes)
    std::int16_t paused;            // Paused: the pause at the close; read and written only with KeepPause
};

// Loads the record from the settings file at `path` (the platform's narrow
// encoding). A missing or unreadable file gives every default. A number
// outside the values its key may take (a 16-bit field that does not fit, a
// FileHistoryMaxRow outside 1..6) takes its default while every other field
// loads as usual. Never fails.
SettingsRecord loadSettings(const std::string& path);

// The same from a file already read.
SettingsRecord loadSettings(const profile::ProfileDocument& file);

// Writes the settings of the record back, each key replaced as
// profile::writeText does it (every other byte of the file stays as it was),
// in this order: FILE/FileHistoryMaxRow, SOUND/SoundEnable,
// COLOR/ColorTextBoxBlink, COLOR/ColorBackGround, COLOR/PictureBackGround,
// COLOR/PictureEnable, COLOR/HeatMap, then the keys of section ACTIVITY
// (see the record). (A file without HeatMap reads it as off; programs that
// do not know the key leave it alone.) The file is
// replaced once, through `replace` (the platform's replaceWhole), so that it
// holds the old settings or the new ones, never a mix. A value that cannot be
// stored does not stop the others; returns false when any could not be
// stored or the file could not be written. The sound paths are not written
// here.
bool save(const std::string& path, const SettingsRecord& record, const files::ReplaceFile& replace = {});

// The key name of a sound entry: "Key" followed by the code in decimal.
std::string soundKeyName(int vk);

}  // namespace pressory::settings
