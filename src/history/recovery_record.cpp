#include "history/recovery_record.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <utility>

#include "files/file_reason.h"

namespace pressory::history {

using files::kReasonNotRegularFile;
using files::reasonText;

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMagic = "Pressory recovery record\n";
constexpr std::string_view kVersion = "version 1\n";
// A whole record is under 3 KiB; anything much larger is not one.
constexpr std::uintmax_t kMaxFileSize = 64 * 1024;

std::uint32_t crc32(std::string_view bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

template <typename Int>
void appendInt(std::string& out, Int value) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

// Reads "<prefix><text>\n" at `at`, giving the text and moving past the line.
std::optional<std::string_view> field(std::string_view bytes, std::size_t& at, std::string_view prefix) {
    if (bytes.substr(at, prefix.size()) != prefix) return std::nullopt;
    const std::size_t end = bytes.find('\n', at);
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view text = bytes.substr(at + prefix.size(), end - at - prefix.size());
    at = end + 1;
    return text;
}

// A whole decimal number without sign or blanks, within [0, max].
template <typename Int>
std::optional<Int> number(std::string_view text, Int max = std::numeric_limits<Int>::max()) {
    Int v{};
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || text.front() == '-' || r.ec != std::errc{} || r.ptr != text.data() + text.size() || v > max)
        return std::nullopt;
    return v;
}

std::optional<LocalDateTime> parseDateTime(std::string_view t) {
    // "YYYY/MM/DD HH:MM:SS"
    if (t.size() != 19 || t[4] != '/' || t[7] != '/' || t[10] != ' ' || t[13] != ':' || t[16] != ':')
        return std::nullopt;
    const auto y = number<int>(t.substr(0, 4)), mo = number<int>(t.substr(5, 2)), d = number<int>(t.substr(8, 2)),
               h = number<int>(t.substr(11, 2)), mi = number<int>(t.substr(14, 2)), s = number<int>(t.substr(17, 2));
    if (!y || !mo || !d || !h || !mi || !s) return std::nullopt;
    if (*mo < 1 || *mo > 12 || *d < 1 || *d > 31 || *h > 23 || *mi > 59 || *s > 60) return std::nullopt;
    return LocalDateTime{*y, *mo, *d, *h, *mi, *s};
}

std::string stamp(const LocalDateTime& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return buf;
}

}  // namespace

std::string recoveryPath(const std::string& programFolder) {
    const std::string history = historyPath(programFolder);
    return history.substr(0, history.size() - std::string_view(kFileName).size()) + kRecoveryFileName;
}

std::string serializeRecovery(const RecoveryRecord& r) {
    std::string out;
    out.reserve(3072);
    out.append(kMagic);
    out.append(kVersion);
    out.append("time ").append(formatDateTime(r.lastActivity)).append("\n");
    out.append("total ");
    appendInt(out, r.total);
    out.append("\ncounts ");
    for (std::size_t vk = 0; vk < r.counts.size(); ++vk) {
        if (vk != 0) out.push_back(',');
        appendInt(out, r.counts[vk]);
    }
    out.push_back('\n');
    if (r.historySize) {
        out.append("history ");
        appendInt(out, *r.historySize);
        out.push_back('\n');
    }
    char check[48];
    std::snprintf(check, sizeof check, "check %zu %08lx\n", out.size(), static_cast<unsigned long>(crc32(out)));
    out.append(check);
    return out;
}

