#include "platform/text_codec.h"

#include <windows.h>

#include <string>

namespace pressory::platform {
namespace {

std::optional<std::wstring> toWide(UINT cp, std::string_view in) {
    if (in.empty()) return std::wstring{};
    const int n = ::MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), nullptr, 0);
    if (n <= 0) return std::nullopt;
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), w.data(), n);
    return w;
}

std::optional<std::string> fromWide(UINT cp, const std::wstring& w) {
    if (w.empty()) return std::string{};
    BOOL usedDefault = FALSE;
    BOOL* pUsed = cp == CP_UTF8 ? nullptr : &usedDefault;
    const int n = ::WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, pUsed);
    if (n <= 0 || usedDefault) return std::nullopt;
    std::string s(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(cp, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

}  // namespace

std::optional<std::string> utf8ToCp932(std::string_view utf8) {
    auto w = toWide(CP_UTF8, utf8);
    if (!w) return std::nullopt;
    return fromWide(932, *w);
}

std::string cp932ToUtf8Lossy(std::string_view cp932) {
    bool ascii = true;
    for (const char c : cp932) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::string(cp932);
    if (auto whole = cp932ToUtf8(cp932)) return *whole;
    // Character by character: a lead byte and its trail byte, or one byte;
    // what does not convert becomes U+FFFD and the next byte starts afresh.
    std::wstring w;
    std::size_t i = 0;
    while (i < cp932.size()) {
        const auto b = static_cast<unsigned char>(cp932[i]);
        std::size_t n = (::IsDBCSLeadByteEx(932, b) && i + 1 < cp932.size()) ? 2 : 1;
        wchar_t out[2];
        int got = ::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, cp932.data() + i, static_cast<int>(n), out, 2);
        if (got <= 0 && n == 2) n = 1;
        if (got <= 0 || (n == 1 && ::IsDBCSLeadByteEx(932, b))) {
            w.push_back(L'\xFFFD');
            n = 1;
        } else {
            w.append(out, static_cast<std::size_t>(got));
        }
        i += n;
    }
    return fromWide(CP_UTF8, w).value_or(std::string{});
}

std::optional<std::string> cp932ToUtf8(std::string_view cp932) {
    auto w = toWide(932, cp932);
    if (!w) return std::nullopt;
    return fromWide(CP_UTF8, *w);
}

}  // namespace pressory::platform
