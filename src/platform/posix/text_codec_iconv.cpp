#include "platform/text_codec.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace pressory::platform {
namespace {

// "CP932" keeps "\" at 0x5C and "～" at 0x81 0x60, as Windows writes them;
// glibc's "SHIFT_JIS" would turn 0x5C into the yen sign.
std::optional<std::string> convert(const char* to, const char* from, std::string_view in) {
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out;
    out.resize(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    std::size_t done = 0;
    bool ok = true;
    while (srcLeft > 0) {
        char* dst = out.data() + done;
        std::size_t dstLeft = out.size() - done;
        const std::size_t r = ::iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        done = out.size() - dstLeft;
        if (r == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            ok = false;  // EILSEQ or EINVAL: a character that has no conversion
            break;
        }
    }
    ::iconv_close(cd);
    if (!ok) return std::nullopt;
    out.resize(done);
    return out;
}

bool isAscii(std::string_view s) {
    for (const char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// One conversion handle per thread, opened at first use: the viewer converts
// many short fields.
struct Cp932Decoder {
    iconv_t cd = ::iconv_open("UTF-8", "CP932");
    ~Cp932Decoder() {
        if (cd != reinterpret_cast<iconv_t>(-1)) ::iconv_close(cd);
    }
};

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

std::string cp932ToUtf8Lossy(std::string_view in) {
    // Code page 932 is ASCII below 0x80 (the backslash stays 0x5C, the tilde 0x7E).
    if (isAscii(in)) return std::string(in);
    thread_local Cp932Decoder decoder;
    std::string out;
    if (decoder.cd == reinterpret_cast<iconv_t>(-1)) {
        for (const char c : in) {
            if (static_cast<unsigned char>(c) < 0x80)
                out.push_back(c);
            else
                out.append(kReplacement);
        }
        return out;
    }
    ::iconv(decoder.cd, nullptr, nullptr, nullptr, nullptr);
    out.resize(in.size() * 3 + 16);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    std::size_t done = 0;
    while (srcLeft > 0) {
        if (out.size() - done < 16) out.resize(out.size() * 2);
        char* dst = out.data() + done;
        std::size_t dstLeft = out.size() - done;
        const std::size_t r = ::iconv(decoder.cd, &src, &srcLeft, &dst, &dstLeft);
        done = out.size() - dstLeft;
        if (r != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ (no such character) or EINVAL (cut off at the end): one
        // byte is replaced and the next one starts afresh.
        out.resize(std::max(out.size(), done + 3));
        out.replace(done, 3, kReplacement, 3);
        done += 3;
        ++src;
        --srcLeft;
        ::iconv(decoder.cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(done);
    return out;
}

std::optional<std::string> utf8ToCp932(std::string_view utf8) { return convert("CP932", "UTF-8", utf8); }
std::optional<std::string> cp932ToUtf8(std::string_view cp932) { return convert("UTF-8", "CP932", cp932); }

}  // namespace pressory::platform
