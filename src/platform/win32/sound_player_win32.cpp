#include "platform/win32/sound_player_win32.h"

// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

#include "sound/wav_file.h"

namespace pressory::platform::win32 {
namespace {

// The path as the system names it: the narrow text of the program is the ANSI code page.
std::filesystem::path nativePath(const std::string& path) {
    const int n = ::MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
    return std::filesystem::path(wide);
}

bool isLoadableFile(const std::filesystem::path& p) {
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::status(p, ec);
    if (ec || st.type() != std::filesystem::file_type::regular) return false;
    const std::uintmax_t size = std::filesystem::file_size(p, ec);
    return !ec && size > 0 && size <= Win32SoundPlayer::kMaxFileBytes;
}

std::shared_ptr<const std::string> readImage(const std::string& path) {
    if (path.empty()) return nullptr;
    const std::filesystem::path p = nativePath(path);
    if (!isLoadableFile(p)) return nullptr;
    std::ifstream in(p, std::ios::binary);
    if (!in) return nullptr;
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const std::optional<sound::PcmSound> pcm = sound::parseWav(bytes);
    if (!pcm) return nullptr;
    return std::make_shared<const std::string>(sound::wavImage(*pcm));
}

}  // namespace

Win32SoundPlayer::~Win32SoundPlayer() { stopAll(); }

const Win32SoundPlayer::Entry& Win32SoundPlayer::load(const std::string& path, bool preloaded) {
    Entry entry;
    entry.preloaded = preloaded;
    if (std::shared_ptr<const std::string> image = readImage(path);
        image && cacheBytes_ + image->size() <= kMaxCacheBytes) {
        cacheBytes_ += image->size();
        entry.image = std::move(image);
    }
    return cache_.insert_or_assign(path, std::move(entry)).first->second;
}

void Win32SoundPlayer::dropExtras() {
    std::size_t extras = 0;
    for (const auto& [path, entry] : cache_) extras += entry.preloaded ? 0 : 1;
    if (extras < kMaxExtraSounds) return;
    for (auto it = cache_.begin(); it != cache_.end();) {
        if (it->second.preloaded) {
            ++it;
            continue;
        }
        if (it->second.image) cacheBytes_ -= it->second.image->size();
        it = cache_.erase(it);
    }
}

void Win32SoundPlayer::play(const std::string& path) {
    // One sound at a time: every request cuts off the sound still playing,
    // also one that names nothing playable.
    stopAll();
    if (path.empty()) return;
    const auto it = cache_.find(path);
    if (it == cache_.end()) dropExtras();
    const Entry& entry = it != cache_.end() ? it->second : load(path, false);
    if (!entry.image) return;
    playing_ = entry.image;
    // Asynchronous: the call returns at once and the system reads the image
    // while it plays; no default sound when the image cannot be played.
    if (!::PlaySoundA(playing_->data(), nullptr, SND_MEMORY | SND_ASYNC | SND_NODEFAULT)) playing_.reset();
}

void Win32SoundPlayer::stopAll() {
    // Stopped before the image it reads may be released.
    if (playing_) ::PlaySoundA(nullptr, nullptr, 0);
    playing_.reset();
}

void Win32SoundPlayer::preload(const std::vector<std::string>& paths) {
    // Everything is read again, so that a file changed on disk is picked up.
    stopAll();
    cache_.clear();
    cacheBytes_ = 0;
    for (const std::string& p : paths)
        if (!p.empty() && cache_.find(p) == cache_.end()) load(p, true);
}

bool Win32SoundPlayer::hasSound(const std::string& path) const {
    const auto it = cache_.find(path);
    return it != cache_.end() && it->second.image != nullptr;
}

}  // namespace pressory::platform::win32
