#include "platform/file_folder.h"

#include "platform/app_folder.h"
#include "platform/file_access.h"

#include <algorithm>
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

FolderAccess folderAccessOf(std::error_code ec) {
    if (!ec) return FolderAccess::Writable;
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted ||
        ec == std::errc::read_only_file_system)
        return FolderAccess::Refused;
    return FolderAccess::Passing;
}

bool filesGoToUserFolder(FolderAccess programFolder, bool installedBin, bool userFolderHoldsFiles) {
    if (installedBin) return true;
    switch (programFolder) {
    case FolderAccess::Writable: return false;
    case FolderAccess::Refused: return true;
    case FolderAccess::Passing: return userFolderHoldsFiles;
    }
    return false;
}

FileFolderChoice chooseFileFolder(const std::string& programFolder, const std::string& userFolder,
                                  const std::vector<std::string>& carried, const FolderProbe& probe) {
    // The settings file's way of writing (a new file beside it, then a
    // rename) needs no more than a new file in the folder.
    const FolderAccess access = programFolder.empty() ? FolderAccess::Refused : folderAccessOf(probe(programFolder));
    const bool installedBin = !programFolder.empty() && isInstalledBinFolder(programFolder);
    bool userHolds = false;
    for (const std::string& name : carried) {
        if (!userFolder.empty() && fileExists(pathIn(userFolder, name))) userHolds = true;
    }
    if (!filesGoToUserFolder(access, installedBin, userHolds)) return {programFolder, false};
    if (userFolder.empty() || !makeFolders(userFolder)) return {programFolder, false};
    FileFolderChoice choice{userFolder, true};
    if (!programFolder.empty()) {
        std::vector<std::string> copiedNow;
        for (const std::string& name : carried) {
            // SQLite's write-ahead log "<name>-wal" goes only with its
            // database, copied in the same start: a log beside another
            // database would be replayed onto it.
            constexpr std::string_view kLog = "-wal";
            if (name.size() > kLog.size() && name.ends_with(kLog) &&
                std::find(copiedNow.begin(), copiedNow.end(), name.substr(0, name.size() - kLog.size())) ==
                    copiedNow.end())
                continue;
            const std::string beside = pathIn(programFolder, name);
            const std::string there = pathIn(userFolder, name);
            if (fileExists(beside) && !fileExists(there) && copyIfMissing(beside, there)) {
                choice.copied = true;
                copiedNow.push_back(name);
            }
        }
    }
    choice.moved = !installedBin && !userHolds;
    return choice;
}

FileFolderChoice fileFolder(const std::vector<std::string>& carried) {
    return chooseFileFolder(programFolder(), userDataFolder(processEnvironment()), carried);
}

EnvironmentLookup processEnvironment() {
    return [](const char* name) -> const char* { return std::getenv(name); };
}

}  // namespace pressory::platform
