#include <windows.h>

#include <string>

#include "platform/file_folder.h"

namespace pressory::platform {

std::string userDataFolder(const EnvironmentLookup& env) {
    const char* appData = env("APPDATA");
    if (appData == nullptr || appData[0] == '\0') return {};
    return pathIn(appData, "Pressory");
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
