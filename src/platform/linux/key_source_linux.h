// The choice of key-state source on Linux, with the input-device folder and
// the environment as parameters so that it can be tried with one's own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/environment.h"
#include "platform/key_source.h"

namespace pressory::platform {

// Shown when no source can read the key state.
extern const std::string_view kNoKeyStateText;
// Shown once at start when a Wayland session is counted through X11.
extern const std::string_view kX11OnlyText;

enum class LinuxKeySourceKind { X11, Evdev };

// A Wayland session: XDG_SESSION_TYPE is "wayland" or WAYLAND_DISPLAY is set.
bool isWaylandSession(const EnvironmentLookup& env);

// The sources to try, best first. X11 sees only what X11 windows receive, so
// in a Wayland session (where Qt itself may run on XWayland) the input
// devices come first; X11 needs Qt on xcb.
std::vector<LinuxKeySourceKind> linuxKeySourceOrder(const std::string& qtPlatformName, bool waylandSession);

KeySourceChoice chooseLinuxKeySource(const std::string& qtPlatformName, const std::string& inputDir,
                                     const EnvironmentLookup& env);

}  // namespace pressory::platform
