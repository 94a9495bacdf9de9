// The history file PressoryHistory.csv: building its header and record lines
// and appending a record whole or not at all.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

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

struct WriteResult {
    bool ok = false;
    std::string path;     // the history file's path, as it is shown to the user
    std::string reason;   // the system's reason when !ok (UTF-8)
};

// The history file's path inside the program's folder (as the platform
// reports it, without a trailing separator except at a root).
std::string historyPath(const std::string& programFolder);

// Appends one record to the file at `path`: the header first when the file
// does not exist yet, both encoded, each ending in CR LF, in one write. If the
// write fails the file is cut back to its former length and closed. The
// writer never reads the file.
WriteResult appendRecord(const std::string& path, std::string_view headerUtf8,
                         std::string_view recordUtf8, const Encoder& encode);

}  // namespace pressory::history
