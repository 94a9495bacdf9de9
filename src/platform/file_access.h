// Bringing written data onto the disk, and telling early whether the files
// of the program can be written where they live.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>

namespace pressory::platform {

// Flushes the stream's buffer and asks the system to put the file's data on
// the disk (fsync; FlushFileBuffers on Windows). The history append takes it
// as its flush callback. An error code when that fails.
std::error_code flushToDisk(std::FILE* file);

// Replaces the file at `path` (the file itself, not a symbolic link to it)
// whole with `bytes`, the way files::ReplaceFile says: a new file under a
// fresh temporary name beside it (files::temporaryNames), created only where
// nothing is and never through a symbolic link (a name that is taken is
// passed over), written, given the old file's permissions, brought onto the
// disk and renamed over the file; then the folder is synchronised, so that
// the rename survives a power cut (Windows writes the move through instead).
// A folder or anything but a regular file at `path` is refused. On failure
// the old file stays as it was and the temporary file goes.
std::error_code replaceWhole(const std::string& path, std::string_view bytes);

// Brings the entries of the folder that holds `path` onto the disk, so that
// a file created there survives a power cut (fsync of the folder; nothing to
// do on Windows). A folder that cannot be opened for reading is left as it
// is: its entries reach the disk in the system's own time.
std::error_code syncFolderOf(const std::string& path);

// Whether `path` names a regular file (not through a symbolic link) of the
// user who runs the program: owned by the effective user (POSIX); any
// regular file on Windows. What files::removeTemporaries asks.
bool isOwnFile(const std::string& path);

// How a file is written: appended to in place (the history file: the folder
// needs to take a new file only while the file is missing), or replaced
// whole through a new file beside it (the settings file, the recovery record:
// the folder must always take new files).
enum class WriteKind { AppendInPlace, ReplaceWhole };

struct WriteCheck {
    bool ok = true;
    std::string path;    // the file that was checked
    std::string reason;  // why it cannot be written, Japanese for the common causes
};

// Whether the file at `path` can be written as `kind` says, without creating
// or changing it: an existing file must be a regular file that opens for
// writing, and the folder must take a new file (a uniquely named empty file
// is created there and removed again) on a file system that has space left.
WriteCheck checkWritable(const std::string& path, WriteKind kind);

}  // namespace pressory::platform
