#include "platform/x11/x11_key_source.h"

#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/extensions/XI2proto.h>
#include <X11/extensions/XInput2.h>
#include <poll.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

#include "activity/key_names.h"
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

// A connection whose events xcb reads (Xlib only makes the requests), with
// XInput 2.0 or later; null without one.
Display* openWithXInput2(const char* displayName, int* opcode) {
    Display* d = XOpenDisplay(displayName);
    if (d == nullptr) return nullptr;
    XSetEventQueueOwner(d, XCBOwnsEventQueue);
    int event = 0, error = 0;
    int major = 2, minor = 2;  // 2.1 and later deliver raw events during grabs too
    if (!XQueryExtension(d, "XInputExtension", opcode, &event, &error) ||
        XIQueryVersion(d, &major, &minor) != Success || major < 2) {
        XCloseDisplay(d);
        return nullptr;
    }
    return d;
}

// What a connection selects of the raw events of the master devices.
enum class Raw { Nothing, Presses, PressesAndReleases };

// Raw presses of the master devices, with their releases or without, or
// none; and the changes of the device hierarchy. Master devices only: each
// press arrives once, naming its physical device as the source.
void selectRaw(Display* d, Raw raw, bool hierarchy) {
    unsigned char rawMask[XIMaskLen(XI_LASTEVENT)] = {};
    if (raw != Raw::Nothing) {
        XISetMask(rawMask, XI_RawKeyPress);
        XISetMask(rawMask, XI_RawButtonPress);
    }
    if (raw == Raw::PressesAndReleases) {
        XISetMask(rawMask, XI_RawKeyRelease);
        XISetMask(rawMask, XI_RawButtonRelease);
    }
    unsigned char hierarchyMask[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(hierarchyMask, XI_HierarchyChanged);
    XIEventMask masks[2] = {
        {XIAllMasterDevices, static_cast<int>(sizeof rawMask), rawMask},
        {XIAllDevices, static_cast<int>(sizeof hierarchyMask), hierarchyMask},
    };
    XISelectEvents(d, DefaultRootWindow(d), masks, hierarchy ? 2 : 1);
}

// Reads and drops every event a connection has received so far.
void discardEvents(xcb_connection_t* c) {
    for (xcb_generic_event_t* ev = xcb_poll_for_event(c); ev != nullptr; ev = xcb_poll_for_queued_event(c))
        std::free(ev);
}

}  // namespace

std::unique_ptr<X11KeySource> X11KeySource::open(const char* displayName) {
    int opcode = 0, sameOpcode = 0;  // the extension's number is the server's
    Display* state = openWithXInput2(displayName, &opcode);
    if (state == nullptr) return nullptr;
    Display* wake = openWithXInput2(displayName, &sameOpcode);
    if (wake == nullptr) {
        XCloseDisplay(state);
        return nullptr;
    }
    // The state connection selects everything; the keys are shown at
    // first, so the state connection wakes the program and the wake
    // connection selects nothing yet.
    selectRaw(state, Raw::PressesAndReleases, true);
    XSync(state, False);

    std::unique_ptr<X11KeySource> source(new X11KeySource(state, wake, opcode));
    // The queries of the seed are round trips, so the selection is in force
    // when open() returns. A key pressed between selection and query is
    // both queried and queued; the table takes the queued press as the same
    // press.
    source->seed();
    return source;
}

X11KeySource::X11KeySource(_XDisplay* state, _XDisplay* wake, int xiOpcode)
    : display_(state),
      xcb_(XGetXCBConnection(state)),
      wakeDisplay_(wake),
      wakeXcb_(XGetXCBConnection(wake)),
      xiOpcode_(xiOpcode) {}

X11KeySource::~X11KeySource() {
    XCloseDisplay(wakeDisplay_);
    XCloseDisplay(display_);
}

int X11KeySource::wakeHandle() const { return ConnectionNumber(keysShown_ ? display_ : wakeDisplay_); }

void X11KeySource::roundTrip() {
    XSync(wakeDisplay_, False);
    XSync(display_, False);
}

void X11KeySource::setKeysShown(bool shown) {
    if (shown == keysShown_) return;
    keysShown_ = shown;
    // The state connection reads every event, whichever connection wakes
    // the program, so that no event is lost or read twice at the switch.
    // The round trip puts the selection in force before the program watches
    // the other handle; a press that reached the state connection alone
    // before it is read at the pump after the switch.
    selectRaw(wakeDisplay_, shown ? Raw::Nothing : Raw::Presses, false);
    XSync(wakeDisplay_, False);
    // The wake connection's events from before are all the state
    // connection's too: dropped.
    if (shown) discardEvents(wakeXcb_);
}

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
    // While the keys are shown, the state connection is the one that wakes
    // the program: one read of its socket.
    if (keysShown_) {
        readState();
        return;
    }
    // What woke the program: one read of the wake connection's socket; its
    // events only tell up to when the state has to be read.
    for (xcb_generic_event_t* ev = xcb_poll_for_event(wakeXcb_); ev != nullptr;
         ev = xcb_poll_for_queued_event(wakeXcb_)) {
        if (const auto time = rawTime(ev)) wakeSeen_.see(*time);
        std::free(ev);
    }
    // The state: one read of its socket (none when a round trip has queued
    // events already); the events it brought are then taken from memory.
    // What arrives meanwhile is read at the next pump.
    readState();
    // The server writes an event to both connections at once. Should the
    // state connection's copy not have arrived yet, it is waited for, a
    // moment at most, so that the event that woke the program is shown now.
    for (int i = 0; i < 20 && stateSeen_.before(wakeSeen_); ++i) {
        pollfd p{ConnectionNumber(display_), POLLIN, 0};
        if (poll(&p, 1, 5) > 0) readState();
    }
}

