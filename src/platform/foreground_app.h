// Which application the person is typing into.
#pragma once

#include <memory>
#include <string>

namespace pressory::platform {

// The application of the focused window: on X11 the class of the window of
// _NET_ACTIVE_WINDOW (its WM_CLASS), read when the active window changes, not
// per press; on Windows the executable name of the foreground window
// ("notepad.exe"). Empty when it cannot be known (a native Wayland window, no
// window manager that tells).
class ForegroundApp {
public:
    virtual ~ForegroundApp() = default;
    // A handle that is readable when the focus may have changed; -1 when the
    // answer is read on demand (Windows).
    virtual int wakeHandle() const { return -1; }
    // Reads what has arrived, without blocking.
    virtual void pump() {}
    virtual std::string current() = 0;
};

// Null when this session cannot tell the application at all.
std::unique_ptr<ForegroundApp> makeForegroundApp();

}  // namespace pressory::platform
