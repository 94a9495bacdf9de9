#include "history/history_summary.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "counting/key_layout.h"

namespace pressory::history {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kChunk = 1024 * 1024;
constexpr std::int64_t kMaxCount = 2147483647;

// What a column of the header holds.
constexpr int kOtherColumn = -1;
constexpr int kTotalColumn = -2;

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// Digits at [p, p + n) as a number; -1 when any byte is not a digit.
int digits(const char* p, int n) {
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const unsigned d = static_cast<unsigned char>(p[i]) - static_cast<unsigned>('0');
        if (d > 9) return -1;
        v = v * 10 + static_cast<int>(d);
    }
    return v;
}

// The day of a time stamp "YYYY/MM/DD HH:MM:SS" of a real date and time.
std::optional<int> stampDay(std::string_view s) {
    if (s.size() != 19 || s[4] != '/' || s[7] != '/' || s[10] != ' ' || s[13] != ':' || s[16] != ':') return {};
    const char* p = s.data();
    const int y = digits(p, 4), mo = digits(p + 5, 2), d = digits(p + 8, 2);
    const int h = digits(p + 11, 2), mi = digits(p + 14, 2), se = digits(p + 17, 2);
    if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo)) return {};
    if (h < 0 || h > 23 || mi < 0 || mi > 59 || se < 0 || se > 59) return {};
    return dayNumber({y, mo, d});
}

// A count field: 1 to 10 digits, at most 2147483647.
std::optional<std::int32_t> countOf(std::string_view s) {
    if (s.empty() || s.size() > 10) return {};
    std::int64_t v = 0;
    for (const char c : s) {
        const unsigned d = static_cast<unsigned char>(c) - static_cast<unsigned>('0');
        if (d > 9) return {};
        v = v * 10 + d;
    }
    if (v > kMaxCount) return {};
    return static_cast<std::int32_t>(v);
}

// Takes the file's bytes piece by piece, cuts them into lines and adds each
// record in; keeps at most one line's kept bytes between pieces.
class Summarizer {
public:
    Summarizer(const Encoder& encode, std::optional<int> today, HistorySummary& out) : out_(out), today_(today) {
        for (const std::uint8_t vk : counting::layout::countedCodes()) {
            if (auto bytes = encode ? encode(counting::layout::cell(vk)->caption) : std::nullopt)
                captions_.push_back({std::move(*bytes), vk});
        }
        if (auto bytes = encode ? encode(counting::layout::kSummaryCaption) : std::nullopt)
            totalCaption_ = std::move(*bytes);
    }

    void feed(const char* data, std::size_t n) {
        std::size_t start = 0;  // where the current line's bytes in this piece begin
        std::size_t from = 0;
        while (from < n) {
            const void* lf = std::memchr(data + from, '\n', n - from);
            if (!lf) break;
            const std::size_t q = static_cast<std::size_t>(static_cast<const char*>(lf) - data);
            from = q + 1;
            const bool crBefore = q > start ? data[q - 1] == '\r' : (pendingLength_ > 0 && lastByte_ == '\r');
            if (!crBefore) continue;  // a lone LF is an ordinary byte of its line
            if (pendingLength_ == 0) {
                line(std::string_view(data + start, q - 1 - start), q - 1 - start);
            } else {
                if (q > start) keep(data + start, q - start);
                // Drop the CR: it ends the line.
                --pendingLength_;
                if (pending_.size() > pendingLength_) pending_.resize(pendingLength_);
                line(pending_, pendingLength_);
                pending_.clear();
                pendingLength_ = 0;
            }
            start = q + 1;
        }
        if (start < n) keep(data + start, n - start);
    }

    // The piece after the last CR LF is a line when it is not empty.
    void finish() {
        if (pendingLength_ > 0) line(pending_, pendingLength_);
        pending_.clear();
        pendingLength_ = 0;
    }

private:
    struct Caption {
        std::string bytes;
        std::uint8_t vk;
    };

    // Keeps the bytes of an unfinished line, no more than a record may have.
    void keep(const char* p, std::size_t n) {
        const std::size_t room = pending_.size() <= kRowByteLimit ? kRowByteLimit + 1 - pending_.size() : 0;
        pending_.append(p, std::min(n, room));
        pendingLength_ += n;
        lastByte_ = p[n - 1];
    }

    // `length` is the line's full length; `bytes` may hold only its start.
    void line(std::string_view bytes, std::size_t length) {
        if (!out_.hasHeader) {
            header(bytes);
            return;
        }
        if (length > kRowByteLimit || !record(bytes)) ++out_.skipped;
    }

    // The key columns follow the total column (all columns after the time
    // stamp when there is none). A caption is matched with the next counted
    // code in ascending order that has it, so that two keys with the same
    // caption keep their order; failing that with any code not yet taken.
    void header(std::string_view bytes) {
        out_.hasHeader = true;
        const Row fields = splitFields(bytes);
        kinds_.assign(fields.size(), kOtherColumn);
        std::size_t firstKey = 1;
        for (std::size_t c = 1; c < fields.size() && !totalCaption_.empty(); ++c) {
            if (fields[c] == totalCaption_) {
                kinds_[c] = kTotalColumn;
                hasTotal_ = true;
                firstKey = c + 1;
                break;
            }
        }
        std::size_t next = 0;  // the place in captions_ after the last key matched
        for (std::size_t c = firstKey; c < fields.size(); ++c) {
            auto matches = [&](std::size_t i) {
                return fields[c] == captions_[i].bytes && !out_.hasColumn[captions_[i].vk];
            };
            std::size_t found = captions_.size();
            for (std::size_t i = next; i < captions_.size() && found == captions_.size(); ++i)
                if (matches(i)) found = i;
            if (found == captions_.size()) {
                for (std::size_t i = 0; i < next && found == captions_.size(); ++i)
                    if (matches(i)) found = i;
                if (found == captions_.size()) continue;
            } else {
                next = found + 1;
            }
            kinds_[c] = captions_[found].vk;
            out_.hasColumn[captions_[found].vk] = true;
        }
        values_.assign(kinds_.size(), 0);
    }

