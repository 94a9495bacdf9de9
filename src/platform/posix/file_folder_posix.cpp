#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "platform/file_folder.h"

namespace pressory::platform {

std::string userDataFolder(const EnvironmentLookup& env) {
    const char* dataHome = env("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') return pathIn(dataHome, "Pressory");
    const char* home = env("HOME");
    if (home == nullptr || home[0] != '/') return {};
    return pathIn(pathIn(pathIn(home, ".local"), "share"), "Pressory");
}

std::error_code newFileProbe(const std::string& folder) {
    static std::atomic<unsigned> serial{0};
    const std::string probe = pathIn(folder, ".Pressory-folder-check-" + std::to_string(::getpid()) + "-" +
                                                 std::to_string(serial.fetch_add(1)) + ".tmp");
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return {errno, std::generic_category()};
    ::close(fd);
    ::unlink(probe.c_str());
    struct statvfs vfs {};
    if (::statvfs(folder.c_str(), &vfs) == 0 && vfs.f_bavail == 0)
        return std::make_error_code(std::errc::no_space_on_device);
    return {};
}

bool folderExists(const std::string& folder) {
    struct stat st {};
    return !folder.empty() && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool makeFolders(const std::string& folder) {
    if (folder.empty()) return false;
    if (folderExists(folder)) return true;
    const auto slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(folder.substr(0, slash))) return false;
    // The XDG rules ask for 0700 on folders the program creates for its data.
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    return folderExists(folder);
}

bool copyIfMissing(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) {
        const bool existed = errno == EEXIST;
        ::close(in);
        return existed;
    }
    bool ok = true;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buf + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok) break;
    }
    ok = ::fsync(out) == 0 && ok;
    ::close(out);
    ::close(in);
    // Half a copy is worse than none: the original stays beside the program.
    if (!ok) ::unlink(to.c_str());
    return ok;
}

}  // namespace pressory::platform
