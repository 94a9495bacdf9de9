// The sound player on Windows: the system's PlaySound, from memory, one
// sound at a time (a new sound cuts off the one still playing, as the system
// itself does). WAV files only.
//
// Each path is read once and kept, as a WAV image in the form the system's
// player takes, in a small cache keyed by path: preload() fills it from the
// sound table, and a path asked for the first time is loaded then, so that a
// press only starts playback. A path that is not a regular file of a sane
// size, or not a WAV sound, plays nothing. Without a sound device nothing
// plays; nothing blocks and nothing is reported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sound_player.h"
#include "sound/sound_cache.h"

namespace pressory::platform::win32 {

class Win32SoundPlayer final : public SoundPlayer {
public:
    // Larger files are not loaded: a WAV of 32 MB holds three minutes of CD sound.
    static constexpr std::uintmax_t kMaxFileBytes = 32u * 1024u * 1024u;
    Win32SoundPlayer();
    ~Win32SoundPlayer() override;
    Win32SoundPlayer(const Win32SoundPlayer&) = delete;
    Win32SoundPlayer& operator=(const Win32SoundPlayer&) = delete;

    void play(const std::string& path) override;
    void stopAll() override;
    void preload(const std::vector<std::string>& paths) override;

    // For tests: whether a path is cached with a playable sound.
    bool hasSound(const std::string& path) const;

private:
    sound::SoundCache<std::string> cache_;  // the WAV image of each path
    // The image being played: the system reads it while it plays.
    std::shared_ptr<const std::string> playing_;
};

}  // namespace pressory::platform::win32
