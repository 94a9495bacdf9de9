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

std::optional<std::string> cp932ToUtf8(std::string_view cp932) {
    auto w = toWide(932, cp932);
    if (!w) return std::nullopt;
    return fromWide(CP_UTF8, *w);
}

}  // namespace pressory::platform
