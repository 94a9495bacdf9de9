#include "platform/app_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <string>

namespace pressory::platform {

std::string programFolder() {
    std::array<char, 4096> buf{};
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return {};
    std::string exe(buf.data(), static_cast<std::size_t>(n));
    const auto slash = exe.find_last_of('/');
    if (slash == std::string::npos) return {};
    if (slash == 0) return "/";
    return exe.substr(0, slash);
}

std::string applicationFolderOf(const std::string& folder) {
    if (folder.empty()) return {};
    if (folder.back() == '/') return folder;
    return folder + '/';
}

std::string applicationFolder() { return applicationFolderOf(programFolder()); }

bool fileExists(const std::string& path) {
    if (path.empty()) return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    if (!S_ISREG(st.st_mode)) return false;
    // A dot file is the hidden file of this platform.
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return !(name.size() > 1 && name[0] == '.');
}

}  // namespace pressory::platform
