#include "platform/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "history/file_reason.h"

namespace pressory::platform {
namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

WriteCheck problem(const std::string& path, int err) { return WriteCheck{false, path, history::reasonText(err)}; }

// A new file can be made in the folder, and its file system has space left.
int folderTakesNewFiles(const std::string& folder) {
    static std::atomic<unsigned> serial{0};
    const std::string probe = folder + "/.Pressory-write-check-" + std::to_string(::getpid()) + "-" +
                              std::to_string(serial.fetch_add(1)) + ".tmp";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return errno;
    ::close(fd);
    ::unlink(probe.c_str());
    struct statvfs vfs {};
    if (::statvfs(folder.c_str(), &vfs) == 0 && vfs.f_bavail == 0) return ENOSPC;
    return 0;
}

}  // namespace

std::error_code flushToDisk(std::FILE* file) {
    if (file == nullptr) return std::make_error_code(std::errc::bad_file_descriptor);
    if (std::fflush(file) != 0) return {errno, std::generic_category()};
    const int fd = ::fileno(file);
    while (::fsync(fd) != 0) {
        if (errno == EINTR) continue;
        // A file that cannot be synchronised (a pipe, a terminal) has nothing
        // on a disk to lose.
        if (errno == EINVAL || errno == EROFS) return {};
        return {errno, std::generic_category()};
    }
    return {};
}

WriteCheck checkWritable(const std::string& path, WriteKind kind) {
    struct stat st {};
    bool exists = false;
    if (::stat(path.c_str(), &st) == 0) {
        exists = true;
        if (S_ISDIR(st.st_mode)) return problem(path, EISDIR);
        if (!S_ISREG(st.st_mode)) return WriteCheck{false, path, history::kReasonNotRegularFile};
        // Opening for writing changes nothing: no creation, no truncation.
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return problem(path, errno);
        ::close(fd);
    } else if (errno != ENOENT) {
        return problem(path, errno);
    }
    if (kind == WriteKind::ReplaceWhole || !exists) {
        if (const int err = folderTakesNewFiles(folderOf(path))) return problem(path, err);
    }
    return WriteCheck{true, path, {}};
}

}  // namespace pressory::platform
