// The recovery record: the counts of the running period and the time of its
// last activity, kept in a small file next to the history file while the
// program runs, so that a period the close could not record (crash, power
// cut, lost display) becomes a history record at the next start.
//
// File format (ASCII, LF line ends), every line required, in this order:
//   Pressory recovery record
//   version 1
//   time YYYY/MM/DD HH:MM:SS
//   total <n>
//   counts <c0>,<c1>,...,<c255>
//   history <bytes>          (optional)
//   check <length> <crc>
// <length> is the number of bytes before the check line in decimal and <crc>
// their CRC-32 in eight lower-case hexadecimal digits, so a file cut short,
// changed or filled with garbage is told from a whole one.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "files/replace_file.h"
#include "history/history_record.h"

namespace pressory::history {

inline constexpr const char* kRecoveryFileName = "PressoryRecovery.dat";

struct RecoveryRecord {
    std::array<std::int32_t, 256> counts{};  // indexed by virtual-key code, as the poller keeps them
    std::int32_t total = 0;
    LocalDateTime lastActivity{};  // local time; becomes the record's time stamp
    // The size of the history file when this was written. A history that has
    // grown since holds the period already: a record was appended after this
    // write, and the program ended before it could remove this file.
    std::optional<std::uint64_t> historySize;
};

// The recovery file's path: beside the history file of that program folder.
std::string recoveryPath(const std::string& programFolder);

std::string serializeRecovery(const RecoveryRecord& record);

// Nothing when the bytes are not a whole recovery record of this version
// (cut short, changed, garbage, a count below 0, an impossible date).
std::optional<RecoveryRecord> parseRecovery(std::string_view bytes);

enum class RecoveryState {
    Missing,     // no recovery file: the last run ended normally
    Found,       // a whole record, in `record`
    Damaged,     // something is there that is not a whole record: move it aside
    Unreadable,  // a file that cannot be read now (`reason`): leave it
};

struct RecoveryFile {
    RecoveryState state = RecoveryState::Missing;
    RecoveryRecord record;
    std::string reason;  // Japanese for the common causes, when Unreadable
};

// Reads the recovery file. A folder, pipe or device at the path, and a file
// far larger than any record, are Damaged without being read.
RecoveryFile readRecoveryFile(const std::string& path);

// Replaces the recovery file whole through `replace` (the platform's
// replaceWhole; files::replaceWithoutSync when none is given). A folder, pipe
// or device at the path is refused. On failure the old file stays as it was.
WriteResult writeRecoveryFile(const std::string& path, const RecoveryRecord& record,
                              const files::ReplaceFile& replace = {});

// Removes the recovery file. A missing file is no error. (What a write cut
// off by a crash left beside it goes at the next start, with the other
// temporaries: files::removeTemporaries.)
std::error_code removeRecoveryFile(const std::string& path);

// The name a damaged recovery file is moved to:
// "PressoryRecovery.damaged-YYYYMMDD-HHMMSS.dat" in the same folder.
std::string damagedRecoveryPath(const std::string& path, const LocalDateTime& now);

// Moves a damaged recovery file aside to damagedRecoveryPath (with "-2",
// "-3", ... before ".dat" when that name is taken) and returns the new path;
// nothing when it cannot be moved (`error` then tells why).
std::optional<std::string> moveDamagedRecoveryFile(const std::string& path, const LocalDateTime& now,
                                                   std::error_code& error);

// A period that could not be recorded when it ended waits in a file of its
// own beside the recovery file, in the same format:
// "PressoryRecovery.kept-YYYYMMDD-HHMMSS.dat", stamped with its last activity
// ("-2", "-3", ... before ".dat" when that name is taken). Any number of
// them can wait, over any number of runs that cannot write the history; each
// becomes one record, oldest first, once the history can be written.
std::string keptRecoveryPath(const std::string& path, const LocalDateTime& lastActivity);

// The waiting periods beside the recovery file at `path`, oldest first.
std::vector<std::string> keptRecoveryFiles(const std::string& path);

// Moves the recovery file at `path` to a free kept name (see
// keptRecoveryPath) and returns that name; nothing when it cannot be moved
// (`error` then tells why).
std::optional<std::string> moveToKept(const std::string& path, const LocalDateTime& lastActivity,
                                      std::error_code& error);

// Whether the history file holds a waiting period's record already: the
// record line stands right where the history ended when the period's file
// was last written (`record.historySize`), after the line end or the header
// line an append puts first. A file written without the history's size never
// counts as recorded. `recordLine` is the line as it is in the file, without
// its CR LF; so is `headerLine`.
bool recordStandsAt(const std::string& historyPath, const RecoveryRecord& record, std::string_view recordLine,
                    std::string_view headerLine);

// When to replace the recovery file: at most once a minute, and only when a
// count changed since the last write. The clock is passed in; so is the
// interval, which only a test of the program shortens.
class RecoveryWriteRule {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kInterval{60000};

    explicit RecoveryWriteRule(std::function<Clock::time_point()> now = &Clock::now,
                               std::chrono::milliseconds interval = kInterval);

    // A tick changed a count.
    void countsChanged() noexcept { changed_ = true; }
    // Whether a write is due now.
    bool due() const;
    // How long until a write is due (zero when it is due now); nothing when
    // no change is pending.
    std::optional<Clock::duration> dueIn() const;
    // A write was made; a failed one keeps the change pending but waits a
    // minute like a successful one.
    void wrote(bool succeeded);
    // The counts went back to zero and the file was removed: nothing pending.
    void cleared() noexcept { changed_ = false; }
    bool pending() const noexcept { return changed_; }

private:
    std::function<Clock::time_point()> now_;
    std::chrono::milliseconds interval_;
    std::optional<Clock::time_point> lastWrite_;
    bool changed_ = false;
};

}  // namespace pressory::history
