// The key state of an X server, fed by XInput2 raw key and button events of
// the master devices. The raw events arrive for every press on the server,
// whichever window has the focus and even during another client's grab, and
// a press of 0 ms is an event like any other, so nothing is missed between
// two readings; no request is made of the server on a reading.
//
// One connection selects every raw press and release and keeps the state.
// While the keys are shown (the full window) it also wakes the program, so
// that each event is read once, on one socket. While they are not (the
// compact window), a second connection that selects the presses only wakes
// the program, so that a release does not; the state connection is read
// whenever the program is woken, so the state is exact either way.
//
// Only the state of the keys is kept, never which keys were pressed in what
// order.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/key_source.h"
#include "platform/linux/key_state_table.h"

struct _XDisplay;  // Xlib's Display, kept out of this header
struct xcb_connection_t;

namespace pressory::platform::x11 {

class X11KeySource final : public PlatformKeySource {
public:
    // Opens its own connection to the display (null: $DISPLAY) and learns
    // the keys and buttons already down. Null when the display cannot be
    // opened or its server lacks XInput 2.0.
    static std::unique_ptr<X11KeySource> open(const char* displayName = nullptr);
    ~X11KeySource() override;
    X11KeySource(const X11KeySource&) = delete;
    X11KeySource& operator=(const X11KeySource&) = delete;

    // The socket that wakes the program: readable when a press (and, while
    // the keys are shown, a release) arrives. It changes with
    // setKeysShown(). Events that a roundTrip() has queued do not make it
    // readable: pump() after it.
    int wakeHandle() const override;
    // Handles the events that have arrived, without waiting for more.
    void pump() override;
    std::int16_t asyncKeyState(int vk) override { return table_.read(vk); }
    counting::KeyReading readKey(int vk) override { return table_.take(vk); }
    bool takeMoved(counting::CodeSet& moved) override {
        table_.takeMoved(moved);
        return true;
    }
    void setKeysShown(bool shown) override;
    void setPressSink(activity::PressSink* sink) override { sink_ = sink; }
    std::string inUse() const override { return "X11"; }

    // One round trip on each connection: afterwards every event the server
    // had made before it is queued for pump(). For tests and measurements.
    void roundTrip();
    // Raw key and button events handled so far.
    std::uint64_t eventsSeen() const noexcept { return eventsSeen_; }

private:
    X11KeySource(_XDisplay* state, _XDisplay* wake, int xiOpcode);
    void seed();
    void reconcile();
    void readState();
    void handle(const void* xcbEvent);  // an xcb_generic_event_t
    std::optional<std::uint32_t> rawTime(const void* xcbEvent) const;

    // The newest server time among the raw events read from a connection,
    // and how many of them bore it. The wake connection's events are some
    // of the state connection's, in the same order.
    struct Latest {
        std::uint32_t time = 0;
        std::uint32_t atTime = 0;
        void see(std::uint32_t t) noexcept;
        // Whether the other connection has read events newer than these
        // (within the 24.8 days either way that the 32-bit time tells apart).
        bool before(const Latest& other) const noexcept;
    };

    _XDisplay* display_;  // the state connection
    xcb_connection_t* xcb_;
    _XDisplay* wakeDisplay_;
    xcb_connection_t* wakeXcb_;
    int xiOpcode_;
    bool keysShown_ = true;
    std::uint64_t eventsSeen_ = 0;
    Latest stateSeen_;
    Latest wakeSeen_;
    KeyStateTable table_;
    activity::PressSink* sink_ = nullptr;
};

}  // namespace pressory::platform::x11
