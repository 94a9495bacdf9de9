// Where the history file, the settings file, the single-copy lock and the
// recovery record live.
#pragma once

#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/environment.h"

namespace pressory::platform {

// The per-user data folder of the program, without a trailing separator:
// $XDG_DATA_HOME/Pressory, or $HOME/.local/share/Pressory when XDG_DATA_HOME
// is unset, empty or not an absolute path (the XDG base directory rules);
// %APPDATA%\Pressory on Windows. Empty when the environment names no home.
std::string userDataFolder(const EnvironmentLookup& env);

struct FileFolderChoice {
    std::string folder;    // no trailing separator, except at a root
    bool perUser = false;  // the per-user data folder, not the program's
    // The files have just moved to the per-user folder (it held none of them
    // before this start, and the program folder is not an installed bin/
    // folder): the person is told once where they now are.
    bool moved = false;
    bool copied = false;  // some of the program folder's files were copied there now
};

// What making a new file in the program folder said, as the rule needs it.
enum class FolderAccess {
    Writable,  // files can be created and replaced there
    Refused,   // for good: no permission, or a read-only file system
    Passing,   // for now: a full disk, a quota, or another error that may pass
};

// Writable for no error; Refused for EACCES, EPERM and EROFS (and what the
// platform reports as those); Passing otherwise.
FolderAccess folderAccessOf(std::error_code ec);

// Whether a new file can be made in `folder` (one is created and removed
// again) on a file system with space left: no error, or why not.
std::error_code newFileProbe(const std::string& folder);
using FolderProbe = std::function<std::error_code(const std::string& folder)>;

// Whether the per-user folder takes the files instead of the program folder.
// An installed program's bin/ folder never keeps them; otherwise the program
// folder does unless it cannot be written for good. A folder that cannot be
// written for now (a full disk) keeps them too, so that a history does not
// split over two files when the disk fills and empties; except while the
// per-user folder already holds them: the program folder was left before
// and is not come back to while it cannot be written.
bool filesGoToUserFolder(FolderAccess programFolder, bool installedBin, bool userFolderHoldsFiles);

// The rule. The program folder keeps the files as filesGoToUserFolder says,
// so a copy run from a folder of its own goes on using the files beside it;
// an installed program's bin/ folder is one with a share/pressory folder
// beside it. Otherwise the per-user folder, created with its parents if
// missing. Each file of `carried` that lies beside the program and not yet in
// the per-user folder is copied there once, so that the history and settings
// of a copy that moved into a read-only folder are carried on, not lost. A
// carried "<name>-wal" (SQLite's write-ahead log) is copied only together
// with "<name>" in the same start.
// When no per-user folder can be formed or made, the program folder (what
// cannot be written there is reported at start). `probe` asks the program
// folder; newFileProbe unless a test stands in for the disk.
FileFolderChoice chooseFileFolder(const std::string& programFolder, const std::string& userFolder,
                                  const std::vector<std::string>& carried, const FolderProbe& probe = newFileProbe);

// The rule applied to this program and this user's environment.
FileFolderChoice fileFolder(const std::vector<std::string>& carried);

// The path of `name` in `folder`, with one separator between them; `name`
// alone when the folder is empty.
std::string pathIn(const std::string& folder, const std::string& name);

// True when `folder` names an existing folder.
bool folderExists(const std::string& folder);

// Creates the folder and its missing parents; true when it exists afterwards.
bool makeFolders(const std::string& folder);

// Copies `from` to `to` unless `to` exists already; true when `to` exists afterwards.
bool copyIfMissing(const std::string& from, const std::string& to);

}  // namespace pressory::platform