    // Adds the record in when every field it needs can be read.
    bool record(std::string_view bytes) {
        const std::size_t columns = kinds_.size();
        std::size_t column = 0;
        int day = 0;
        const char* p = bytes.data();
        const char* const end = p + bytes.size();
        for (;;) {
            const char* comma = static_cast<const char*>(std::memchr(p, ',', static_cast<std::size_t>(end - p)));
            const char* fieldEnd = comma ? comma : end;
            if (column >= columns) return false;
            const std::string_view field(p, static_cast<std::size_t>(fieldEnd - p));
            if (column == 0) {
                const auto d = stampDay(field);
                if (!d) return false;
                day = *d;
            } else if (kinds_[column] != kOtherColumn) {
                const auto v = countOf(field);
                if (!v) return false;
                values_[column] = *v;
            }
            ++column;
            if (!comma) break;
            p = comma + 1;
        }
        if (column != columns) return false;
        if (today_ && day > *today_) {
            ++out_.future;
            return true;
        }

        std::int64_t total = 0;
        std::int64_t keys = 0;
        for (std::size_t c = 1; c < columns; ++c) {
            const int kind = kinds_[c];
            if (kind == kTotalColumn) {
                total = values_[c];
            } else if (kind >= 0) {
                out_.keySums[static_cast<std::size_t>(kind)] += values_[c];
                keys += values_[c];
            }
        }
        if (!hasTotal_) total = keys;
        out_.totalPresses += total;
        ++out_.records;
        // Records come in time order: the day is nearly always the last one's.
        if (!lastDay_ || lastDayNumber_ != day) {
            lastDay_ = &out_.days[day];
            lastDayNumber_ = day;
        }
        lastDay_->total += total;
        ++lastDay_->records;
        return true;
    }

    HistorySummary& out_;
    std::optional<int> today_;
    std::vector<Caption> captions_;
    std::string totalCaption_;
    bool hasTotal_ = false;
    std::vector<int> kinds_;            // per header column
    std::vector<std::int32_t> values_;  // the record being read, per column
    std::string pending_;               // the kept start of an unfinished line
    std::size_t pendingLength_ = 0;     // its full length so far
    char lastByte_ = 0;                 // its last byte
    DayTotal* lastDay_ = nullptr;
    int lastDayNumber_ = 0;
};

}  // namespace

// Days from civil: the count of days since 1970/01/01 in the proleptic
// Gregorian calendar, by eras of 400 years (146097 days).
int dayNumber(const Date& date) {
    const int y = date.year - (date.month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int mp = (date.month + 9) % 12;  // March is 0
    const int doy = (153 * mp + 2) / 5 + date.day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

Date dateOfDay(int dayNumber) {
    const int z = dayNumber + 719468;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const int doe = z - era * 146097;
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    const int d = doy - (153 * mp + 2) / 5 + 1;
    const int m = mp < 10 ? mp + 3 : mp - 9;
    return {yoe + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

std::string formatDay(int day) {
    const Date d = dateOfDay(day);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", d.year, d.month, d.day);
    return buf;
}

HistorySummary summarizeHistory(const std::string& path, const Encoder& encode, const SummaryProgress& progress,
                                std::optional<int> today) {
    HistorySummary out;
    std::error_code ec;
    const fs::file_status st = fs::status(fs::path(path), ec);
    if (st.type() == fs::file_type::not_found) return out;
    if (ec) {
        out.status = ReadStatus::CannotOpen;
        return out;
    }
    if (!fs::is_regular_file(st)) {
        out.status = ReadStatus::NotAFile;
        return out;
    }
    std::filebuf file;
    if (!file.open(path, std::ios::in | std::ios::binary)) {
        out.status = fs::exists(fs::path(path), ec) ? ReadStatus::CannotOpen : ReadStatus::Missing;
        return out;
    }
    const auto end = file.pubseekoff(0, std::ios::end, std::ios::in);
    if (end == std::streamoff(-1) || end < 0 || file.pubseekpos(0, std::ios::in) != std::streampos(0)) {
        out.status = ReadStatus::CannotOpen;
        return out;
    }
    const auto size = static_cast<std::uintmax_t>(static_cast<std::streamoff>(end));
    out.status = ReadStatus::Ok;

    Summarizer summarizer(encode, today, out);
    std::vector<char> buf(kChunk);
    std::uintmax_t done = 0;
    while (done < size) {
        const auto want = static_cast<std::size_t>(std::min<std::uintmax_t>(kChunk, size - done));
        const auto got = file.sgetn(buf.data(), static_cast<std::streamsize>(want));
        if (got != static_cast<std::streamsize>(want)) {
            out = HistorySummary{};
            out.status = ReadStatus::Changed;
            return out;
        }
        summarizer.feed(buf.data(), want);
        done += want;
        if (progress && !progress(done, size)) {
            out.cancelled = true;
            return out;
        }
    }
    summarizer.finish();
    return out;
}

}  // namespace pressory::history
