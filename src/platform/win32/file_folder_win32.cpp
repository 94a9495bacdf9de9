#include <windows.h>

#include <atomic>
#include <string>

#include "platform/file_folder.h"

namespace pressory::platform {

std::string userDataFolder(const EnvironmentLookup& env) {
    const char* appData = env("APPDATA");
    if (appData == nullptr || appData[0] == '\0') return {};
    return pathIn(appData, "Pressory");
}

std::error_code newFileProbe(const std::string& folder) {
    static std::atomic<unsigned> serial{0};
    const std::string probe = pathIn(folder, "Pressory-folder-check-" + std::to_string(::GetCurrentProcessId()) + "-" +
                                                 std::to_string(serial.fetch_add(1)) + ".tmp");
    const HANDLE h =
        ::CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        // The causes the folder rule tells apart, as the portable codes.
        switch (const DWORD err = ::GetLastError()) {
        case ERROR_ACCESS_DENIED: return std::make_error_code(std::errc::permission_denied);
        case ERROR_WRITE_PROTECT: return std::make_error_code(std::errc::read_only_file_system);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return std::make_error_code(std::errc::no_space_on_device);
        default: return {static_cast<int>(err), std::system_category()};
        }
    }
    ::CloseHandle(h);
    ULARGE_INTEGER freeBytes{};
    if (::GetDiskFreeSpaceExA(folder.c_str(), &freeBytes, nullptr, nullptr) && freeBytes.QuadPart == 0)
        return std::make_error_code(std::errc::no_space_on_device);
    return {};
}

bool folderExists(const std::string& folder) {
    if (folder.empty()) return false;
    const DWORD a = ::GetFileAttributesA(folder.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool makeFolders(const std::string& folder) {
    if (folder.empty()) return false;
    if (folderExists(folder)) return true;
    const auto cut = folder.find_last_of("\\/");
    if (cut != std::string::npos && cut > 0) {
        const std::string parent = folder.substr(0, cut);
        // "C:" is a drive, not a folder to create.
        if (!(parent.size() == 2 && parent[1] == ':') && !makeFolders(parent)) return false;
    }
    if (!::CreateDirectoryA(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) return false;
    return folderExists(folder);
}

bool copyIfMissing(const std::string& from, const std::string& to) {
    if (::CopyFileA(from.c_str(), to.c_str(), TRUE)) return true;
    return ::GetLastError() == ERROR_FILE_EXISTS;
}

}  // namespace pressory::platform