std::optional<RecoveryRecord> parseRecovery(std::string_view bytes) {
    // The check line is the last line; it covers every byte before it.
    if (bytes.size() < 2 || bytes.back() != '\n') return std::nullopt;
    const std::size_t checkAt = bytes.rfind('\n', bytes.size() - 2) + 1;  // npos + 1 == 0
    std::size_t at = checkAt;
    const auto check = field(bytes, at, "check ");
    if (!check) return std::nullopt;
    const std::size_t blank = check->find(' ');
    if (blank == std::string_view::npos) return std::nullopt;
    const auto length = number<std::size_t>(check->substr(0, blank));
    const std::string_view crcText = check->substr(blank + 1);
    std::uint32_t crc = 0;
    const auto r = std::from_chars(crcText.data(), crcText.data() + crcText.size(), crc, 16);
    if (!length || *length != checkAt || crcText.size() != 8 || r.ec != std::errc{} ||
        r.ptr != crcText.data() + crcText.size() || crc != crc32(bytes.substr(0, checkAt)))
        return std::nullopt;

    const std::string_view body = bytes.substr(0, checkAt);
    at = 0;
    if (body.substr(0, kMagic.size()) != kMagic) return std::nullopt;
    at = kMagic.size();
    if (body.substr(at, kVersion.size()) != kVersion) return std::nullopt;
    at += kVersion.size();
    RecoveryRecord rec;
    const auto time = field(body, at, "time ");
    const auto when = time ? parseDateTime(*time) : std::nullopt;
    const auto totalText = field(body, at, "total ");
    const auto total = totalText ? number<std::int32_t>(*totalText) : std::nullopt;
    const auto counts = field(body, at, "counts ");
    if (!when || !total || !counts) return std::nullopt;
    if (at != body.size()) {
        const auto history = field(body, at, "history ");
        const auto size = history ? number<std::uint64_t>(*history) : std::nullopt;
        if (!size || at != body.size()) return std::nullopt;
        rec.historySize = *size;
    }
    rec.lastActivity = *when;
    rec.total = *total;
    std::string_view rest = *counts;
    for (std::size_t vk = 0; vk < rec.counts.size(); ++vk) {
        const std::size_t comma = vk + 1 < rec.counts.size() ? rest.find(',') : rest.size();
        if (comma == std::string_view::npos) return std::nullopt;
        const auto c = number<std::int32_t>(rest.substr(0, comma));
        if (!c) return std::nullopt;
        rec.counts[vk] = *c;
        rest.remove_prefix(comma == rest.size() ? comma : comma + 1);
    }
    return rec;
}

RecoveryFile readRecoveryFile(const std::string& path) {
    RecoveryFile out;
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (st.type() == fs::file_type::not_found) return out;
    if (ec) {
        out.state = RecoveryState::Unreadable;
        out.reason = reasonText(ec);
        return out;
    }
    if (!fs::is_regular_file(st) || fs::file_size(path, ec) > kMaxFileSize || ec) {
        out.state = RecoveryState::Damaged;
        return out;
    }
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        const int err = errno;
        if (err == ENOENT) return out;
        out.state = RecoveryState::Unreadable;
        out.reason = reasonText(err);
        return out;
    }
    std::string bytes;
    char buf[4096];
    std::size_t n = 0;
    while (bytes.size() <= kMaxFileSize && (n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    const bool failed = std::ferror(f) != 0;
    const int err = errno;
    std::fclose(f);
    if (failed) {
        out.state = RecoveryState::Unreadable;
        out.reason = reasonText(err);
        return out;
    }
    if (auto rec = parseRecovery(bytes)) {
        out.state = RecoveryState::Found;
        out.record = *rec;
    } else {
        out.state = RecoveryState::Damaged;
    }
    return out;
}

WriteResult writeRecoveryFile(const std::string& path, const RecoveryRecord& record,
                              const files::ReplaceFile& replace) {
    WriteResult result;
    result.path = path;
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (fs::is_directory(st)) {
        result.reason = reasonText(std::make_error_code(std::errc::is_a_directory));
        return result;
    }
    if (fs::exists(st) && !fs::is_regular_file(st)) {
        result.reason = kReasonNotRegularFile;
        return result;
    }

    const std::string bytes = serializeRecovery(record);
    ec = replace ? replace(path, bytes) : files::replaceWithoutSync(path, bytes);
    if (ec) {
        result.reason = reasonText(ec);
        return result;
    }
    result.ok = true;
    return result;
}

std::error_code removeRecoveryFile(const std::string& path) {
    std::error_code ec;
    fs::remove(path, ec);
    return ec;
}

std::string damagedRecoveryPath(const std::string& path, const LocalDateTime& now) {
    constexpr std::string_view ext = ".dat";
    std::string base = path;
    if (std::string_view(base).ends_with(ext)) base.resize(base.size() - ext.size());
    return base + ".damaged-" + stamp(now) + std::string(ext);
}

namespace {

// Moves `path` to `first`, or to the first free name with "-2", "-3", ...
// before its ".dat".
std::optional<std::string> moveToFreeName(const std::string& path, const std::string& first, std::error_code& error) {
    error.clear();
    std::string target = first;
    for (int n = 2; n < 1000; ++n) {
        std::error_code ec;
        if (fs::symlink_status(target, ec).type() == fs::file_type::not_found) break;
        target = first.substr(0, first.size() - 4) + "-" + std::to_string(n) + ".dat";
    }
    fs::rename(path, target, error);
    if (error) return std::nullopt;
    return target;
}

// The recovery file's name without ".dat", the start of every name kept beside it.
std::string baseOf(const std::string& path) {
    constexpr std::string_view ext = ".dat";
    return std::string_view(path).ends_with(ext) ? path.substr(0, path.size() - ext.size()) : path;
}

}  // namespace

std::optional<std::string> moveDamagedRecoveryFile(const std::string& path, const LocalDateTime& now,
                                                   std::error_code& error) {
    return moveToFreeName(path, damagedRecoveryPath(path, now), error);
}

std::string keptRecoveryPath(const std::string& path, const LocalDateTime& lastActivity) {
    return baseOf(path) + ".kept-" + stamp(lastActivity) + ".dat";
}

std::vector<std::string> keptRecoveryFiles(const std::string& path) {
    std::vector<std::string> found;
    const fs::path base(baseOf(path) + ".kept-");
    const std::string prefix = base.filename().string();
    std::error_code ec;
    const fs::path folder = base.has_parent_path() ? base.parent_path() : fs::path(".");
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() > prefix.size() + 4 && name.starts_with(prefix) && name.ends_with(".dat"))
            found.push_back((base.parent_path() / name).string());
    }
    // The stamp is the period's last activity, oldest first; of two with the
    // same stamp, the one kept first (no number, then -2, -3, ...).
    const auto order = [&](const std::string& p) {
        const std::string_view rest =
            std::string_view(p).substr(p.size() - fs::path(p).filename().string().size() + prefix.size());
        const std::string_view stampPart = rest.substr(0, std::min<std::size_t>(15, rest.size()));
        int n = 1;
        if (rest.size() > 15 + 4 && rest[15] == '-') n = std::atoi(std::string(rest.substr(16)).c_str());
        return std::pair(std::string(stampPart), n);
    };
    std::sort(found.begin(), found.end(),
              [&](const std::string& a, const std::string& b) { return order(a) < order(b); });
    return found;
}

