#include "platform/linux/key_source_linux.h"

#include <cstring>

#include "platform/evdev/evdev_key_source.h"
#include "platform/linux/switching_key_source.h"
#if PRESSORY_HAVE_X11
#include "platform/x11/x11_key_source.h"
#endif

namespace pressory::platform {

const std::string_view kInputGroupAdvice =
    "それには、次のコマンドでユーザーを input グループに加えてから、ログインし直してください。\n"
    "\n"
    "    sudo usermod -aG input $USER\n"
    "\n"
    "input グループのユーザーは、すべての入力デバイスを読めるようになります "
    "(そのユーザーのどのプログラムも、キー入力を記録できるようになります)。";

const std::string_view kNoKeyStateText =
    "キーボードとマウスの状態を読み取れないため、キーの押下を数えられません。\n"
    "\n"
    "X11 のセッションでないとき (Wayland やコンソール) は、入力デバイス "
    "(/dev/input/event*) を直接読みます。";

const std::string_view kX11OnlyText =
    "Wayland のセッションでは入力デバイスを読み取れないため、X11 のアプリケーションに"
    "入力したキーの押下だけを数えます。Wayland のアプリケーションでの押下は数えられません。\n"
    "\n"
    "すべてのアプリケーションでの押下を数えるには、入力デバイス "
    "(/dev/input/event*) を直接読みます。";

const std::string_view kWaylandWindowText =
    "ウィンドウを Wayland で表示しているため、ウィンドウを画面の左下に置くことと、"
    "常に手前に表示することはできません。";

const std::string_view kXWaylandOnlyInUse = "X11 (XWayland のアプリケーションのみ)";

std::string accessAdvice(const std::string& helperPath) {
    if (helperPath.empty()) return std::string(kInputGroupAdvice);
    return "下の「すべてのキーを数える」を押すと、このコンピューターの前にいるあなたに、キーボードと"
           "マウスを読む許可を与えます (管理者のパスワードを尋ねられます)。あなたのどのプログラムも"
           "キーボードを読めるようになります (X11 のプログラムは、今でもそうです)。元に戻すには、"
           "次のコマンドを実行してください。\n"
           "\n"
           "    pkexec " +
           helperPath + " disable";
}

bool isWaylandSession(const EnvironmentLookup& env) {
    const char* type = env("XDG_SESSION_TYPE");
    if (type != nullptr && std::strcmp(type, "wayland") == 0) return true;
    const char* display = env("WAYLAND_DISPLAY");
    return display != nullptr && display[0] != '\0';
}

std::string windowPlatformFor(const EnvironmentLookup& env) {
    if (env("QT_QPA_PLATFORM") != nullptr || !isWaylandSession(env)) return {};
    const char* display = env("DISPLAY");
    if (display == nullptr || display[0] == '\0') return {};
    return "xcb;wayland";
}

std::vector<LinuxKeySourceKind> linuxKeySourceOrder(bool waylandSession) {
    if (waylandSession) return {LinuxKeySourceKind::Evdev, LinuxKeySourceKind::X11};
    return {LinuxKeySourceKind::X11, LinuxKeySourceKind::Evdev};
}

KeySourceChoice chooseLinuxKeySource(const std::string& qtPlatformName, const std::string& inputDir,
                                     const EnvironmentLookup& env) {
    const bool wayland = isWaylandSession(env);
    const bool waylandWindow = qtPlatformName == "wayland";
    KeySourceChoice choice;
    // The devices are watched whichever source counts first: they take over
    // once they can be read.
    auto devices = std::make_unique<evdev::EvdevKeySource>(
        inputDir, [](const std::string& path) -> std::unique_ptr<evdev::InputDevice> {
            return evdev::FdInputDevice::open(path);
        });
    for (const LinuxKeySourceKind kind : linuxKeySourceOrder(wayland)) {
        if (kind == LinuxKeySourceKind::Evdev) {
            if (!devices->hasKeyboard()) continue;
            choice.source = std::move(devices);
            choice.situation = waylandWindow ? "evdev, Wayland window" : "evdev";
            if (waylandWindow) choice.notice = kWaylandWindowText;
            return choice;
        }
#if PRESSORY_HAVE_X11
        // Its own connection to $DISPLAY, whatever platform the window uses.
        const char* display = env("DISPLAY");
        if (display == nullptr || display[0] == '\0') continue;
        auto x = x11::X11KeySource::open(display);
        if (!x) continue;
        if (!wayland) {
            choice.source = std::move(x);
            choice.situation = "X11";
            return choice;
        }
        choice.source =
            std::make_unique<SwitchingKeySource>(std::move(x), std::string(kXWaylandOnlyInUse), std::move(devices));
        choice.situation = waylandWindow ? "X11 in Wayland, Wayland window" : "X11 in Wayland";
        choice.notice = kX11OnlyText;
        if (waylandWindow) choice.notice += "\n\n" + std::string(kWaylandWindowText);
        choice.canOfferDevices = true;
        return choice;
#endif
    }
    choice.problem = kNoKeyStateText;
    if (waylandWindow) choice.problem += "\n\n" + std::string(kWaylandWindowText);
    choice.canOfferDevices = true;
    // Counts once the devices can be read, if they are watched.
    if (devices->watching()) choice.source = std::move(devices);
    choice.situation = "none";
    return choice;
}

KeySourceChoice chooseKeySource(const std::string& qtPlatformName) {
    return chooseLinuxKeySource(qtPlatformName, "/dev/input", processEnvironment());
}

}  // namespace pressory::platform
