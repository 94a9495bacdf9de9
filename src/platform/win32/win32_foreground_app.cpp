#include "platform/win32/win32_foreground_app.h"

#include <windows.h>

#include <iterator>
#include <memory>

namespace pressory::platform::win32 {
namespace {

// The UTF-8 file name (without its folder) of a process's executable.
std::string executableName(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) return {};
    wchar_t path[MAX_PATH * 4];
    DWORD size = static_cast<DWORD>(std::size(path));
    const BOOL ok = QueryFullProcessImageNameW(process, 0, path, &size);
    CloseHandle(process);
    if (!ok || size == 0) return {};
    DWORD start = size;
    while (start > 0 && path[start - 1] != L'\\' && path[start - 1] != L'/') --start;
    const int wide = static_cast<int>(size - start);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, path + start, wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string name(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, path + start, wide, name.data(), bytes, nullptr, nullptr);
    return name;
}

}  // namespace

std::string Win32ForegroundApp::current() {
    HWND window = GetForegroundWindow();
    if (window != static_cast<HWND>(window_)) {
        window_ = window;
        DWORD processId = 0;
        if (window != nullptr) GetWindowThreadProcessId(window, &processId);
        app_ = processId != 0 ? executableName(processId) : std::string();
    }
    return app_;
}

}  // namespace pressory::platform::win32

namespace pressory::platform {

std::unique_ptr<ForegroundApp> makeForegroundApp() { return std::make_unique<win32::Win32ForegroundApp>(); }

}  // namespace pressory::platform
