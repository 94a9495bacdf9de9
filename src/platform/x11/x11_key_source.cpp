#include "platform/x11/x11_key_source.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include "platform/linux/keymap.h"

namespace pressory::platform::x11 {
namespace {

// The keys and buttons an X server reports down now, as input codes. The
// buttons are the physical ones, as the raw events name them.
KeyStateTable::CodeSet queryDown(Display* d) {
    KeyStateTable::CodeSet down;
    char keys[32] = {};
    XQueryKeymap(d, keys);
    for (int kc = 8; kc < 256; ++kc)
        if ((static_cast<unsigned char>(keys[kc / 8]) >> (kc % 8)) & 1u)
            down.set(static_cast<std::size_t>(keymap::inputCodeFromXKeycode(kc)));

    Window root = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rx, &ry, &wx, &wy, &mask);
    unsigned char map[256] = {};
    const int n = XGetPointerMapping(d, map, 256);
    for (int physical = 1; physical <= n; ++physical) {
        const int logical = map[physical - 1];
        if (logical < 1 || logical > 5 || (mask & (Button1Mask << (logical - 1))) == 0) continue;
        const int code = keymap::inputCodeFromXButton(physical);
        if (code >= 0) down.set(static_cast<std::size_t>(code));
    }
    return down;
}

}  // namespace

std::unique_ptr<X11KeySource> X11KeySource::open(const char* displayName) {
    Display* d = XOpenDisplay(displayName);
    if (d == nullptr) return nullptr;
    int opcode = 0, event = 0, error = 0;
    int major = 2, minor = 2;  // 2.1 and later deliver raw events during grabs too
    if (!XQueryExtension(d, "XInputExtension", &opcode, &event, &error) ||
        XIQueryVersion(d, &major, &minor) != Success || major < 2) {
        XCloseDisplay(d);
        return nullptr;
    }

    unsigned char rawMask[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(rawMask, XI_RawKeyPress);
    XISetMask(rawMask, XI_RawKeyRelease);
    XISetMask(rawMask, XI_RawButtonPress);
    XISetMask(rawMask, XI_RawButtonRelease);
    unsigned char hierarchyMask[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(hierarchyMask, XI_HierarchyChanged);
    XIEventMask masks[2] = {
        // Master devices only: each press arrives once, naming its physical
        // device as the source.
        {XIAllMasterDevices, static_cast<int>(sizeof rawMask), rawMask},
        {XIAllDevices, static_cast<int>(sizeof hierarchyMask), hierarchyMask},
    };
    XISelectEvents(d, DefaultRootWindow(d), masks, 2);

    std::unique_ptr<X11KeySource> source(new X11KeySource(d, opcode));
    // The queries of the seed are round trips, so the selection is in force
    // when open() returns. A key pressed between selection and query is
    // both queried and queued; the table takes the queued press as the same
    // press.
    source->seed();
    return source;
}

X11KeySource::X11KeySource(_XDisplay* display, int xiOpcode) : display_(display), xiOpcode_(xiOpcode) {}

X11KeySource::~X11KeySource() { XCloseDisplay(display_); }

int X11KeySource::wakeHandle() const { return ConnectionNumber(display_); }

void X11KeySource::roundTrip() { XSync(display_, False); }

void X11KeySource::seed() {
    const KeyStateTable::CodeSet down = queryDown(display_);
    for (int c = 0; c < keymap::kCodeCount; ++c)
        if (down.test(static_cast<std::size_t>(c))) table_.seed(c);
}

void X11KeySource::reconcile() {
    // Keys held since the start whose device has gone will never be released
    // by an event: let the server say which are still down.
    table_.trimUnknown(queryDown(display_));
}

void X11KeySource::pump() {
    // Reads what has arrived: when nothing has, that is one read that finds
    // nothing, as cheap as a poll() first would be, and when something has,
    // a poll() would only add a call. The queue is then drained from memory,
    // without reading again; what arrives meanwhile is read at the next pump.
    XEventsQueued(display_, QueuedAfterReading);
    while (XEventsQueued(display_, QueuedAlready) > 0) {
        XEvent ev;
        XNextEvent(display_, &ev);
        XGenericEventCookie* cookie = &ev.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != xiOpcode_ || !XGetEventData(display_, cookie))
            continue;
        switch (cookie->evtype) {
        case XI_RawKeyPress:
        case XI_RawKeyRelease:
        case XI_RawButtonPress:
        case XI_RawButtonRelease: {
            const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
            const bool key = cookie->evtype == XI_RawKeyPress || cookie->evtype == XI_RawKeyRelease;
            const int code =
                key ? keymap::inputCodeFromXKeycode(raw->detail) : keymap::inputCodeFromXButton(raw->detail);
            if (cookie->evtype == XI_RawKeyPress || cookie->evtype == XI_RawButtonPress)
                table_.press(raw->sourceid, code);
            else
                table_.release(raw->sourceid, code);
            ++eventsSeen_;
            break;
        }
        case XI_HierarchyChanged: {
            const auto* h = static_cast<const XIHierarchyEvent*>(cookie->data);
            bool lost = false;
            for (int i = 0; i < h->num_info; ++i) {
                // A device that no longer sends through a master will not
                // send the releases of the keys it holds.
                if ((h->info[i].flags & (XISlaveRemoved | XISlaveDetached | XIDeviceDisabled | XIMasterRemoved)) != 0) {
                    table_.releaseDevice(h->info[i].deviceid);
                    lost = true;
                }
            }
            if (lost) reconcile();
            break;
        }
        default: break;
        }
        XFreeEventData(display_, cookie);
    }
}

}  // namespace pressory::platform::x11
