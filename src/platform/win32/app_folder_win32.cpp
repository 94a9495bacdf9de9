#include "platform/app_folder.h"

#include <windows.h>

#include <string>

namespace pressory::platform {

std::string programFolder() {
    char buf[MAX_PATH * 4] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, buf, static_cast<DWORD>(sizeof buf));
    if (n == 0 || n >= sizeof buf) return {};
    std::string exe(buf, n);
    const auto slash = exe.find_last_of("\\/");
    if (slash == std::string::npos) return {};
    std::string folder = exe.substr(0, slash);
    if (folder.size() == 2 && folder[1] == ':') folder += '\\';  // a drive root keeps its backslash
    return folder;
}

std::string applicationFolderOf(const std::string& folder) {
    if (folder.empty()) return {};
    if (folder.back() == '\\') return folder;
    return folder + '\\';
}

std::string applicationFolder() { return applicationFolderOf(programFolder()); }

bool fileExists(const std::string& path) {
    if (path.empty()) return false;
    const DWORD a = ::GetFileAttributesA(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return false;
    return (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN)) == 0;
}

}  // namespace pressory::platform
