#include "files/replace_file.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>

namespace pressory::files {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
// Names tried before a replacement gives up: only another user's doing can
// take more than one.
constexpr int kAttempts = 100;

constexpr bool isLetterOrDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::error_code errnoCode(int err) { return {err != 0 ? err : EIO, std::generic_category()}; }

// Files are opened by their narrow names through the C library, which takes
// them in the platform's narrow encoding (a path object would not on
// Windows). The file-system library only tells what a name is, copies
// permissions and lists a folder; where it cannot read a name, those steps
// are skipped.
std::optional<fs::path> fsPath(const std::string& path) {
    try {
        return fs::path(path);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Where the file's name begins in `path`.
std::size_t nameStart(const std::string& path) {
#ifdef _WIN32
    const std::size_t sep = path.find_last_of("\\/:");
#else
    const std::size_t sep = path.find_last_of('/');
#endif
    return sep == std::string::npos ? 0 : sep + 1;
}

std::uint64_t randomSeed() {
    auto seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    try {
        std::random_device device;
        seed ^= (static_cast<std::uint64_t>(device()) << 32) ^ device();
    } catch (const std::exception&) {
        // The clock alone: the names are only less hard to guess.
    }
    return seed;
}

// Puts `from` in the place of `to`, replacing it.
bool renameOver(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
#ifdef _WIN32
    // Renaming onto an existing file fails there: the old one goes first.
    if (std::remove(to.c_str()) == 0 && std::rename(from.c_str(), to.c_str()) == 0) return true;
#endif
    return false;
}

}  // namespace

void TemporaryNames::reseed(std::uint64_t seed) {
    const std::lock_guard lock(mutex_);
    random_.seed(seed);
}

std::string TemporaryNames::next(const std::string& path) {
    std::string name = path;
    name.append(kTemporarySuffix);
    const std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < kTemporaryUniqueLength; ++i) name.push_back(kLetters[random_() % kLetters.size()]);
    return name;
}

TemporaryNames& temporaryNames() {
    static TemporaryNames names(randomSeed());
    return names;
}

bool isTemporaryOf(std::string_view name, std::string_view fileName) {
    if (fileName.empty() || !name.starts_with(fileName)) return false;
    name.remove_prefix(fileName.size());
    if (!name.starts_with(kTemporarySuffix)) return false;
    name.remove_prefix(kTemporarySuffix.size());
    return name.empty() ||
           (name.size() == kTemporaryUniqueLength && std::all_of(name.begin(), name.end(), isLetterOrDigit));
}

std::error_code replaceWithoutSync(const std::string& path, std::string_view bytes) {
    std::string temp;
    std::FILE* f = nullptr;
    for (int attempt = 0; f == nullptr; ++attempt) {
        if (attempt == kAttempts) return std::make_error_code(std::errc::file_exists);
        temp = temporaryNames().next(path);
        errno = 0;
#ifdef _WIN32
        // The C library there may not know "x": a name where anything is goes unused.
        std::error_code ec;
        const auto p = fsPath(temp);
        if (p && fs::symlink_status(*p, ec).type() != fs::file_type::not_found) continue;
        f = std::fopen(temp.c_str(), "wb");
        if (f == nullptr) return errnoCode(errno);
#else
        // "x": created only where nothing is, a symbolic link included.
        f = std::fopen(temp.c_str(), "wbx");
        if (f == nullptr && errno != EEXIST) return errnoCode(errno);
#endif
    }
    errno = 0;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fflush(f) == 0;
    int err = errno;
    if (std::fclose(f) != 0 && written) {
        written = false;
        err = errno;
    }
    if (written) {
        std::error_code ec;
        const auto from = fsPath(path);
        const auto to = fsPath(temp);
        if (from && to) {
            const fs::file_status old = fs::status(*from, ec);
            if (!ec && fs::is_regular_file(old)) fs::permissions(*to, old.permissions(), ec);
        }
        errno = 0;
        if (!renameOver(temp, path)) {
            written = false;
            err = errno;
        }
    }
    if (written) return {};
    std::remove(temp.c_str());
    return errnoCode(err);
}

std::error_code removeTemporaries(const std::string& path, const OwnFile& own) {
    const std::size_t at = nameStart(path);
    const std::string fileName = path.substr(at);
    const auto folder = fsPath(at == 0 ? std::string(".") : path.substr(0, at));
    if (fileName.empty() || !folder) return {};
    std::error_code result;
    std::error_code ec;
    for (fs::directory_iterator it(*folder, ec), end; !ec && it != end; it.increment(ec)) {
        try {
            const std::string name = it->path().filename().string();
            if (!isTemporaryOf(name, fileName)) continue;
            // The name as `path` spells it, so that the C library finds it.
            const std::string temp = path + name.substr(fileName.size());
            std::error_code st;
            if (!fs::is_regular_file(fs::symlink_status(it->path(), st)) || (own && !own(temp))) continue;
            errno = 0;
            if (std::remove(temp.c_str()) != 0 && !result) result = errnoCode(errno);
        } catch (const std::exception&) {
            // A name the library cannot spell narrowly is no name of ours.
        }
    }
    if (ec && ec != std::errc::no_such_file_or_directory && !result) result = ec;
    return result;
}

}  // namespace pressory::files
