// The history file PressoryHistory.csv: building its header and record lines
// and appending a record whole or not at all.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

namespace pressory::history {

inline constexpr const char* kFileName = "PressoryHistory.csv";

struct LocalDateTime {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
};

// "YYYY/MM/DD HH:MM:SS".
std::string formatDateTime(const LocalDateTime& t);

// A group's share of the total in percent, "#0.00", the quotient first rounded
// to four decimals with halves to even (1 of 32 -> "3.12", 3 of 32 -> "9.38").
// Empty when total is below 1.
std::string formatRatio(std::int64_t groupSum, std::int32_t total);

// Captions of the five most-pressed letters A..Z (ties in alphabetical order),
// empty where fewer letters have a count above 0.
std::array<std::string_view, 5> topFive(const std::array<std::int32_t, 256>& counts);

// The header line and a record line, UTF-8, without the line end, over the
// given polled codes in ascending order (normally layout::countedCodes()).
std::string headerLine(std::span<const std::uint8_t> polledCodes, std::string_view summaryCaption);
std::string recordLine(const LocalDateTime& when, std::span<const std::uint8_t> polledCodes,
                       const std::array<std::int32_t, 256>& counts, std::int32_t total);

// Text conversion from UTF-8 to the file's encoding (code page 932); nothing
// when a character cannot be converted.
using Encoder = std::function<std::optional<std::string>(std::string_view utf8)>;

// Brings what has been written to an open file onto the disk (the platform's
// flushToDisk); an error code when that fails.
using FlushFile = std::function<std::error_code(std::FILE*)>;

// Brings the entries of the folder that holds `path` onto the disk (the
// platform's syncFolderOf), so that a file created there survives a power cut.
using SyncFolder = std::function<std::error_code(const std::string& path)>;

struct WriteResult {
    bool ok = false;
    std::string path;    // the history file's path, as it is shown to the user
    std::string reason;  // why, when !ok: Japanese for the common causes (reasonText), UTF-8
};

// The history file's path inside the program's folder (as the platform
// reports it, without a trailing separator except at a root).
std::string historyPath(const std::string& programFolder);

// Appends one record to the file at `path`: the header first when the file
// does not exist yet, both encoded, each ending in CR LF, in one write. When
// the existing file's last line has no line end, the write begins with one
// (CR LF, or only the LF after a lone CR), so that the old line stays whole
// and the record is a line of its own; a file ending in LF is left as it is.
// A path that names a folder, a pipe or a device is refused before it is
// opened. After the write, `flush` (when given) brings it onto the disk, and
// `syncFolder` (when given) the new entry of a file the write created; only
// then is the write a success. If any step fails the file is cut back to its
// former length (a file the write created goes again) and closed.
WriteResult appendRecord(const std::string& path, std::string_view headerUtf8, std::string_view recordUtf8,
                         const Encoder& encode, const FlushFile& flush = {}, const SyncFolder& syncFolder = {});

// What goes before a new line so that it starts a line of its own, given the
// last two bytes of the file (fewer for a shorter file): "" after CR LF or
// LF or for an empty file, "\n" after a lone CR, "\r\n" otherwise.
std::string_view lineEndRepair(std::string_view fileTail);

// Writes `bytes` to the open stream, empties its buffer, hands it to `flush`
// (when given) and closes it; the stream is closed even when a step fails.
// Empty when every step went well, else why not (Japanese for the common
// causes).
std::string writeAndClose(std::FILE* file, std::string_view bytes, const FlushFile& flush);

}  // namespace pressory::history
