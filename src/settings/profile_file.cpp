#include "settings/profile_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace pressory::settings::profile {

namespace fs = std::filesystem;

namespace {

constexpr bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }
constexpr bool isLineEnd(char c) { return c == '\r' || c == '\n'; }
constexpr char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return fold(x) == fold(y); });
}

bool isQuote(char c) { return c == '"' || c == '\''; }

bool enclosedInQuotes(std::string_view v) { return v.size() >= 2 && v.front() == v.back() && isQuote(v.front()); }

bool hasLineEnd(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// A UTF-8 byte order mark (as some editors save the file) is not part of the first line.
bool startsWithByteOrderMark(std::string_view s) { return s.starts_with("\xEF\xBB\xBF"); }
std::size_t firstLineStart(std::string_view bytes) { return startsWithByteOrderMark(bytes) ? 3 : 0; }

// One line of the file and what it holds.
struct Line {
    enum class Kind { Other, Section, Key };
    Kind kind = Kind::Other;
    std::size_t end = 0;         // where the line's text stops (its line end, or the end of the bytes)
    std::size_t next = 0;        // first byte of the next line
    std::string_view name;       // section or key name, without the blanks around it
    std::size_t valueBegin = 0;  // key lines: the byte after the first "="
};

// A line whose first non-blank character is "[" opens a section named by the
// text up to the first "]" (or up to the line end when the "]" is missing).
// Otherwise a line holding "=" and not beginning with ";" is a key line.
Line readLine(std::string_view bytes, std::size_t at) {
    Line line;
    std::size_t e = at;
    while (e < bytes.size() && !isLineEnd(bytes[e])) ++e;
    line.end = e;
    line.next = e;
    if (e < bytes.size()) line.next += (bytes[e] == '\r' && e + 1 < bytes.size() && bytes[e + 1] == '\n') ? 2 : 1;

    const std::string_view text = bytes.substr(at, e - at);
    std::size_t lead = 0;
    while (lead < text.size() && isBlank(text[lead])) ++lead;
    if (lead == text.size() || text[lead] == ';') return line;
    if (text[lead] == '[') {
        const std::string_view rest = text.substr(lead + 1);
        line.kind = Line::Kind::Section;
        line.name = trim(rest.substr(0, rest.find(']')));
        return line;
    }
    const std::size_t eq = text.find('=', lead);
    if (eq == std::string_view::npos) return line;
    line.kind = Line::Kind::Key;
    line.name = trim(text.substr(lead, eq - lead));
    line.valueBegin = at + eq + 1;
    return line;
}

// Blanks around the value go, then one pair of matching enclosing quotes.
std::string_view valueOf(std::string_view bytes, const Line& line) {
    std::string_view v = trim(bytes.substr(line.valueBegin, line.end - line.valueBegin));
    if (enclosedInQuotes(v)) v = v.substr(1, v.size() - 2);
    return v;
}

// Where the lines of a section begin, just after its section line.
struct SectionStart {
    std::size_t at = 0;
    bool lineEndMissing = false;  // the section line is the file's last line and has no line end
};

// Finds the first section named `section` (the empty name stands for the lines
// before the first section line) and hands each of its key lines to `visit`,
// in file order, until `visit` returns false. Later sections of the same name
// are never consulted. Nothing when there is no such section.
template <class Visit>
std::optional<SectionStart> scanSection(std::string_view bytes, std::string_view section, Visit visit) {
    std::size_t at = firstLineStart(bytes);
    std::optional<SectionStart> start;
    if (section.empty()) start = SectionStart{at, false};
    while (at < bytes.size()) {
        const Line line = readLine(bytes, at);
        if (line.kind == Line::Kind::Section) {
            if (start) break;
            if (sameName(line.name, section)) start = SectionStart{line.next, line.next == line.end};
        } else if (line.kind == Line::Kind::Key && start && !visit(line)) {
            break;
        }
        at = line.next;
    }
    return start;
}

// A value that would lose its outer blanks or quotes on reading goes inside quotes.
std::string storedValue(std::string_view v) {
    const bool quote = !v.empty() && (isBlank(v.front()) || isBlank(v.back()) || enclosedInQuotes(v));
    return quote ? '"' + std::string(v) + '"' : std::string(v);
}

bool storable(std::string_view section, std::string_view key, std::string_view value) {
    return !key.empty() && !hasLineEnd(section) && !hasLineEnd(key) && !hasLineEnd(value) &&
           section.find(']') == std::string_view::npos && key.find('=') == std::string_view::npos &&
           key.front() != '[' && key.front() != ';' && !startsWithByteOrderMark(key);
}

// Files are opened by their narrow names through the C library, which takes
// them in the platform's narrow encoding (a path object would not on Windows).
// The file-system library only tells folders and pipes from files and
// follows a symbolic link; where it cannot read a name, those steps are
// skipped.
std::optional<fs::path> fsPath(const std::string& path) {
    try {
        return fs::path(path);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool notAFile(const std::string& path) {
    std::error_code ec;
    const auto p = fsPath(path);
    const fs::file_type t = p ? fs::status(*p, ec).type() : fs::file_type::none;
    return t == fs::file_type::directory || t == fs::file_type::fifo || t == fs::file_type::socket ||
           t == fs::file_type::block || t == fs::file_type::character;
}

enum class Read { Done, Missing, Failed };

Read readFile(const std::string& path, std::string& out) {
    if (notAFile(path)) return Read::Failed;
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return errno == ENOENT ? Read::Missing : Read::Failed;
    if (std::fseek(f, 0, SEEK_END) == 0) {  // the size, when it can be told, saves growing the text
        const long size = std::ftell(f);
        if (size > 0) out.reserve(static_cast<std::size_t>(size));
        std::rewind(f);
    }
    char buffer[1 << 16];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    return failed ? Read::Failed : Read::Done;
}

// The file a symbolic link at `path` names, or `path` itself.
std::string linkTarget(const std::string& path) {
    std::error_code ec;
    if (const auto p = fsPath(path); p && fs::is_symlink(fs::symlink_status(*p, ec))) {
        const fs::path real = fs::canonical(*p, ec);
        if (!ec) return real.string();
    }
    return path;
}

}  // namespace

ProfileDocument::ProfileDocument(std::string bytes) : bytes_(std::move(bytes)) {}

ProfileDocument ProfileDocument::load(const std::string& path) {
    try {
        std::string bytes;
        if (path.empty() || readFile(path, bytes) != Read::Done) return {};
        return ProfileDocument(std::move(bytes));
    } catch (const std::exception&) {
        return {};
    }
}

std::optional<std::string> ProfileDocument::value(std::string_view section, std::string_view key) const {
    const std::string_view k = trim(key);
    std::optional<std::string> found;
    scanSection(bytes_, trim(section), [&](const Line& line) {
        if (!sameName(line.name, k)) return true;
        found = std::string(valueOf(bytes_, line));
        return false;
    });
    return found;
}

std::vector<std::optional<std::string>> ProfileDocument::values(std::string_view section,
                                                                std::span<const std::string> keys) const {
    std::vector<std::optional<std::string>> found(keys.size());
    // The asked names, folded, each with the places it was asked for.
    std::unordered_map<std::string, std::vector<std::size_t>> asked;
    std::size_t longest = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const std::string_view k = trim(keys[i]);
        std::string name(k.size(), '\0');
        std::transform(k.begin(), k.end(), name.begin(), fold);
        asked[std::move(name)].push_back(i);
        longest = std::max(longest, k.size());
    }
    std::string name;
    scanSection(bytes_, trim(section), [&](const Line& line) {
        if (line.name.size() > longest) return true;
        name.resize(line.name.size());
        std::transform(line.name.begin(), line.name.end(), name.begin(), fold);
        const auto it = asked.find(name);
        if (it == asked.end()) return true;
        for (std::size_t i : it->second) found[i] = std::string(valueOf(bytes_, line));
        asked.erase(it);  // the first of two equal keys wins
        return !asked.empty();
    });
    return found;
}

std::string ProfileDocument::readText(std::string_view section, std::string_view key) const {
    return value(section, key).value_or(std::string());
}

std::int32_t ProfileDocument::readInt(std::string_view section, std::string_view key, std::int32_t def) const {
    const auto v = value(section, key);
    return v ? parseProfileInt(*v, def) : def;
}

std::int32_t parseProfileInt(std::string_view value, std::int32_t def) {
    std::size_t i = 0;
    while (i < value.size() && isBlank(value[i])) ++i;
    if (i == value.size()) return def;
    bool negative = false;
    if (value[i] == '+' || value[i] == '-') negative = value[i++] == '-';
    constexpr std::int64_t kBeyond = std::int64_t{1} << 32;  // far enough past either limit
    std::int64_t n = 0;
    bool digits = false;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        digits = true;
        n = std::min(n * 10 + (value[i] - '0'), kBeyond);
    }
    if (!digits) return 0;
    if (negative) n = -n;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(n, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

std::string readText(const std::string& path, std::string_view section, std::string_view key) {
    return ProfileDocument::load(path).readText(section, key);
}

std::int32_t readInt(const std::string& path, std::string_view section, std::string_view key, std::int32_t def) {
    return ProfileDocument::load(path).readInt(section, key, def);
}

std::string withValue(std::string_view bytes, std::string_view section, std::string_view key, std::string_view value) {
    const std::string_view s = trim(section);
    const std::string_view k = trim(key);
    if (!storable(s, k, value)) return std::string(bytes);
    const std::string stored = storedValue(value);

    std::optional<Line> match;    // the first line of that key
    std::optional<Line> lastKey;  // the section's last key line
    const std::optional<SectionStart> start = scanSection(bytes, s, [&](const Line& line) {
        if (sameName(line.name, k)) {
            match = line;
            return false;
        }
        lastKey = line;
        return true;
    });
    if (match) {
        std::string out(bytes);
        out.replace(match->valueBegin, match->end - match->valueBegin, stored);
        return out;
    }
    // The new line goes after the section's last key line, or just after its
    // section line, or with a new section line at the end of the file.
    std::size_t insertAt = bytes.size();
    bool lineEndFirst = bytes.size() > firstLineStart(bytes) && !isLineEnd(bytes.back());
    if (lastKey) {
        insertAt = lastKey->next;
        lineEndFirst = lastKey->next == lastKey->end;
    } else if (start) {
        insertAt = start->at;
        lineEndFirst = start->lineEndMissing;
    }
    std::string out;
    out.reserve(bytes.size() + s.size() + k.size() + stored.size() + 9);
    out.append(bytes.substr(0, insertAt));
    if (lineEndFirst) out.append("\r\n");
    if (!start) out.append("[").append(s).append("]\r\n");
    out.append(k).append("=").append(stored).append("\r\n");
    out.append(bytes.substr(insertAt));
    return out;
}

std::error_code removeStaleTemporary(const std::string& path, const files::OwnFile& own) {
    std::error_code result;
    try {
        const std::string target = linkTarget(path);
        result = files::removeTemporaries(path, own);
        if (target != path) {
            const std::error_code ec = files::removeTemporaries(target, own);
            if (!result) result = ec;
        }
    } catch (const std::exception&) {
        if (!result) result = std::make_error_code(std::errc::not_enough_memory);
    }
    return result;
}

bool writeValues(const std::string& path, std::span<const KeyValue> values, const files::ReplaceFile& replace) {
    if (path.empty()) return false;
    try {
        // Through a symbolic link the file it names is written; the link stays.
        const std::string target = linkTarget(path);
        std::string before;
        if (readFile(target, before) == Read::Failed) return false;

        bool allStored = true;
        std::string after = before;
        for (const KeyValue& v : values) {
            if (storable(trim(v.section), trim(v.key), v.value))
                after = withValue(after, v.section, v.key, v.value);
            else
                allStored = false;
        }
        if (after == before) return allStored;
        const std::error_code ec = replace ? replace(target, after) : files::replaceWithoutSync(target, after);
        return !ec && allStored;
    } catch (const std::exception&) {
        return false;
    }
}

bool writeText(const std::string& path, std::string_view section, std::string_view key, std::string_view value,
               const files::ReplaceFile& replace) {
    if (!storable(trim(section), trim(key), value)) return false;
    const KeyValue one{section, key, value};
    return writeValues(path, std::span(&one, 1), replace);
}

}  // namespace pressory::settings::profile
