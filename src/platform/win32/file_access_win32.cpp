#include "platform/file_access.h"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>

#include "files/file_reason.h"
#include "files/replace_file.h"

namespace pressory::platform {
namespace {

// The common causes as the portable codes, so that their reasons read in
// Japanese; the system's own code (and text) otherwise.
std::error_code codeOf(DWORD err) {
    switch (err) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return std::make_error_code(std::errc::permission_denied);
    case ERROR_WRITE_PROTECT: return std::make_error_code(std::errc::read_only_file_system);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return std::make_error_code(std::errc::no_space_on_device);
    case ERROR_PATH_NOT_FOUND: return std::make_error_code(std::errc::no_such_file_or_directory);
    case ERROR_CRC:
    case ERROR_IO_DEVICE: return std::make_error_code(std::errc::io_error);
    default: return {static_cast<int>(err), std::system_category()};
    }
}

WriteCheck problem(const std::string& path, std::error_code ec) {
    return WriteCheck{false, path, files::reasonText(ec)};
}

std::string folderOf(const std::string& path) {
    const auto sep = path.find_last_of("\\/");
    if (sep == std::string::npos) return ".";
    if (sep == 0 || (sep == 2 && path[1] == ':')) return path.substr(0, sep + 1);
    return path.substr(0, sep);
}

std::error_code folderTakesNewFiles(const std::string& folder) {
    static std::atomic<unsigned> serial{0};
    std::string probe = folder;
    if (!probe.empty() && probe.back() != '\\' && probe.back() != '/') probe += '\\';
    probe += "Pressory-write-check-" + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(serial.fetch_add(1)) + ".tmp";
    const HANDLE h = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return codeOf(GetLastError());
    CloseHandle(h);
    ULARGE_INTEGER freeBytes{};
    if (GetDiskFreeSpaceExA(folder.c_str(), &freeBytes, nullptr, nullptr) && freeBytes.QuadPart == 0)
        return std::make_error_code(std::errc::no_space_on_device);
    return {};
}

}  // namespace

std::error_code flushToDisk(std::FILE* file) {
    if (file == nullptr) return std::make_error_code(std::errc::bad_file_descriptor);
    if (std::fflush(file) != 0) return std::make_error_code(std::errc::io_error);
    const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (h == INVALID_HANDLE_VALUE) return std::make_error_code(std::errc::bad_file_descriptor);
    if (!FlushFileBuffers(h)) {
        const DWORD err = GetLastError();
        // A console or a pipe has nothing on a disk to lose.
        if (err == ERROR_INVALID_HANDLE || err == ERROR_INVALID_FUNCTION) return {};
        return codeOf(err);
    }
    return {};
}

std::error_code replaceWhole(const std::string& path, std::string_view bytes) {
    const DWORD attrs = GetFileAttributesA(path.c_str());
    const bool existed = attrs != INVALID_FILE_ATTRIBUTES;
    if (!existed) {
        const DWORD err = GetLastError();
        if (err != ERROR_FILE_NOT_FOUND) return codeOf(err);
    }
    if (existed && (attrs & FILE_ATTRIBUTE_DIRECTORY)) return std::make_error_code(std::errc::is_a_directory);
    if (existed && (attrs & FILE_ATTRIBUTE_DEVICE)) return std::make_error_code(std::errc::invalid_argument);
    // The new file is shown as the old one was (hidden, system, archive).
    const DWORD shown = existed ? attrs & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE) : 0;

    std::string temp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; h == INVALID_HANDLE_VALUE; ++attempt) {
        temp = files::temporaryNames().next(path);
        // CREATE_NEW: only where nothing is, a symbolic link included; a name
        // that is taken is passed over.
        h = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, shown != 0 ? shown : FILE_ATTRIBUTE_NORMAL,
                        nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD err = GetLastError();
            if ((err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) || attempt >= 100) return codeOf(err);
        }
    }
    DWORD err = 0;
    for (std::size_t done = 0; err == 0 && done < bytes.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD wrote = 0;
        if (!WriteFile(h, bytes.data() + done, chunk, &wrote, nullptr))
            err = GetLastError();
        else if (wrote == 0)
            err = ERROR_WRITE_FAULT;
        done += wrote;
    }
    if (err == 0 && !FlushFileBuffers(h)) err = GetLastError();
    CloseHandle(h);
    if (err == 0 && !MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        err = GetLastError();
    if (err != 0) {
        DeleteFileA(temp.c_str());
        return codeOf(err);
    }
    return {};
}

std::error_code syncFolderOf(const std::string&) { return {}; }

bool isOwnFile(const std::string& path) {
    const DWORD attrs = GetFileAttributesA(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES &&
           (attrs & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
}

WriteCheck checkWritable(const std::string& path, WriteKind kind) {
    const DWORD attrs = GetFileAttributesA(path.c_str());
    bool exists = false;
    if (attrs != INVALID_FILE_ATTRIBUTES) {
        exists = true;
        if (attrs & FILE_ATTRIBUTE_DIRECTORY) return problem(path, std::make_error_code(std::errc::is_a_directory));
        // Opening for writing changes nothing: no creation, no truncation.
        const HANDLE h =
            CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return problem(path, codeOf(GetLastError()));
        const DWORD type = GetFileType(h);
        CloseHandle(h);
        if (type != FILE_TYPE_DISK) return WriteCheck{false, path, files::kReasonNotRegularFile};
    } else {
        const DWORD err = GetLastError();
        if (err != ERROR_FILE_NOT_FOUND) return problem(path, codeOf(err));
    }
    if (kind == WriteKind::ReplaceWhole || !exists) {
        if (const std::error_code ec = folderTakesNewFiles(folderOf(path))) return problem(path, ec);
    }
    return WriteCheck{true, path, {}};
}

}  // namespace pressory::platform
