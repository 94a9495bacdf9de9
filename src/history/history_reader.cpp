#include "history/history_reader.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace pressory::history {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kChunk = 64 * 1024;
constexpr std::uintmax_t kPumpEvery = 1024 * 1024;

// A read-only file with positioned reads and a byte count for the pump.
class Source {
public:
    bool open(const std::string& path) {
        if (!file_.open(path, std::ios::in | std::ios::binary)) return false;
        const auto end = file_.pubseekoff(0, std::ios::end, std::ios::in);
        if (end == std::streamoff(-1) || end < 0) return false;
        size_ = static_cast<std::uintmax_t>(static_cast<std::streamoff>(end));
        return true;
    }

    std::uintmax_t size() const { return size_; }
    bool shortRead() const { return shortRead_; }

    // Reads [pos, pos + n) into out; false (and shortRead()) if fewer bytes
    // came back than the file had when it was opened.
    bool read(std::uintmax_t pos, std::size_t n, std::string& out, const Pump& pump) {
        out.resize(n);
        if (n == 0) return true;
        if (file_.pubseekpos(static_cast<std::streamoff>(pos), std::ios::in) == std::streampos(-1)) {
            shortRead_ = true;
            return false;
        }
        const auto got = file_.sgetn(out.data(), static_cast<std::streamsize>(n));
        if (got != static_cast<std::streamsize>(n)) {
            shortRead_ = true;
            return false;
        }
        sincePump_ += n;
        if (pump && sincePump_ >= kPumpEvery) {
            sincePump_ = 0;
            pump();
        }
        return true;
    }

private:
    std::filebuf file_;
    std::uintmax_t size_ = 0;
    std::uintmax_t sincePump_ = 0;
    bool shortRead_ = false;
};

bool endsWithCrLf(Source& src, const Pump& pump, bool& ok) {
    ok = true;
    if (src.size() < 2) return false;
    std::string tail;
    if (!src.read(src.size() - 2, 2, tail, pump)) {
        ok = false;
        return false;
    }
    return tail[0] == '\r' && tail[1] == '\n';
}

}  // namespace

Row splitFields(std::string_view line) {
    if (line.size() > kRowByteLimit) line = line.substr(0, kRowByteLimit);
    Row fields;
    std::size_t from = 0;
    for (;;) {
        if (fields.size() + 1 == kRowFieldLimit) {
            // The last field kept ends where the next comma is, or at the end.
            const std::size_t comma = line.find(',', from);
            fields.emplace_back(line.substr(from, comma == std::string_view::npos ? line.size() - from : comma - from));
            break;
        }
        const std::size_t comma = line.find(',', from);
        if (comma == std::string_view::npos) {
            fields.emplace_back(line.substr(from));
            break;
        }
        fields.emplace_back(line.substr(from, comma - from));
        from = comma + 1;
    }
    return fields;
}

