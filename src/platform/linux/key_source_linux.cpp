#include "platform/linux/key_source_linux.h"

#include <cstring>

#include "platform/evdev/evdev_key_source.h"
#if PRESSORY_HAVE_X11
#include "platform/x11/x11_key_source.h"
#endif

namespace pressory::platform {

// How to let the program read the input devices, and what that grants.
#define PRESSORY_INPUT_GROUP_ADVICE                                                                           \
    "それには、次のコマンドでユーザーを "                                                    \
    "input グループに加えてから、ログインし直してください。\n"                        \
    "\n"                                                                                                      \
    "    sudo usermod -aG input $USER\n"                                                                      \
    "\n"                                                                                                      \
    "input グループのユーザーは、すべての入力デバイスを読めるようになります " \
    "(そのユーザーのどのプログラムも、キー入力を記録できるようになります)。"

const std::string_view kNoKeyStateText =
    "キーボードとマウスの状態を読み取れないため、キーの押下を数えられません。\n"
    "\n"
    "X11 のセッションでないとき (Wayland やコンソール) は、入力デバイス "
    "(/dev/input/event*) を直接読みます。" PRESSORY_INPUT_GROUP_ADVICE;

const std::string_view kX11OnlyText =
    "Wayland のセッションでは入力デバイスを読み取れないため、X11 のアプリケーションに"
    "入力したキーの押下だけを数えます。Wayland のアプリケーションでの押下は数えられません。\n"
    "\n"
    "すべてのアプリケーションでの押下を数えるには、入力デバイス "
    "(/dev/input/event*) を直接読みます。" PRESSORY_INPUT_GROUP_ADVICE;

#undef PRESSORY_INPUT_GROUP_ADVICE

bool isWaylandSession(const EnvironmentLookup& env) {
    const char* type = env("XDG_SESSION_TYPE");
    if (type != nullptr && std::strcmp(type, "wayland") == 0) return true;
    const char* display = env("WAYLAND_DISPLAY");
    return display != nullptr && display[0] != '\0';
}

std::vector<LinuxKeySourceKind> linuxKeySourceOrder(const std::string& qtPlatformName, bool waylandSession) {
    std::vector<LinuxKeySourceKind> order;
    const bool x11 = qtPlatformName == "xcb";
    if (waylandSession) {
        order.push_back(LinuxKeySourceKind::Evdev);
        if (x11) order.push_back(LinuxKeySourceKind::X11);
    } else {
        if (x11) order.push_back(LinuxKeySourceKind::X11);
        order.push_back(LinuxKeySourceKind::Evdev);
    }
    return order;
}

KeySourceChoice chooseLinuxKeySource(const std::string& qtPlatformName, const std::string& inputDir,
                                     const EnvironmentLookup& env) {
    const bool wayland = isWaylandSession(env);
    for (const LinuxKeySourceKind kind : linuxKeySourceOrder(qtPlatformName, wayland)) {
        if (kind == LinuxKeySourceKind::Evdev) {
            auto ev = std::make_unique<evdev::EvdevKeySource>(
                inputDir, [](const std::string& path) -> std::unique_ptr<evdev::InputDevice> {
                    return evdev::FdInputDevice::open(path);
                });
            if (ev->hasKeyboard()) return {std::move(ev), {}, {}};
        } else {
#if PRESSORY_HAVE_X11
            if (auto x = x11::X11KeySource::open())
                return {std::move(x), {}, wayland ? std::string(kX11OnlyText) : std::string()};
#endif
        }
    }
    return {nullptr, std::string(kNoKeyStateText), {}};
}

KeySourceChoice chooseKeySource(const std::string& qtPlatformName) {
    return chooseLinuxKeySource(qtPlatformName, "/dev/input", processEnvironment());
}

}  // namespace pressory::platform
