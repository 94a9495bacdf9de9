// The profile (INI) file, with the rules of the platform's private-profile
// functions: section and key names match without regard to ASCII case and the
// blanks around them; blanks around a value are removed, then one pair of
// matching enclosing quotes; the first of two equal sections or keys wins.
// Texts are bytes in the platform's narrow encoding and pass through unchanged.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "files/replace_file.h"

namespace pressory::settings::profile {

// A file read into memory, for reading many values with one read of the file.
class ProfileDocument {
public:
    ProfileDocument() = default;
    explicit ProfileDocument(std::string bytes);
    static ProfileDocument load(const std::string& path);  // a missing file reads as empty

    // The value of the first matching key of the first matching section, or
    // nothing when there is no such key.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // The values of several keys of one section with one pass over the file:
    // element i is what value(section, keys[i]) gives.
    std::vector<std::optional<std::string>> values(std::string_view section, std::span<const std::string> keys) const;

    std::string readText(std::string_view section, std::string_view key) const;
    std::int32_t readInt(std::string_view section, std::string_view key, std::int32_t def) const;

    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

// Integer rule: leading blanks, optional sign, decimal digits, stops at the
// first other character; an empty value gives the default; a value that does
// not begin with a number gives 0. Out-of-range values stop at the 32-bit limits.
std::int32_t parseProfileInt(std::string_view value, std::int32_t def);

// Convenience reads of a single value straight from a file.
std::string readText(const std::string& path, std::string_view section, std::string_view key);
std::int32_t readInt(const std::string& path, std::string_view section, std::string_view key, std::int32_t def);

// Replaces the first matching key's value in place, or adds the key at the end
// of its section, or adds the section at the end of the file; every other byte
// of the file stays as it was. Lines it adds end with CR LF. Creates the file
// when it is missing. Returns false when the file cannot be read or written,
// or when the names or the value cannot be stored: a line break anywhere, a
// "]" in the section name, an empty key name, a "=" in it or one that begins
// with "[", ";" or a UTF-8 byte order mark (which a file may begin with). A
// value that would lose blanks or quotes on reading is written inside a pair
// of double quotes, so that it reads back unchanged.
//
// The file is replaced whole through `replace` (the platform's replaceWhole;
// files::replaceWithoutSync when none is given), so that neither an
// interrupted write nor a power cut leaves half a file. Through a symbolic
// link at `path` the file it names is replaced and the link stays. Nothing is
// written when the bytes would not change. A path that names a folder, a pipe
// or a device is neither read nor replaced.
bool writeText(const std::string& path, std::string_view section, std::string_view key, std::string_view value,
               const files::ReplaceFile& replace = {});

// One value for writeValues.
struct KeyValue {
    std::string_view section;
    std::string_view key;
    std::string_view value;
};

// Writes several values as writeText does each, in order, and replaces the
// file once with the result: a kill at any moment leaves the old file or the
// new one whole, never some of the values. A value that cannot be stored is
// left out (the others are written) and makes the result false.
bool writeValues(const std::string& path, std::span<const KeyValue> values, const files::ReplaceFile& replace = {});

// Removes the temporary files that writes interrupted by a crash or a power
// cut left beside the file at `path` (and beside the file a symbolic link at
// `path` names): regular files only, and only those `own` (the platform's
// isOwnFile) says are this user's; see files::removeTemporaries. For the
// start, after the lock is taken, while no other copy writes. A missing file
// is no error.
std::error_code removeStaleTemporary(const std::string& path, const files::OwnFile& own = {});

// The same edit on bytes in memory (what writeText writes back). Names or a
// value that cannot be stored leave the bytes as they are.
std::string withValue(std::string_view bytes, std::string_view section, std::string_view key, std::string_view value);

}  // namespace pressory::settings::profile
