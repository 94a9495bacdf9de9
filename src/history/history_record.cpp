#include "history/history_record.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "counting/key_layout.h"
#include "files/file_reason.h"

namespace pressory::history {

using files::kReasonNotRegularFile;
using files::reasonText;

namespace {

namespace fs = std::filesystem;

// The four special-key groups of the ratio columns, in column order.
constexpr std::uint8_t kMouse[] = {1, 2};    // left and right button; not the middle one
constexpr std::uint8_t kDelete[] = {8, 46};  // Backspace, Delete
constexpr std::uint8_t kEnter[] = {13};
constexpr std::uint8_t kCursor[] = {37, 38, 39, 40};  // left, up, right, down
constexpr std::span<const std::uint8_t> kGroups[] = {kMouse, kDelete, kEnter, kCursor};

constexpr std::string_view kFixedHeader[] = {
    "ログアウトの時刻", "マウス", "削除", "Enter", "カーソル", "  1", "  2", "  3", "  4", "  5",
};

template <typename Int>
void appendInt(std::string& out, Int value) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

void appendTwoDigits(std::string& out, std::uint64_t v) {
    out.push_back(static_cast<char>('0' + v / 10));
    out.push_back(static_cast<char>('0' + v % 10));
}

std::string_view captionOf(int vk) {
    const counting::KeyCell* c = counting::layout::cell(vk);
    return c ? c->caption : std::string_view{};
}

}  // namespace

std::string formatDateTime(const LocalDateTime& t) {
    char buf[80];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return buf;
}

// The share is the quotient groupSum / total computed in double precision,
// rounded to four decimals with halves to the even neighbour, then shown in
// percent with two decimals. The rounding is decided on the exact value of
// that double, never on a second floating-point product such as q * 10000
// (which would turn 1 of 20000 into an exact 0.5 and round it down).
//
// Exact integer division gives the ten-thousandths n and the remainder r of
// the true quotient v = groupSum / total. For counts that fit in 53 bits the
// double q = fl(v) can never fall on the far side of a rounding boundary from
// v (the nearest boundary is at least 1 / (20000 * total) away from v, far
// more than half a unit in the last place of q), so only an exact halfway v
// needs more care: there q decides. When the halfway point is a binary
// fraction (1 of 32 = 0.03125) q equals it and the tie goes to even; when it
// is not (1 of 20000 = 0.00005) q lies a little above or below it and the
// rounding follows q. The side is the sign of q * total - groupSum, which the
// fused multiply-add gives exactly (the remainder of a correctly rounded
// division is itself representable).
std::string formatRatio(std::int64_t groupSum, std::int32_t total) {
    if (total < 1) return {};
    const bool negative = groupSum < 0;
    const std::uint64_t a = negative ? 0 - static_cast<std::uint64_t>(groupSum) : static_cast<std::uint64_t>(groupSum);
    const auto b = static_cast<std::uint64_t>(total);

    // v = whole + frac / 10000 + r / (10000 * b), without overflow for any input.
    std::uint64_t whole = a / b;
    const std::uint64_t scaled = (a % b) * 10000;  // < 2^31 * 10^4
    std::uint64_t frac = scaled / b;
    const std::uint64_t r = scaled % b;

    bool up = false;
    if (2 * r > b) {
        up = true;
    } else if (2 * r == b) {
        int side = 0;  // sign of q - v
        if (a <= (std::uint64_t{1} << 53)) {
            const double q = static_cast<double>(a) / static_cast<double>(b);
            const double rest = std::fma(q, static_cast<double>(b), -static_cast<double>(a));
            side = rest > 0 ? 1 : (rest < 0 ? -1 : 0);
        }
        up = side > 0 || (side == 0 && frac % 2 == 1);
    }
    if (up && ++frac == 10000) {
        frac = 0;
        ++whole;
    }

    // Percent: whole * 100 + frac / 100, then two decimals frac % 100.
    std::string out;
    if (negative && (whole != 0 || frac != 0)) out.push_back('-');
    if (whole != 0) {
        appendInt(out, whole);
        appendTwoDigits(out, frac / 100);
    } else {
        appendInt(out, frac / 100);
    }
    out.push_back('.');
    appendTwoDigits(out, frac % 100);
    return out;
}

std::array<std::string_view, 5> topFive(const std::array<std::int32_t, 256>& counts) {
    // Five ranked slots, each starting at count 0 without a caption. A letter
    // enters at the first slot whose count is strictly lower than its own, so
    // a later letter never passes an earlier one with the same count, and a
    // count of 0 never enters. What is pushed out of the last slot is gone.
    std::array<std::int32_t, 5> slotCount{};
    std::array<std::string_view, 5> slotCaption{};
    for (int vk = 'A'; vk <= 'Z'; ++vk) {
        const std::int32_t c = counts[static_cast<std::size_t>(vk)];
        for (std::size_t k = 0; k < 5; ++k) {
            if (slotCount[k] < c) {
                for (std::size_t j = 4; j > k; --j) {
                    slotCount[j] = slotCount[j - 1];
                    slotCaption[j] = slotCaption[j - 1];
                }
                slotCount[k] = c;
                slotCaption[k] = captionOf(vk);
                break;
            }
        }
    }
    return slotCaption;
}

std::string headerLine(std::span<const std::uint8_t> polledCodes, std::string_view summaryCaption) {
    std::string line;
    line.reserve(64 + 8 * polledCodes.size());
    for (auto text : kFixedHeader) {
        line.append(text);
        line.push_back(',');
    }
    line.append(summaryCaption);
    for (auto vk : polledCodes) {
        line.push_back(',');
        line.append(captionOf(vk));
    }
    return line;
}

std::string recordLine(const LocalDateTime& when, std::span<const std::uint8_t> polledCodes,
                       const std::array<std::int32_t, 256>& counts, std::int32_t total) {
    // Only the polled keys take part; every other code counts as 0.
    std::array<std::int32_t, 256> table{};
    for (auto vk : polledCodes) table[vk] = counts[vk];

    std::string line;
    line.reserve(96 + 12 * polledCodes.size());
    line.append(formatDateTime(when));
    for (auto group : kGroups) {
        std::int64_t sum = 0;  // 64 bits: four counts near 2^31 must not overflow
        for (auto vk : group) sum += table[vk];
        line.push_back(',');
        line.append(formatRatio(sum, total));
    }
    for (auto caption : topFive(table)) {
        line.push_back(',');
        line.append(caption);
    }
    line.push_back(',');
    appendInt(line, total);
    for (auto vk : polledCodes) {
        line.push_back(',');
        appendInt(line, table[vk]);
    }
    return line;
}

std::string historyPath(const std::string& programFolder) {
#ifdef _WIN32
    // Always one separator after the folder: a drive root "C:\" gives
    // "C:\\PressoryHistory.csv", as the program has always shown it.
    return programFolder + '\\' + kFileName;
#else
    if (!programFolder.empty() && programFolder.back() == '/') return programFolder + kFileName;
    return programFolder + '/' + kFileName;
#endif
}

std::string_view lineEndRepair(std::string_view fileTail) {
    if (fileTail.empty() || fileTail.back() == '\n') return {};
    if (fileTail.back() == '\r') return "\n";
    return "\r\n";
}

std::string writeAndClose(std::FILE* f, std::string_view bytes, const FlushFile& flush) {
    std::string reason;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fflush(f) != 0) {
        reason = reasonText(errno);
    } else if (flush) {
        if (const std::error_code flushed = flush(f)) reason = reasonText(flushed);
    }
    errno = 0;
    if (std::fclose(f) != 0 && reason.empty()) reason = reasonText(errno);
    return reason;
}