std::optional<std::string> moveToKept(const std::string& path, const LocalDateTime& lastActivity,
                                      std::error_code& error) {
    return moveToFreeName(path, keptRecoveryPath(path, lastActivity), error);
}

bool recordStandsAt(const std::string& historyPath, const RecoveryRecord& record, std::string_view recordLine,
                    std::string_view headerLine) {
    if (!record.historySize) return false;
    std::FILE* f = std::fopen(historyPath.c_str(), "rb");
    if (f == nullptr) return false;
    // What an append at that place wrote first: a line end for an unended
    // last line, or the header of a new file.
    const std::size_t most = 2 + headerLine.size() + 2 + recordLine.size() + 2;
    std::string bytes(most, '\0');
    std::size_t got = 0;
    if (*record.historySize <= static_cast<std::uint64_t>(std::numeric_limits<long>::max()) &&
        std::fseek(f, static_cast<long>(*record.historySize), SEEK_SET) == 0)
        got = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    std::string_view at(bytes.data(), got);
    if (at.starts_with("\r\n"))
        at.remove_prefix(2);
    else if (at.starts_with("\n"))
        at.remove_prefix(1);
    if (*record.historySize == 0 && at.starts_with(headerLine) && at.substr(headerLine.size()).starts_with("\r\n"))
        at.remove_prefix(headerLine.size() + 2);
    return at.starts_with(recordLine) && at.substr(recordLine.size()).starts_with("\r\n");
}

RecoveryWriteRule::RecoveryWriteRule(std::function<Clock::time_point()> now, std::chrono::milliseconds interval)
    : now_(std::move(now)), interval_(interval) {}

bool RecoveryWriteRule::due() const {
    if (!changed_) return false;
    return !lastWrite_ || now_() - *lastWrite_ >= interval_;
}

std::optional<RecoveryWriteRule::Clock::duration> RecoveryWriteRule::dueIn() const {
    if (!changed_) return std::nullopt;
    if (!lastWrite_) return Clock::duration::zero();
    const Clock::duration left = *lastWrite_ + interval_ - now_();
    return left > Clock::duration::zero() ? left : Clock::duration::zero();
}

void RecoveryWriteRule::wrote(bool succeeded) {
    lastWrite_ = now_();
    if (succeeded) changed_ = false;
}

}  // namespace pressory::history
