// Why a file could not be written, in Japanese for the common causes, for the
// line under "<path> に記録できませんでした。" and the warning at start-up.
#pragma once

#include <string>
#include <system_error>

namespace pressory::files {

// A path that names a pipe, a device or a socket instead of a file.
inline constexpr const char* kReasonNotRegularFile = "通常のファイルではありません。";

// The reason for an error code of the generic category (errno values) or of
// the system category: Japanese for no space, read-only file system, access
// denied, is a directory, disk quota, I/O error, a missing folder and a file
// too large; otherwise the system's own text. An empty code gives the text
// of an I/O error (a call that failed without saying why).
std::string reasonText(std::error_code ec);

// The same for an errno value.
std::string reasonText(int errnoValue);

}  // namespace pressory::files
