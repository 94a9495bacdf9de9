#include "platform/qt/qt_sound_player.h"

#include <QSoundEffect>
#include <QUrl>
#include <filesystem>
#include <system_error>

namespace pressory::platform::qt {

QtSoundPlayer::QtSoundPlayer(QObject* parent) : QObject(parent) {}

QtSoundPlayer::~QtSoundPlayer() {
    current_ = nullptr;
    for (auto& [path, entry] : cache_)
        if (entry.effect) entry.effect->stop();
}

bool QtSoundPlayer::isLoadableFile(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    // stat() only: a FIFO or a device is never opened, so nothing can block.
    const std::filesystem::file_status st = std::filesystem::status(std::filesystem::path(path), ec);
    if (ec || st.type() != std::filesystem::file_type::regular) return false;
    const std::uintmax_t size = std::filesystem::file_size(std::filesystem::path(path), ec);
    return !ec && size > 0 && size <= kMaxFileBytes;
}

QtSoundPlayer::Entry& QtSoundPlayer::load(const std::string& path, bool preloaded) {
    Entry entry;
    entry.preloaded = preloaded;
    if (isLoadableFile(path)) {
        entry.effect = std::make_unique<QSoundEffect>();
        // Qt reads and decodes the file in its own loader thread.
        entry.effect->setSource(QUrl::fromLocalFile(QString::fromLocal8Bit(path)));
    }
    return cache_.insert_or_assign(path, std::move(entry)).first->second;
}

void QtSoundPlayer::trimExtras() {
    std::size_t extras = 0;
    for (const auto& [path, entry] : cache_) extras += entry.preloaded ? 0 : 1;
    if (extras < kMaxExtraEffects) return;
    for (auto it = cache_.begin(); it != cache_.end();) {
        if (!it->second.preloaded && it->second.effect.get() != current_)
            it = cache_.erase(it);
        else
            ++it;
    }
}

void QtSoundPlayer::play(const std::string& path) {
    // One sound at a time: every request cuts off the sound still playing,
    // also one that names nothing playable.
    if (current_ != nullptr) current_->stop();
    current_ = nullptr;
    if (path.empty()) return;
    auto it = cache_.find(path);
    if (it == cache_.end()) {
        trimExtras();
        it = cache_.find(path);
    }
    Entry& entry = it != cache_.end() ? it->second : load(path, false);
    if (!entry.effect) return;
    // An effect still loading starts as soon as its sound is ready.
    entry.effect->play();
    current_ = entry.effect.get();
}

void QtSoundPlayer::stopAll() {
    if (current_ != nullptr) current_->stop();
    current_ = nullptr;
}

void QtSoundPlayer::preload(const std::vector<std::string>& paths) {
    // Everything is loaded again, so that a file changed on disk is picked up.
    stopAll();
    cache_.clear();
    for (const std::string& p : paths)
        if (!p.empty()) load(p, true);
}

QSoundEffect* QtSoundPlayer::effectFor(const std::string& path) const {
    const auto it = cache_.find(path);
    return it == cache_.end() ? nullptr : it->second.effect.get();
}

}  // namespace pressory::platform::qt
