#include "platform/environment.h"
#include "platform/foreground_app.h"
#include "platform/linux/key_source_linux.h"
#if PRESSORY_HAVE_X11
#include "platform/x11/x11_foreground_app.h"
#endif

namespace pressory::platform {

// An X11 session: the X server's active window. In a Wayland session the X
// server knows only its own windows, so the application is not known there.
std::unique_ptr<ForegroundApp> makeForegroundApp() {
#if PRESSORY_HAVE_X11
    const EnvironmentLookup env = processEnvironment();
    const char* display = env("DISPLAY");
    if (isWaylandSession(env) || display == nullptr || display[0] == '\0') return nullptr;
    return x11::X11ForegroundApp::open();
#else
    return nullptr;
#endif
}

}  // namespace pressory::platform