NewestLines readNewestLines(const std::string& path, int maxRecords, const Pump& pump) {
    NewestLines result;

    // Only a regular file is opened: a folder cannot be read as lines, and a
    // device or a pipe could block or never end.
    std::error_code ec;
    const fs::file_status st = fs::status(fs::path(path), ec);
    if (st.type() == fs::file_type::not_found) {
        result.status = ReadStatus::Missing;
        return result;
    }
    if (ec) {
        result.status = ReadStatus::CannotOpen;
        return result;
    }
    if (!fs::is_regular_file(st)) {
        result.status = ReadStatus::NotAFile;
        return result;
    }

    Source src;
    if (!src.open(path)) {
        result.status = fs::exists(fs::path(path), ec) ? ReadStatus::CannotOpen : ReadStatus::Missing;
        return result;
    }
    const std::uintmax_t size = src.size();
    result.status = ReadStatus::Ok;
    if (size == 0) return result;

    const std::size_t wanted = maxRecords > 0 ? static_cast<std::size_t>(maxRecords) : 0;
    std::vector<Row> records;
    records.reserve(std::min<std::size_t>(wanted, 4096));

    auto changed = [&result]() {
        result.status = ReadStatus::Changed;
        result.rows.clear();
        result.widestRow = 0;
        return result;
    };

    bool ok = true;
    // The content of the newest line not yet placed ends here; a final CR LF
    // ends the last line and opens no empty line after it.
    std::uintmax_t lineEnd = endsWithCrLf(src, pump, ok) ? size - 2 : size;
    if (!ok) return changed();

    // Walks back over [0, lineEnd) a chunk at a time. Chunk [lo, hi) is read
    // with one byte more (when there is one) so that a CR at hi - 1 whose LF
    // lies in the chunk after it is found.
    std::string buf;
    std::uintmax_t bufStart = 0;
    std::string lineBytes;
    std::vector<std::size_t> terminators;
    const std::uintmax_t scanEnd = lineEnd;
    std::uintmax_t hi = scanEnd;
    bool done = wanted == 0;

    // The kept bytes of the line [from, to): from the chunk in hand when they
    // lie inside it, otherwise read again.
    auto keptBytes = [&](std::uintmax_t from, std::uintmax_t to, std::string_view& out) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uintmax_t>(to - from, kRowByteLimit));
        if (from >= bufStart && from + n <= bufStart + buf.size()) {
            out = std::string_view(buf).substr(static_cast<std::size_t>(from - bufStart), n);
            return true;
        }
        if (!src.read(from, n, lineBytes, pump)) return false;
        out = lineBytes;
        return true;
    };

    while (!done && hi > 0) {
        const std::uintmax_t lo = hi > kChunk ? hi - kChunk : 0;
        const std::uintmax_t readEnd = std::min<std::uintmax_t>(hi + 1, scanEnd);
        if (!src.read(lo, static_cast<std::size_t>(readEnd - lo), buf, pump)) return changed();
        bufStart = lo;

        // Every CR LF that starts in [lo, hi), found front to back, placed back to front.
        terminators.clear();
        const char* const base = buf.data();
        const std::size_t starts = static_cast<std::size_t>(hi - lo);
        std::size_t at = 0;
        while (at < buf.size()) {
            const void* lf = std::memchr(base + at, '\n', buf.size() - at);
            if (!lf) break;
            const std::size_t q = static_cast<std::size_t>(static_cast<const char*>(lf) - base);
            if (q >= 1 && base[q - 1] == '\r' && q - 1 < starts) terminators.push_back(q - 1);
            at = q + 1;
        }
        for (auto it = terminators.rbegin(); it != terminators.rend(); ++it) {
            const std::uintmax_t p = lo + *it;
            std::string_view bytes;
            if (!keptBytes(p + 2, lineEnd, bytes)) return changed();
            records.push_back(splitFields(bytes));
            lineEnd = p;
            if (records.size() == wanted) {
                done = true;
                break;
            }
        }
        hi = lo;
    }

    // The header is the line that starts the file. When the walk found every
    // line end, it is what is left; when it stopped early, its end is not
    // known yet: it ends at the first CR LF.
    std::string_view headerBytes;
    if (!done) {
        if (!keptBytes(0, lineEnd, headerBytes)) return changed();
    } else {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uintmax_t>(size, kRowByteLimit + 1));
        if (!src.read(0, n, lineBytes, pump)) return changed();
        const std::size_t crlf = lineBytes.find("\r\n");
        headerBytes = std::string_view(lineBytes).substr(0, std::min(crlf, kRowByteLimit));
    }
    result.rows.reserve(records.size() + 1);
    result.rows.push_back(splitFields(headerBytes));
    for (auto& r : records) result.rows.push_back(std::move(r));
    for (const auto& r : result.rows) result.widestRow = std::max(result.widestRow, r.size());
    return result;
}

}  // namespace pressory::history
