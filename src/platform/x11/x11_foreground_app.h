// The application of the X11 window that has the focus: the class part of
// the WM_CLASS of the window the window manager names in _NET_ACTIVE_WINDOW
// on the root window. Read once when the active window changes (the root's
// property change wakes the program), never per press. Empty when the window
// manager does not say which window is active, when no window is, or when
// the active window has no class.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/foreground_app.h"

struct xcb_connection_t;

namespace pressory::platform::x11 {

class X11ForegroundApp final : public ForegroundApp {
public:
    // Opens its own connection to the display (null: $DISPLAY) and reads the
    // active window's class. Null when the display cannot be opened.
    static std::unique_ptr<X11ForegroundApp> open(const char* displayName = nullptr);
    ~X11ForegroundApp() override;
    X11ForegroundApp(const X11ForegroundApp&) = delete;
    X11ForegroundApp& operator=(const X11ForegroundApp&) = delete;

    // The connection's socket: readable when the active window may have changed.
    int wakeHandle() const override;
    // Reads the changes that have arrived; when the active window has
    // changed, the class of the one active now.
    void pump() override;
    // The class of the active window as of the last pump().
    std::string current() override { return class_; }

private:
    X11ForegroundApp(xcb_connection_t* c, std::uint32_t root, std::uint32_t activeAtom);
    void readActive();

    xcb_connection_t* c_;
    std::uint32_t root_;
    std::uint32_t activeAtom_;  // _NET_ACTIVE_WINDOW
    std::string class_;
};

}  // namespace pressory::platform::x11