void X11KeySource::readState() {
    for (xcb_generic_event_t* ev = xcb_poll_for_event(xcb_); ev != nullptr; ev = xcb_poll_for_queued_event(xcb_)) {
        handle(ev);
        std::free(ev);
    }
}

// The server time of a raw key or button event of this source's extension.
std::optional<std::uint32_t> X11KeySource::rawTime(const void* xcbEvent) const {
    const auto* ev = static_cast<const xcb_generic_event_t*>(xcbEvent);
    if ((ev->response_type & 0x7f) != XCB_GE_GENERIC) return std::nullopt;
    xXIRawEvent raw;
    std::memcpy(&raw, ev, sizeof raw);
    if (raw.extension != xiOpcode_ || raw.evtype < XI_RawKeyPress || raw.evtype > XI_RawButtonRelease)
        return std::nullopt;
    return raw.time;
}

void X11KeySource::Latest::see(std::uint32_t time) noexcept {
    if (atTime > 0 && time == this->time) {
        ++atTime;
    } else if (atTime == 0 || static_cast<std::int32_t>(time - this->time) > 0) {
        this->time = time;
        atTime = 1;
    }
}

bool X11KeySource::Latest::before(const Latest& other) const noexcept {
    if (other.atTime == 0) return false;
    if (atTime == 0) return true;
    const auto ahead = static_cast<std::int32_t>(other.time - time);
    return ahead > 0 || (ahead == 0 && atTime < other.atTime);
}

// The events come as xcb hands them over: the 32 bytes of the wire event,
// then the sequence number xcb adds, then the rest of a long event.
void X11KeySource::handle(const void* xcbEvent) {
    const auto* ev = static_cast<const xcb_generic_event_t*>(xcbEvent);
    if ((ev->response_type & 0x7f) != XCB_GE_GENERIC) return;
    const auto* ge = reinterpret_cast<const xGenericEvent*>(ev);
    if (ge->extension != xiOpcode_) return;
    switch (ge->evtype) {
    case XI_RawKeyPress:
    case XI_RawKeyRelease:
    case XI_RawButtonPress:
    case XI_RawButtonRelease: {
        xXIRawEvent raw;
        std::memcpy(&raw, ev, sizeof raw);
        const bool key = raw.evtype == XI_RawKeyPress || raw.evtype == XI_RawKeyRelease;
        const int code = key ? keymap::inputCodeFromXKeycode(static_cast<int>(raw.detail))
                             : keymap::inputCodeFromXButton(static_cast<int>(raw.detail));
        if (raw.evtype == XI_RawKeyPress || raw.evtype == XI_RawButtonPress) {
            // Every press for the activity database: any key, and the buttons
            // the table does not keep (each wheel step is a press of 4 to 7).
            // A key already down on its device is the keyboard's auto-repeat.
            if (sink_ != nullptr && (raw.flags & XIKeyRepeat) == 0 && !(key && table_.isDownOn(raw.sourceid, code))) {
                const std::string_view name = key ? activity::keyNameOfXKeycode(static_cast<int>(raw.detail))
                                                  : activity::keyNameOfXButton(static_cast<int>(raw.detail));
                if (!name.empty()) sink_->press(name, 1);
            }
            table_.press(raw.sourceid, code);
        } else {
            table_.release(raw.sourceid, code);
        }
        stateSeen_.see(raw.time);
        ++eventsSeen_;
        break;
    }
    case XI_HierarchyChanged: {
        xXIHierarchyEvent h;
        std::memcpy(&h, ev, sizeof h);
        // The infos follow the event's 32 bytes, after xcb's sequence number,
        // within the length the event gives (in 4-byte units beyond 32).
        const char* infos = reinterpret_cast<const char*>(ev) + sizeof(xcb_generic_event_t);
        const std::size_t room = static_cast<std::size_t>(h.length) * 4;
        bool lost = false;
        for (std::size_t i = 0; i < h.num_info && (i + 1) * sizeof(xXIHierarchyInfo) <= room; ++i) {
            xXIHierarchyInfo info;
            std::memcpy(&info, infos + i * sizeof info, sizeof info);
            // A device that no longer sends through a master will not send
            // the releases of the keys it holds.
            if ((info.flags & (XISlaveRemoved | XISlaveDetached | XIDeviceDisabled | XIMasterRemoved)) != 0) {
                table_.releaseDevice(info.deviceid);
                lost = true;
            }
        }
        if (lost) reconcile();
        break;
    }
    default: break;
    }
}

}  // namespace pressory::platform::x11
