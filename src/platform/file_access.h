// Bringing written data onto the disk, and telling early whether the files
// of the program can be written where they live.
#pragma once

#include <cstdio>
#include <string>
#include <system_error>

namespace pressory::platform {

// Flushes the stream's buffer and asks the system to put the file's data on
// the disk (fsync; FlushFileBuffers on Windows). The history append, the
// settings replacement and the recovery record take it as their flush
// callback. An error code when that fails.
std::error_code flushToDisk(std::FILE* file);

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
