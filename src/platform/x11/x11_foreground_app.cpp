#include "platform/x11/x11_foreground_app.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace pressory::platform::x11 {
namespace {

// A property's value, or null (no such property, or the window is gone).
// The caller frees it.
xcb_get_property_reply_t* property(xcb_connection_t* c, xcb_window_t w, xcb_atom_t name, xcb_atom_t type,
                                   std::uint32_t longs) {
    const xcb_get_property_cookie_t cookie = xcb_get_property(c, 0, w, name, type, 0, longs);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(c, cookie, nullptr);
    if (reply != nullptr && reply->type == XCB_NONE) {
        std::free(reply);
        return nullptr;
    }
    return reply;
}

// WM_CLASS holds two strings, each ended by a zero byte: the instance's name
// and the class. The class, or the only string of a window that gives one.
std::string classOf(xcb_connection_t* c, xcb_window_t w) {
    xcb_get_property_reply_t* reply = property(c, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 256);
    if (reply == nullptr) return {};
    const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply));
    const auto size = static_cast<std::size_t>(xcb_get_property_value_length(reply));
    std::string name;
    if (reply->format == 8 && size > 0) {
        const std::size_t instanceEnd = strnlen(bytes, size);
        if (instanceEnd + 1 < size) {
            const char* cls = bytes + instanceEnd + 1;
            name.assign(cls, strnlen(cls, size - instanceEnd - 1));
        } else {
            name.assign(bytes, instanceEnd);
        }
    }
    std::free(reply);
    return name;
}

}  // namespace

std::unique_ptr<X11ForegroundApp> X11ForegroundApp::open(const char* displayName) {
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(displayName, &screenNumber);
    if (c == nullptr || xcb_connection_has_error(c) != 0) {
        if (c != nullptr) xcb_disconnect(c);
        return nullptr;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem > 0; ++i) xcb_screen_next(&it);
    if (it.rem == 0) {
        xcb_disconnect(c);
        return nullptr;
    }
    const xcb_window_t root = it.data->root;
    static constexpr char kActive[] = "_NET_ACTIVE_WINDOW";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof kActive - 1, kActive), nullptr);
    if (atom == nullptr) {
        xcb_disconnect(c);
        return nullptr;
    }
    const xcb_atom_t active = atom->atom;
    std::free(atom);
    // The root's property changes, before the first reading: a change
    // between the two is read again at the next pump.
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    std::unique_ptr<X11ForegroundApp> app(new X11ForegroundApp(c, root, active));
    app->readActive();
    return app;
}

X11ForegroundApp::X11ForegroundApp(xcb_connection_t* c, std::uint32_t root, std::uint32_t activeAtom)
    : c_(c), root_(root), activeAtom_(activeAtom) {}

X11ForegroundApp::~X11ForegroundApp() { xcb_disconnect(c_); }

int X11ForegroundApp::wakeHandle() const { return xcb_get_file_descriptor(c_); }

void X11ForegroundApp::pump() {
    bool changed = false;
    while (xcb_generic_event_t* ev = xcb_poll_for_event(c_)) {
        if ((ev->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            const auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(ev);
            if (p->window == root_ && p->atom == activeAtom_) changed = true;
        }
        std::free(ev);
    }
    if (changed) readActive();
}

void X11ForegroundApp::readActive() {
    xcb_window_t window = XCB_NONE;
    if (xcb_get_property_reply_t* reply = property(c_, root_, activeAtom_, XCB_ATOM_WINDOW, 1)) {
        if (reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
            std::memcpy(&window, xcb_get_property_value(reply), sizeof window);
        std::free(reply);
    }
    // Read again even when the id is the one read before: the server gives
    // the ids of a client that has left to the next one, so the same id may
    // now be another application's window.
    class_ = window == XCB_NONE ? std::string() : classOf(c_, window);
}

}  // namespace pressory::platform::x11
