// The sounds a player keeps loaded, by path: those of the sound table
// (preloaded) and a few others asked for since, within a byte budget, so
// that a press only starts playback.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace pressory::sound {

template <class Sound>
class SoundCache {
public:
    // The sounds of all cached paths together stay below this many bytes.
    static constexpr std::size_t kMaxBytes = 256u * 1024u * 1024u;
    // Sounds kept for paths outside the preloaded table before they are dropped.
    static constexpr std::size_t kMaxExtraSounds = 16;

    // `read` loads a path (null: nothing playable there); `bytes` tells a loaded sound's size.
    using Reader = std::function<std::shared_ptr<const Sound>(const std::string& path)>;
    using Size = std::function<std::size_t(const Sound&)>;

    SoundCache(Reader read, Size bytes) : read_(std::move(read)), bytes_(std::move(bytes)) {}

    // The sound of `path`, read now when it was not asked for before (the
    // extra sounds are dropped first once there are kMaxExtraSounds of them);
    // null when nothing there can be played. A refused path is remembered too.
    std::shared_ptr<const Sound> get(const std::string& path) {
        if (path.empty()) return nullptr;
        if (const auto it = entries_.find(path); it != entries_.end()) return it->second.sound;
        dropExtras();
        return load(path, false);
    }

    // Forgets everything and reads `paths` again (a file changed on disk is
    // picked up). True when any of them can be played.
    bool preload(const std::vector<std::string>& paths) {
        entries_.clear();
        totalBytes_ = 0;
        bool any = false;
        for (const std::string& p : paths)
            if (!p.empty() && entries_.find(p) == entries_.end()) any = load(p, true) != nullptr || any;
        return any;
    }

    bool has(const std::string& path) const {
        const auto it = entries_.find(path);
        return it != entries_.end() && it->second.sound != nullptr;
    }
    std::size_t count() const { return entries_.size(); }

private:
    struct Entry {
        std::shared_ptr<const Sound> sound;  // null: the path was refused
        bool preloaded = false;
    };

    std::shared_ptr<const Sound> load(const std::string& path, bool preloaded) {
        Entry entry;
        entry.preloaded = preloaded;
        if (std::shared_ptr<const Sound> s = read_(path); s && totalBytes_ + bytes_(*s) <= kMaxBytes) {
            totalBytes_ += bytes_(*s);
            entry.sound = std::move(s);
        }
        return entries_.insert_or_assign(path, std::move(entry)).first->second.sound;
    }

    void dropExtras() {
        std::size_t extras = 0;
        for (const auto& [path, entry] : entries_) extras += entry.preloaded ? 0 : 1;
        if (extras < kMaxExtraSounds) return;
        for (auto it = entries_.begin(); it != entries_.end();) {
            if (it->second.preloaded) {
                ++it;
                continue;
            }
            if (it->second.sound) totalBytes_ -= bytes_(*it->second.sound);
            it = entries_.erase(it);
        }
    }

    Reader read_;
    Size bytes_;
    std::unordered_map<std::string, Entry> entries_;
    std::size_t totalBytes_ = 0;
};

}  // namespace pressory::sound
