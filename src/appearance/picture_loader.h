// Reading a background picture from a file, safely: only regular files are
// opened (a FIFO or a device would block or never end), and a picture whose
// pixels would need more memory than the limit is refused before it is
// decoded.
#pragma once

#include <QImage>
#include <optional>
#include <string>

namespace pressory::appearance {

// The most memory one picture may take once decoded, in megabytes: room for
// an 8K screen twice over, far beyond any sensible window background.
inline constexpr int kPictureAllocationLimitMb = 256;

// The picture in the file at `path` (the platform's narrow encoding): a null
// image for an empty path (no picture, not a failure); nothing when the file
// is missing, is not a regular file, is over the limit or cannot be decoded.
std::optional<QImage> loadPicture(const std::string& path);

}  // namespace pressory::appearance
