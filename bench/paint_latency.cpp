// Latency from an injected key press to the program's window showing the
// change: presses a key through XTEST and reads the window's pixels back
// until they differ from before the press (Xvfb has no compositor: the
// pixels are on the screen once the program has drawn them).
//
//   paint_latency WINDOW KEYCODE PRESSES   (WINDOW as decimal or 0x hex)
//
// Each press is held 20 ms and released. Prints the median, 95th percentile
// and maximum in ms of the latencies of the presses and of the releases, and
// how many showed no change within a second.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "support/xtest_injector.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<char> grab(Display* d, Window w, unsigned width, unsigned height) {
    XImage* img = XGetImage(d, w, 0, 0, width, height, AllPlanes, ZPixmap);
    if (img == nullptr) return {};
    std::vector<char> bytes(img->data, img->data + static_cast<std::size_t>(img->bytes_per_line) * height);
    XDestroyImage(img);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s WINDOW KEYCODE PRESSES\n", argv[0]);
        return 2;
    }
    const Window w = std::strtoul(argv[1], nullptr, 0);
    const int keycode = std::atoi(argv[2]);
    const int presses = std::atoi(argv[3]);
    pressory::test::XTestInjector in;
    Display* d = XOpenDisplay(nullptr);
    if (!in.valid() || d == nullptr) {
        std::fprintf(stderr, "no X display with XTEST\n");
        return 2;
    }
    XWindowAttributes a{};
    if (!XGetWindowAttributes(d, w, &a)) return 2;
    const auto width = static_cast<unsigned>(a.width), height = static_cast<unsigned>(a.height);

    // The time until the window's pixels differ from `before`; negative when
    // they did not within a second.
    auto changeAfter = [&](const std::vector<char>& before) {
        const Clock::time_point t0 = Clock::now();
        while (Clock::now() - t0 < std::chrono::seconds(1)) {
            if (grab(d, w, width, height) != before)
                return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        }
        return -1.0;
    };

    std::mt19937 rng(7);
    std::uniform_int_distribution<int> gap(40, 80);
    std::vector<double> pressMs, releaseMs;
    int pressMissed = 0, releaseMissed = 0;
    for (int i = 0; i < presses; ++i) {
        const std::vector<char> before = grab(d, w, width, height);
        in.key(keycode, true);
        in.sync();
        const double pressed = changeAfter(before);
        if (pressed >= 0)
            pressMs.push_back(pressed);
        else
            ++pressMissed;
        // Held a moment, then released: the cell goes back to its up colour.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        // A window that does not show the key (the compact one) shows no
        // release either: after five releases that changed nothing, the
        // rest are not waited for a second each.
        const bool releasesShow = i < 5 || !releaseMs.empty();
        const std::vector<char> held = releasesShow ? grab(d, w, width, height) : std::vector<char>();
        in.key(keycode, false);
        in.sync();
        const double released = releasesShow ? changeAfter(held) : -1.0;
        if (released >= 0)
            releaseMs.push_back(released);
        else
            ++releaseMissed;
        std::this_thread::sleep_for(std::chrono::milliseconds(gap(rng)));
    }
    auto report = [](const char* what, std::vector<double>& ms, int missed) {
        std::sort(ms.begin(), ms.end());
        auto at = [&](double q) {
            return ms.empty()
                       ? 0.0
                       : ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * static_cast<double>(ms.size())))];
        };
        if (ms.empty()) {  // e.g. the compact window, which shows the total only
            std::printf("%s: no change on screen in %d\n", what, missed);
            return;
        }
        std::printf("%s paint latency over %zu: median %.2f ms, p95 %.2f ms, max %.2f ms, no change %d\n", what,
                    ms.size(), at(0.5), at(0.95), ms.back(), missed);
    };
    report("press", pressMs, pressMissed);
    report("release", releaseMs, releaseMissed);
    XCloseDisplay(d);
    return 0;
}
