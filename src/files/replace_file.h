// Replacing a file whole through a new file beside it, so that an
// interrupted write never leaves half a file: what the settings file and the
// recovery record are written with. The platform's replaceWhole does it with
// the system's calls; the standard-library replacement here is what writers
// use when none is given (the tests of the core).
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

namespace pressory::files {

// Puts `bytes` in the place of the file at `path` (the file itself, not a
// symbolic link to it), or an error code with the old file left as it was.
using ReplaceFile = std::function<std::error_code(const std::string& path, std::string_view bytes)>;

// Whether the regular file at `path` belongs to the user who runs the
// program (the platform's isOwnFile); only such temporaries are removed.
using OwnFile = std::function<bool(const std::string& path)>;

// The names of the temporary files beside a file: its name, ".new~" and six
// letters or digits drawn at random, so that a name cannot be taken in
// advance; a name found taken is simply not used. (Older versions used the
// name with ".new~" alone.)
inline constexpr std::string_view kTemporarySuffix = ".new~";
inline constexpr std::size_t kTemporaryUniqueLength = 6;

class TemporaryNames {
public:
    explicit TemporaryNames(std::uint64_t seed) : random_(seed) {}

    // From here the names are those of a TemporaryNames made with `seed`.
    void reseed(std::uint64_t seed);

    // The next name to try for a temporary beside the file at `path`.
    std::string next(const std::string& path);

private:
    std::mutex mutex_;
    std::mt19937_64 random_;
};

// The names every replacement of this process draws from; seeded once from
// the system's random source. A test may reseed it to know the names ahead.
TemporaryNames& temporaryNames();

// Whether `name` (a file name, no folder) is a temporary of the file named
// `fileName`: a name from TemporaryNames or the older fixed one.
bool isTemporaryOf(std::string_view name, std::string_view fileName);

// The replacement with the standard library alone: a new file under a fresh
// temporary name beside `path`, created only where nothing is (never through
// a symbolic link), written, given the old file's permissions and renamed
// over it. It cannot bring the data onto the disk; the platform's
// replaceWhole does.
std::error_code replaceWithoutSync(const std::string& path, std::string_view bytes);

// Removes what replacements interrupted by a crash or a power cut left beside
// the file at `path`: regular files under a temporary name of it, and of
// those only the ones `own` (when given) says belong to this user. A symbolic
// link is neither followed nor removed. For the start, while no other copy
// of the program writes. The first error, if any.
std::error_code removeTemporaries(const std::string& path, const OwnFile& own = {});

}  // namespace pressory::files
