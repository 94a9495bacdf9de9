// Plays the sound files of keys. Every call returns at once: loading and
// playback happen in the player's own time, and nothing is reported.
#pragma once

#include <string>
#include <vector>

namespace pressory::platform {

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;

    // Starts the sound of a file, cutting off the one still playing: one
    // sound at a time. A path that names no playable sound plays nothing.
    virtual void play(const std::string& path) = 0;

    // Stops whatever is playing.
    virtual void stopAll() = 0;

    // The paths of the sound table, loaded ahead so that a later play()
    // only starts playback; called when the table is loaded or changed.
    // Files that changed on disk since an earlier call are read again.
    virtual void preload(const std::vector<std::string>& paths) { (void)paths; }
};

}  // namespace pressory::platform
