#include "platform/x11/x11_key_source.h"

#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/extensions/XI2proto.h>
#include <X11/extensions/XInput2.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

#include "platform/linux/keymap.h"

namespace pressory::platform::x11 {
namespace {

// The keys an X server reports down now, as input codes.
KeyStateTable::CodeSet queryKeys(Display* d) {
    KeyStateTable::CodeSet down;
    char keys[32] = {};
    XQueryKeymap(d, keys);
    for (int kc = 8; kc < 256; ++kc)
        if ((static_cast<unsigned char>(keys[kc / 8]) >> (kc % 8)) & 1u)
            down.set(static_cast<std::size_t>(keymap::inputCodeFromXKeycode(kc)));
    return down;
}

// The buttons it reports down now: the physical ones, as the raw events
// name them.
KeyStateTable::CodeSet queryButtons(Display* d) {
    KeyStateTable::CodeSet down;
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

KeyStateTable::CodeSet queryDown(Display* d) { return queryKeys(d) | queryButtons(d); }

// The input codes of the buttons.
KeyStateTable::CodeSet buttonCodes() {
    KeyStateTable::CodeSet codes;
    for (int b = 1; b < 256; ++b)
        if (const int code = keymap::inputCodeFromXButton(b); code >= 0) codes.set(static_cast<std::size_t>(code));
    return codes;
}

// Whether a key's release decides a count: Shift, Ctrl and Alt, whose pair
// counts a press only when it goes from all up to down.
bool countsByPair(int code) {
    return code >= 0 && code < keymap::kCodeCount && keymap::genericVk(keymap::vkFromInputCode(code)) != 0;
}

// Whether an event came after the request of this sequence number was
// handled (the server stamps each event with the last request it handled).
bool notOlderThan(std::uint32_t eventSequence, std::uint32_t request) {
    return static_cast<std::int32_t>(eventSequence - request) >= 0;
}

}  // namespace

std::unique_ptr<X11KeySource> X11KeySource::open(const char* displayName) {
    Display* d = XOpenDisplay(displayName);
    if (d == nullptr) return nullptr;
    // The source reads the events itself, through xcb, before any could be
    // read by Xlib: Xlib only makes the requests.
    XSetEventQueueOwner(d, XCBOwnsEventQueue);
    int opcode = 0, event = 0, error = 0;
    int major = 2, minor = 2;  // 2.1 and later deliver raw events during grabs too
    if (!XQueryExtension(d, "XInputExtension", &opcode, &event, &error) ||
        XIQueryVersion(d, &major, &minor) != Success || major < 2) {
        XCloseDisplay(d);
        return nullptr;
    }

    unsigned char hierarchyMask[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(hierarchyMask, XI_HierarchyChanged);
    XIEventMask hierarchy = {XIAllDevices, static_cast<int>(sizeof hierarchyMask), hierarchyMask};
    XISelectEvents(d, DefaultRootWindow(d), &hierarchy, 1);

    std::unique_ptr<X11KeySource> source(new X11KeySource(d, opcode));
    source->selectRaw(true);
    // The queries of the seed are round trips, so the selection is in force
    // when open() returns. A key pressed between selection and query is
    // both queried and queued; the table takes the queued press as the same
    // press.
    source->seed();
    return source;
}

X11KeySource::X11KeySource(_XDisplay* display, int xiOpcode)
    : display_(display), xcb_(XGetXCBConnection(display)), xiOpcode_(xiOpcode) {}

X11KeySource::~X11KeySource() { XCloseDisplay(display_); }

int X11KeySource::wakeHandle() const { return ConnectionNumber(display_); }

void X11KeySource::roundTrip() { XSync(display_, False); }

void X11KeySource::selectRaw(bool releases) {
    unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(mask, XI_RawKeyPress);
    XISetMask(mask, XI_RawButtonPress);
    if (releases) {
        XISetMask(mask, XI_RawKeyRelease);
        XISetMask(mask, XI_RawButtonRelease);
    }
    // Master devices only: each press arrives once, naming its physical
    // device as the source.
    XIEventMask raw = {XIAllMasterDevices, static_cast<int>(sizeof mask), mask};
    XISelectEvents(display_, DefaultRootWindow(display_), &raw, 1);
    XFlush(display_);
    releasesSelected_ = releases;
}

void X11KeySource::setKeysShown(bool shown) {
    if (shown == keysShown_) return;
    keysShown_ = shown;
    if (shown && !releasesSelected_) {
        // Keys pressed while only presses came may be held: the server says.
        selectRaw(true);
        querySettle();
    }
    pump();
}

// Asks which keys and buttons are down once the releases are selected. The
// events older than the answers are in the queue when it returns; each
// answer is applied before the first event newer than it.
void X11KeySource::querySettle() {
    static const KeyStateTable::CodeSet buttons = buttonCodes();
    settles_[0].sequence = static_cast<std::uint32_t>(NextRequest(display_));
    settles_[0].down = queryKeys(display_);
    settles_[0].scope = ~buttons;
    settles_[1].sequence = static_cast<std::uint32_t>(NextRequest(display_));
    settles_[1].down = queryButtons(display_);
    settles_[1].scope = buttons;
    settlesPending_ = 2;
}

// Applies the answers older than an event of this sequence number (null:
// all of them, every older event being handled).
void X11KeySource::applySettles(const std::uint32_t* sequence) {
    while (settlesPending_ > 0) {
        const Settle& s = settles_[2 - settlesPending_];
        if (sequence != nullptr && !notOlderThan(*sequence, s.sequence)) return;
        table_.settle(s.down, s.scope);
        --settlesPending_;
    }
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
    // One read of the socket (none when a round trip has queued events
    // already); the events it brought are then taken from memory. What
    // arrives meanwhile keeps the socket readable and is read at the next
    // pump.
    for (xcb_generic_event_t* ev = xcb_poll_for_event(xcb_); ev != nullptr; ev = xcb_poll_for_queued_event(xcb_)) {
        if (settlesPending_ > 0) applySettles(&ev->full_sequence);
        handle(ev);
        std::free(ev);
    }
    applySettles(nullptr);
    // Keys not shown and nothing held: presses only, from now on.
    if (!keysShown_ && releasesSelected_ && !table_.anyDown()) selectRaw(false);
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
            table_.press(raw.sourceid, code);
            if (!releasesSelected_) {
                if (countsByPair(code)) {
                    // Its release decides the next press of the pair: the
                    // releases come again until every key is up. One that
                    // went up before they did is found by the query.
                    selectRaw(true);
                    querySettle();
                } else {
                    table_.release(raw.sourceid, code);
                }
            }
        } else
            table_.release(raw.sourceid, code);
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
