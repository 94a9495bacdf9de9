// Where the history file, the settings file, the single-copy lock and the
// recovery record live.
#pragma once

#include <string>
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
};

// The rule. The program folder keeps the files while files can be created
// and replaced in it, so a copy run from a folder of its own goes on using
// the files beside it; except when it is an installed program's bin/ folder
// (a share/pressory folder beside it), where nothing belongs but programs,
// whoever runs it. Otherwise the per-user folder, created with its parents if
// missing. Each file of `carried` that lies beside the program and not yet in
// the per-user folder is copied there once, so that the history and settings
// of a copy that moved into a read-only folder are carried on, not lost.
// When no per-user folder can be formed or made, the program folder (what
// cannot be written there is reported at start).
FileFolderChoice chooseFileFolder(const std::string& programFolder, const std::string& userFolder,
                                  const std::vector<std::string>& carried);

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
