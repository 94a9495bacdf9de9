// The sound path table and its rules: which paths a player should have ready,
// which paths the settings file can hold, and the OK rewrite of the 84 SOUND
// keys.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "files/replace_file.h"

namespace pressory::sound {

using PathTable = std::array<std::string, 256>;

// True when the settings file can hold the path as a value: it has no line
// break (CR or LF) and no NUL byte, which would end the value or start a new
// line and so cut the path short or corrupt the file.
bool canStorePath(std::string_view path) noexcept;

// The distinct non-empty paths of the sound keys, in ascending key order:
// what a player loads ahead so that a press only starts playback.
std::vector<std::string> pathsToLoad(const PathTable& table);

struct SaveResult {
    enum class Outcome { Written, WriteFailed, Refused };
    Outcome outcome = Outcome::Written;
    int refusedVk = -1;  // Refused: the first sound key whose path cannot be stored
};

// The OK of the sound settings: for every sound key in ascending order the
// edited path becomes the table's entry and is written as key "Key<code>" of
// section SOUND, each key replaced as profile::writeText does it (every other
// byte of the file stays), and the file is replaced once through `replace`
// (the platform's replaceWhole). Every sound key is rewritten, empty ones
// included; other entries of the table and other keys of the file are not
// touched.
// Refused when any edited path cannot be stored: then nothing is written and
// the table is unchanged. WriteFailed when the write failed; the table holds
// the new paths all the same.
SaveResult savePaths(const std::string& settingsPath, const PathTable& edits, PathTable& table,
                     const files::ReplaceFile& replace = {});

}  // namespace pressory::sound
