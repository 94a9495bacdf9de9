#include "platform/linux/key_source_linux.h"

#include "platform/evdev/evdev_key_source.h"
#if PRESSORY_HAVE_X11
#include "platform/x11/x11_key_source.h"
#endif

namespace pressory::platform {

const std::string_view kNoKeyStateText =
    "キーボードとマウスの状態を読み取れないため、キーの押下を数えられません。\n"
    "\n"
    "X11 のセッションでないとき (Wayland やコンソール) は、入力デバイス "
    "(/dev/input/event*) を直接読みます。それには、次のコマンドでユーザーを "
    "input グループに加えてから、ログインし直してください。\n"
    "\n"
    "    sudo usermod -aG input $USER\n"
    "\n"
    "input グループのユーザーは、すべての入力デバイスを読めるようになります "
    "(そのユーザーのどのプログラムも、キー入力を記録できるようになります)。";

KeySourceChoice chooseLinuxKeySource(const std::string& qtPlatformName, const std::string& inputDir) {
#if PRESSORY_HAVE_X11
    if (qtPlatformName == "xcb") {
        if (auto x = x11::X11KeySource::open()) return {std::move(x), {}};
    }
#else
    (void)qtPlatformName;
#endif
    auto ev = std::make_unique<evdev::EvdevKeySource>(
        inputDir, [](const std::string& path) -> std::unique_ptr<evdev::InputDevice> {
            return evdev::FdInputDevice::open(path);
        });
    if (ev->hasKeyboard()) return {std::move(ev), {}};
    return {nullptr, std::string(kNoKeyStateText)};
}

KeySourceChoice chooseKeySource(const std::string& qtPlatformName) {
    return chooseLinuxKeySource(qtPlatformName, "/dev/input");
}

}  // namespace pressory::platform
