#include "sound/ui/qt_sound_player.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QMediaDevices>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "sound/wav_file.h"

namespace pressory::sound {

struct QtSoundPlayer::Sound {
    QAudioFormat format;
    QByteArray samples;  // padded with silence to at least kMinPlayMs
    qint64 durationMs = 0;
};

namespace {

// Requested output buffer: small, for a short way from the press to the ear.
constexpr int kBufferMs = 30;
// Sounds shorter than this are padded with silence, so that the stream's
// start threshold is always reached by the first write.
constexpr int kMinPlayMs = 100;
// How often the rest of a longer sound is written while it plays.
constexpr int kFeedMs = 10;
// The stream stays open this long after the sound's end, for the server to play out.
constexpr int kTailMs = 150;

QAudioFormat::SampleFormat qtSampleFormat(sound::SampleType t) {
    switch (t) {
    case sound::SampleType::UInt8: return QAudioFormat::UInt8;
    case sound::SampleType::Int16: return QAudioFormat::Int16;
    case sound::SampleType::Int32: return QAudioFormat::Int32;
    case sound::SampleType::Float32: return QAudioFormat::Float;
    }
    return QAudioFormat::Unknown;
}

std::shared_ptr<const QtSoundPlayer::Sound> readSound(const std::string& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) return nullptr;
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::optional<sound::PcmSound> pcm = sound::parseWav(bytes);
    if (!pcm) return nullptr;
    auto s = std::make_shared<QtSoundPlayer::Sound>();
    s->format.setSampleRate(pcm->sampleRate);
    s->format.setChannelCount(pcm->channels);
    s->format.setSampleFormat(qtSampleFormat(pcm->type));
    const qint64 frameBytes = pcm->bytesPerFrame();
    const qint64 frames = static_cast<qint64>(pcm->samples.size()) / frameBytes;
    s->durationMs = frames * 1000 / pcm->sampleRate;
    const qint64 minBytes = static_cast<qint64>(pcm->sampleRate) * kMinPlayMs / 1000 * frameBytes;
    s->samples = QByteArray(pcm->samples.data(), static_cast<qsizetype>(pcm->samples.size()));
    if (s->samples.size() < minBytes)
        s->samples.append(static_cast<qsizetype>(minBytes - s->samples.size()), pcm->silenceByte());
    return s;
}

}  // namespace

QtSoundPlayer::QtSoundPlayer(QObject* parent)
    : QObject(parent),
      cache_([](const std::string& path) { return isLoadableFile(path) ? readSound(path) : nullptr; },
             [](const Sound& s) { return static_cast<std::size_t>(s.samples.size()); }) {
    feedTimer_.setTimerType(Qt::PreciseTimer);
    feedTimer_.setInterval(kFeedMs);
    connect(&feedTimer_, &QTimer::timeout, this, &QtSoundPlayer::feed);
}

QtSoundPlayer::~QtSoundPlayer() { stopAll(); }

bool QtSoundPlayer::isLoadableFile(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    // stat() only: a FIFO or a device is never opened, so nothing can block.
    const std::filesystem::path p(path);
    const std::filesystem::file_status st = std::filesystem::status(p, ec);
    if (ec || st.type() != std::filesystem::file_type::regular) return false;
    const std::uintmax_t size = std::filesystem::file_size(p, ec);
    return !ec && size > 0 && size <= kMaxFileBytes;
}

void QtSoundPlayer::play(const std::string& path) {
    // One sound at a time: every request cuts off the sound still playing,
    // also one that names nothing playable.
    stopAll();
    const std::shared_ptr<const Sound> sound = cache_.get(path);
    if (!sound) return;

    const Sound& s = *sound;
    if (!sink_ || sinkFormat_ != s.format) {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) return;  // no sound device or server: silence
        sink_ = std::make_unique<QAudioSink>(device, s.format);
        sinkFormat_ = s.format;
    }
    sink_->setBufferSize(s.format.bytesForDuration(kBufferMs * 1000));
    out_ = sink_->start();
    if (out_ == nullptr) return;
    playing_ = sound;
    written_ = 0;
    sinceStart_.start();
    feed();
    feedTimer_.start();
}

// Writes as much of the sound as the stream takes; closes the stream once
// the whole sound has been played out.
void QtSoundPlayer::feed() {
    if (out_ == nullptr || !playing_) {
        feedTimer_.stop();
        return;
    }
    const QByteArray& samples = playing_->samples;
    if (written_ < samples.size()) {
        const qint64 room = std::min<qint64>(sink_->bytesFree(), samples.size() - written_);
        if (room > 0) {
            const qint64 n = out_->write(samples.constData() + written_, room);
            if (n > 0) written_ += n;
        }
    }
    const qint64 soundMs = playing_->format.durationForBytes(static_cast<qint32>(samples.size())) / 1000;
    if (written_ >= samples.size() && sinceStart_.elapsed() > soundMs + kTailMs) stopAll();
}

void QtSoundPlayer::stopAll() {
    feedTimer_.stop();
    if (sink_ && out_ != nullptr) sink_->stop();
    out_ = nullptr;
    playing_.reset();
    written_ = 0;
}

void QtSoundPlayer::preload(const std::vector<std::string>& paths) {
    // Everything is read again, so that a file changed on disk is picked up.
    stopAll();
    const bool any = cache_.preload(paths);
    // The connection to the sound server is made now rather than at the first press.
    if (any) (void)QMediaDevices::defaultAudioOutput();
}

bool QtSoundPlayer::hasSound(const std::string& path) const { return cache_.has(path); }

}  // namespace pressory::sound
