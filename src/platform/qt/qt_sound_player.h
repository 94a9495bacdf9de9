// The sound player on Qt Multimedia's QSoundEffect: WAV files, played with
// low latency through the system's sound server (PulseAudio or PipeWire on
// Linux, WASAPI on Windows).
//
// Each path is loaded once into an effect and kept in a small cache keyed
// by path; preload() fills the cache from the sound table, and a path asked
// for the first time is loaded then. A press therefore only starts playback.
// Before a file goes to Qt it must be a regular file of a sane size: an empty
// path, a missing file, a folder, a FIFO, a device or a huge file plays
// nothing, at once. A file that is not a playable sound fails in Qt's loader
// thread and plays nothing either. Without a sound device or server the
// effects stay silent; nothing blocks and nothing is reported.
#pragma once

#include <QObject>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/sound_player.h"

class QSoundEffect;

namespace pressory::platform::qt {

class QtSoundPlayer final : public QObject, public SoundPlayer {
    Q_OBJECT
public:
    // Larger files are not loaded: a WAV of 32 MB holds three minutes of CD sound.
    static constexpr std::uintmax_t kMaxFileBytes = 32u * 1024u * 1024u;
    // Effects kept for paths outside the preloaded table before the cache is trimmed.
    static constexpr std::size_t kMaxExtraEffects = 16;

    explicit QtSoundPlayer(QObject* parent = nullptr);
    ~QtSoundPlayer() override;

    void play(const std::string& path) override;
    void stopAll() override;
    void preload(const std::vector<std::string>& paths) override;

    // Whether a path passes the file checks (regular file, sane size).
    static bool isLoadableFile(const std::string& path);

    // For tests: the effect kept for a path (null: none, or refused), and
    // the effect started last (null: none, or the last request was refused).
    QSoundEffect* effectFor(const std::string& path) const;
    QSoundEffect* current() const { return current_; }
    std::size_t cachedCount() const { return cache_.size(); }

private:
    struct Entry {
        std::unique_ptr<QSoundEffect> effect;   // null: the path was refused
        bool preloaded = false;
    };
    Entry& load(const std::string& path, bool preloaded);
    void trimExtras();

    std::unordered_map<std::string, Entry> cache_;
    QSoundEffect* current_ = nullptr;
};

}  // namespace pressory::platform::qt
