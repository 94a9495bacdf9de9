// Reading the history file back for the viewer: the header line and the
// newest records, found from the two ends of the file so that the cost
// follows the rows shown, not the length of the file.
//
// What a line is: the file is cut at every CR LF pair; each piece is a line.
// The piece after the last CR LF is a line only when it is not empty, so a
// file that ends in CR LF has no empty line after it, and an empty file has
// no line at all. A CR or an LF that is not part of a CR LF pair is an
// ordinary byte of its line. The first line is the header; every later line
// is a record, whatever it holds (a blank line is a record with one empty
// field).
//
// Fields: a line is split at every "," byte, without quoting. The split is
// done on the bytes as they are in the file (code page 932): neither "," nor
// CR nor LF ever occurs as the second byte of a double-byte character, so
// the split and the line ends are the same as on the decoded text.
//
// Bound on one row: of a line only the first kRowByteLimit bytes are kept
// and split, and of those only the first kRowFieldLimit fields. Every line
// the program writes is far below both (at most 267 fields of a few bytes);
// the bounds keep a damaged file (one line of megabytes, or of nothing but
// commas) from costing more than 16 KiB and 1024 cells per row. The rest of
// such a line is still scanned for its end, so the line count is exact.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pressory::history {

inline constexpr std::size_t kRowByteLimit = 16384;
inline constexpr std::size_t kRowFieldLimit = 1024;

// One line as its fields, in the file's bytes.
using Row = std::vector<std::string>;

// Splits the first kRowByteLimit bytes of a line into at most kRowFieldLimit
// fields. An empty line is one empty field.
Row splitFields(std::string_view line);

enum class ReadStatus {
    Ok,
    Missing,     // no such file (or it vanished before it could be opened)
    NotAFile,    // a folder, a device, a pipe: refused without opening it
    CannotOpen,  // it is there but cannot be opened or measured
    Changed,     // the file became shorter while it was read
};

struct NewestLines {
    ReadStatus status = ReadStatus::Missing;
    // rows[0] is the header line, rows[1] the newest record, rows[2] the one
    // before it, and so on: min(L, maxRecords + 1) rows for a file of L lines.
    // Empty for an empty file and whenever status is not Ok.
    std::vector<Row> rows;
    std::size_t widestRow = 0;  // the largest number of fields of any row
};

// Called now and then during a long read (about every MiB scanned), so that
// the caller can let other work run.
using Pump = std::function<void()>;

// Reads the header line and the newest `maxRecords` records (none when it is
// 0 or less) of the file at `path`. Only the bytes that were in the file when
// it was opened are read: lines appended meanwhile are not seen. The file is
// only read, never changed, and anything that is not a regular file is
// refused before it is opened.
NewestLines readNewestLines(const std::string& path, int maxRecords, const Pump& pump = {});

}  // namespace pressory::history