WriteResult appendRecord(const std::string& path, std::string_view headerUtf8, std::string_view recordUtf8,
                         const Encoder& encode, const FlushFile& flush, const SyncFolder& syncFolder) {
    WriteResult result;
    result.path = path;

    // Whether the file is there decides the header, and what a failed write
    // undoes; when even that cannot be told, nothing is written. Only a
    // regular file is opened: opening a pipe would wait for a reader.
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (ec && st.type() != fs::file_type::not_found) {
        result.reason = reasonText(ec);
        return result;
    }
    const bool existed = fs::exists(st);
    if (fs::is_directory(st)) {
        result.reason = reasonText(std::make_error_code(std::errc::is_a_directory));
        return result;
    }
    if (existed && !fs::is_regular_file(st)) {
        result.reason = kReasonNotRegularFile;
        return result;
    }

    std::string text;
    text.reserve(headerUtf8.size() + recordUtf8.size() + 4);
    if (!existed) {
        text.append(headerUtf8);
        text.append("\r\n");
    }
    text.append(recordUtf8);
    text.append("\r\n");
    std::optional<std::string> bytes = encode ? encode(text) : std::nullopt;
    if (!bytes) {
        result.reason = reasonText(std::make_error_code(std::errc::illegal_byte_sequence));
        return result;
    }

    // Read and append: the file's last bytes tell whether its last line
    // ended. A file that may be written but not read is appended to as it is.
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), "a+b");
    bool tailKnown = f != nullptr;
    if (!f && existed && errno == EACCES) {
        errno = 0;
        f = std::fopen(path.c_str(), "ab");
    }
    if (!f) {
        result.reason = reasonText(errno == 0 ? EACCES : errno);
        return result;
    }
    // Unbuffered: the whole text goes to the file in one write.
    std::setvbuf(f, nullptr, _IONBF, 0);

    int err = 0;
    bool failed = false;
    std::uintmax_t formerSize = 0;  // the length to cut back to
    const long size = std::fseek(f, 0, SEEK_END) == 0 ? std::ftell(f) : -1;
    const bool sizeKnown = size >= 0;
    if (sizeKnown) {
        formerSize = static_cast<std::uintmax_t>(size);
    } else {
        failed = true;  // nothing is written where it could not be undone
        err = errno;
    }
    if (!failed && tailKnown && formerSize > 0) {
        const long back = formerSize >= 2 ? 2 : 1;
        char tail[2];
        std::size_t got = 0;
        if (std::fseek(f, -back, SEEK_END) == 0) got = std::fread(tail, 1, static_cast<std::size_t>(back), f);
        if (got != static_cast<std::size_t>(back)) {
            failed = true;
            err = errno;
        } else {
            bytes->insert(0, lineEndRepair(std::string_view(tail, got)));
        }
        // A write after a read needs a positioning call between them.
        if (!failed && std::fseek(f, 0, SEEK_END) != 0) {
            failed = true;
            err = errno;
        }
    }

    if (failed) {
        std::fclose(f);
    } else {
        result.reason = writeAndClose(f, *bytes, flush);
        failed = !result.reason.empty();
    }
    if (!failed && !existed && syncFolder) {
        if (const std::error_code synced = syncFolder(path)) {
            result.reason = reasonText(synced);
            failed = true;
        }
    }
    if (!failed) {
        result.ok = true;
        return result;
    }

    // Leave the file as it was: a file this write created goes again (an empty
    // file left behind would make the next record go in without a header);
    // an older file is cut back to its former length.
    if (result.reason.empty()) result.reason = reasonText(err);
    std::error_code cut;
    if (!existed) {
        fs::remove(path, cut);
    } else if (sizeKnown) {
        fs::resize_file(path, formerSize, cut);
    }
    if (cut) result.reason.append(" ").append(reasonText(cut));
    return result;
}

}  // namespace pressory::history
