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

Win32SoundPlayer::Win32SoundPlayer() : cache_(readImage, [](const std::string& image) { return image.size(); }) {}

Win32SoundPlayer::~Win32SoundPlayer() { stopAll(); }

void Win32SoundPlayer::play(const std::string& path) {
    // One sound at a time: every request cuts off the sound still playing,
    // also one that names nothing playable.
    stopAll();
    std::shared_ptr<const std::string> image = cache_.get(path);
    if (!image) return;
    playing_ = std::move(image);
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
    cache_.preload(paths);
}

bool Win32SoundPlayer::hasSound(const std::string& path) const { return cache_.has(path); }

}  // namespace pressory::platform::win32
