// The floor: the least a program can do to count key and button presses on
// an X server. It selects the XInput2 raw press events of the master devices
// on the root window, sleeps in poll() until the connection has something,
// and counts. No state, no window, no timer. bench/measure_program.py runs
// it beside Pressory under the same load to compare their CPU time.
//
//   xi2_floor [--releases]
//                counts until SIGTERM or SIGINT, then prints
//                "presses N" (keys and buttons) and exits. With --releases
//                it is also woken by the releases, as a program must be that
//                shows which keys are down; it still counts only presses.
#include <poll.h>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string_view>

namespace {
volatile std::sig_atomic_t stopping = 0;
void onSignal(int) { stopping = 1; }
}  // namespace

int main(int argc, char** argv) {
    const bool releases = argc > 1 && std::string_view(argv[1]) == "--releases";
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) {
        std::fprintf(stderr, "cannot open the display\n");
        return 2;
    }
    int opcode = 0, event = 0, error = 0, major = 2, minor = 2;
    if (!XQueryExtension(d, "XInputExtension", &opcode, &event, &error) ||
        XIQueryVersion(d, &major, &minor) != Success) {
        std::fprintf(stderr, "no XInput2\n");
        return 2;
    }
    unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(mask, XI_RawKeyPress);
    XISetMask(mask, XI_RawButtonPress);
    if (releases) {
        XISetMask(mask, XI_RawKeyRelease);
        XISetMask(mask, XI_RawButtonRelease);
    }
    XIEventMask m{XIAllMasterDevices, static_cast<int>(sizeof mask), mask};
    XISelectEvents(d, DefaultRootWindow(d), &m, 1);
    XSync(d, False);

    struct sigaction sa {};
    sa.sa_handler = onSignal;  // no SA_RESTART: poll() returns at once
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    std::printf("ready\n");
    std::fflush(stdout);

    unsigned long long presses = 0;
    while (!stopping) {
        while (XPending(d) > 0) {
            XEvent ev;
            XNextEvent(d, &ev);
            if (ev.xcookie.type != GenericEvent || ev.xcookie.extension != opcode) continue;
            if (ev.xcookie.evtype == XI_RawKeyPress || ev.xcookie.evtype == XI_RawButtonPress) ++presses;
        }
        pollfd p{ConnectionNumber(d), POLLIN, 0};
        if (poll(&p, 1, -1) < 0 && errno != EINTR) break;
    }
    std::printf("presses %llu\n", presses);
    XCloseDisplay(d);
    return 0;
}
