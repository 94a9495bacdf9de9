#include "platform/file_folder.h"

#include "platform/app_folder.h"
#include "platform/file_access.h"

#include <cstdlib>
#include <string_view>

namespace pressory::platform {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
constexpr const char* kSeparators = "\\/";
#else
constexpr char kSeparator = '/';
constexpr const char* kSeparators = "/";
#endif

std::string withoutTrailingSeparators(std::string f) {
    while (f.size() > 1 && std::string_view(kSeparators).find(f.back()) != std::string_view::npos) f.pop_back();
    return f;
}

// An installed program: it lies in a folder named bin with share/pressory beside that folder.
bool isInstalledBinFolder(const std::string& programFolder) {
    const std::string f = withoutTrailingSeparators(programFolder);
    const auto cut = f.find_last_of(kSeparators);
    if (cut == std::string::npos || f.substr(cut + 1) != "bin") return false;
    const std::string prefix = f.substr(0, cut);
    return folderExists(pathIn(pathIn(prefix.empty() ? std::string(1, kSeparator) : prefix, "share"), "pressory"));
}

}  // namespace

std::string pathIn(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (!folder.empty() && std::string_view(kSeparators).find(folder.back()) != std::string_view::npos)
        return folder + name;
    return folder + kSeparator + name;
}

FileFolderChoice chooseFileFolder(const std::string& programFolder, const std::string& userFolder,
                                  const std::vector<std::string>& carried) {
    // The probe creates and removes a uniquely named file; the settings file's
    // way of writing (a new file beside it, then a rename) needs no more.
    const bool programWritable =
        !programFolder.empty() && checkWritable(pathIn(programFolder, "Pressory.ini"), WriteKind::ReplaceWhole).ok;
    if (programWritable && !isInstalledBinFolder(programFolder)) return {programFolder, false};
    if (userFolder.empty() || !makeFolders(userFolder)) return {programFolder, false};
    if (!programFolder.empty()) {
        for (const std::string& name : carried) {
            const std::string beside = pathIn(programFolder, name);
            if (fileExists(beside)) copyIfMissing(beside, pathIn(userFolder, name));
        }
    }
    return {userFolder, true};
}

FileFolderChoice fileFolder(const std::vector<std::string>& carried) {
    return chooseFileFolder(programFolder(), userDataFolder(processEnvironment()), carried);
}

EnvironmentLookup processEnvironment() {
    return [](const char* name) -> const char* { return std::getenv(name); };
}

}  // namespace pressory::platform
