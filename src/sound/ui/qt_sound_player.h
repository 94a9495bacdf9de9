// The sound player on Qt Multimedia's audio output (QAudioSink): WAV files,
// played through the system's sound server (PulseAudio or PipeWire on Linux,
// WASAPI on Windows) with low latency.
//
// Each path is read and decoded once and its samples kept in a small cache
// keyed by path; preload() fills the cache from the sound table, and a path
// asked for the first time is loaded then. A press therefore only opens an
// output stream and writes the first samples into it, at once; the rest is
// written from a short timer while the sound plays, and the stream is closed
// when the sound has ended. One stream, one sound at a time.
//
// Before a file is read it must be a regular file of a sane size: an empty
// path, a missing file, a folder, a FIFO, a device, a huge file or a file
// that is not a WAV sound plays nothing, at once. Without a sound device or
// server nothing plays; nothing blocks and nothing is reported.
#pragma once

#include <QAudioFormat>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sound_player.h"
#include "sound/sound_cache.h"

class QAudioSink;
class QIODevice;

namespace pressory::sound {

class QtSoundPlayer final : public QObject, public platform::SoundPlayer {
    Q_OBJECT
public:
    // Larger files are not loaded: a WAV of 32 MB holds three minutes of CD sound.
    static constexpr std::uintmax_t kMaxFileBytes = 32u * 1024u * 1024u;

    explicit QtSoundPlayer(QObject* parent = nullptr);
    ~QtSoundPlayer() override;

    void play(const std::string& path) override;
    void stopAll() override;
    void preload(const std::vector<std::string>& paths) override;

    // Whether a path passes the file checks (regular file, sane size).
    static bool isLoadableFile(const std::string& path);

    // For tests: whether a path is cached with a playable sound; whether a
    // sound is being played into an open output stream.
    bool hasSound(const std::string& path) const;
    bool playing() const { return out_ != nullptr; }
    std::size_t cachedCount() const { return cache_.count(); }

    struct Sound;

private:
    void feed();

    SoundCache<Sound> cache_;  // the samples of each path

    std::unique_ptr<QAudioSink> sink_;
    QAudioFormat sinkFormat_;
    QIODevice* out_ = nullptr;  // the open stream's input, while playing
    std::shared_ptr<const Sound> playing_;
    std::int64_t written_ = 0;
    QTimer feedTimer_;
    QElapsedTimer sinceStart_;
};

}  // namespace pressory::sound
