#include "platform/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "files/file_reason.h"
#include "files/replace_file.h"

namespace pressory::platform {
namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::error_code errnoCode(int err) { return {err, std::generic_category()}; }

// Asks the system to put what was written to `fd` on the disk; 0 or errno.
int syncToDisk(int fd) {
    while (::fsync(fd) != 0) {
        if (errno == EINTR) continue;
        // A file that cannot be synchronised (a pipe, a terminal, some file
        // systems' folders) has nothing on a disk to lose.
        if (errno == EINVAL || errno == EROFS) return 0;
        return errno;
    }
    return 0;
}

int writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

WriteCheck problem(const std::string& path, int err) { return WriteCheck{false, path, files::reasonText(err)}; }

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
    if (std::fflush(file) != 0) return errnoCode(errno);
    if (const int err = syncToDisk(::fileno(file))) return errnoCode(err);
    return {};
}

std::error_code replaceWhole(const std::string& path, std::string_view bytes) {
    struct stat old {};
    const bool existed = ::stat(path.c_str(), &old) == 0;
    if (!existed && errno != ENOENT) return errnoCode(errno);
    if (existed && S_ISDIR(old.st_mode)) return errnoCode(EISDIR);
    if (existed && !S_ISREG(old.st_mode)) return errnoCode(EINVAL);

    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temp = files::temporaryNames().next(path);
        // O_EXCL: only where nothing is, and a symbolic link there counts;
        // O_NOFOLLOW besides. A name another user has put anything under is
        // passed over. A file new to the folder gets the mode any new file
        // gets (0666 less the umask).
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, existed ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST && errno != EINTR) return errnoCode(errno);
        if (fd < 0 && attempt >= 100) return errnoCode(EEXIST);
    }
    int err = writeAll(fd, bytes);
    // The old file's permissions; a file system without modes keeps its own.
    if (err == 0 && existed) static_cast<void>(::fchmod(fd, old.st_mode & 07777));
    if (err == 0) err = syncToDisk(fd);
    if (::close(fd) != 0 && err == 0 && errno != EINTR) err = errno;
    if (err == 0 && ::rename(temp.c_str(), path.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        return errnoCode(err);
    }
    return syncFolderOf(path);
}

std::error_code syncFolderOf(const std::string& path) {
    const int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return {};
    const int err = syncToDisk(fd);
    ::close(fd);
    return err == 0 ? std::error_code{} : errnoCode(err);
}

bool isOwnFile(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
}

WriteCheck checkWritable(const std::string& path, WriteKind kind) {
    struct stat st {};
    bool exists = false;
    if (::stat(path.c_str(), &st) == 0) {
        exists = true;
        if (S_ISDIR(st.st_mode)) return problem(path, EISDIR);
        if (!S_ISREG(st.st_mode)) return WriteCheck{false, path, files::kReasonNotRegularFile};
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
