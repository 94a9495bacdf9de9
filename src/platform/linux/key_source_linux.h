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
// Told when a Wayland session is counted through X11.
extern const std::string_view kX11OnlyText;
// Added when the window itself runs on Wayland (no X server, or the person chose it).
extern const std::string_view kWaylandWindowText;
// How to read the input devices without the program's helper: the `input` group.
extern const std::string_view kInputGroupAdvice;
// What inUse() says of X11 in a Wayland session.
extern const std::string_view kXWaylandOnlyInUse;

// What the notice adds on how to let the program read the input devices:
// with the helper at `helperPath`, what the notice's button allows and how
// to undo it; without one (empty), the `input` group.
std::string accessAdvice(const std::string& helperPath);

enum class LinuxKeySourceKind { X11, Evdev };

// A Wayland session: XDG_SESSION_TYPE is "wayland" or WAYLAND_DISPLAY is set.
bool isWaylandSession(const EnvironmentLookup& env);

// The Qt platform the window is to use, for QT_QPA_PLATFORM: in a Wayland
// session with an X server (XWayland), X11 ("xcb", falling back to Wayland
// should the server not answer), because a Wayland window cannot place
// itself or stay above the others. Empty when Qt is to choose: outside
// Wayland, without $DISPLAY, or when the person set QT_QPA_PLATFORM.
std::string windowPlatformFor(const EnvironmentLookup& env);

// The sources to try, best first. X11 sees only what X11 windows receive, so
// in a Wayland session the input devices come first.
std::vector<LinuxKeySourceKind> linuxKeySourceOrder(bool waylandSession);

KeySourceChoice chooseLinuxKeySource(const std::string& qtPlatformName, const std::string& inputDir,
                                     const EnvironmentLookup& env);

}  // namespace pressory::platform
