// Conversion between UTF-8 and code page 932 (Shift-JIS as Windows writes it:
// "\" is 0x5C, "～" is 0x81 0x60). Glibc iconv "CP932" on Linux, the Win32
// code page 932 conversion on Windows.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pressory::platform {

// Nothing when the input holds a character (or bytes) that cannot be converted.
std::optional<std::string> utf8ToCp932(std::string_view utf8);
std::optional<std::string> cp932ToUtf8(std::string_view cp932);

// Code page 932 to UTF-8 for showing text read from a file: every byte that
// does not begin a valid character becomes U+FFFD and the conversion goes on
// with the next byte. Never fails.
std::string cp932ToUtf8Lossy(std::string_view cp932);

}  // namespace pressory::platform
