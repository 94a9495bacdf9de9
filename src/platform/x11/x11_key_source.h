// The key state of an X server, fed by XInput2 raw key and button events of
// the master devices. The raw events arrive for every press on the server,
// whichever window has the focus and even during another client's grab, and
// a press of 0 ms is an event like any other, so nothing is missed between
// two readings; no request is made of the server on a reading.
//
// While the keys are not shown, the releases are not selected as long as no
// key is held, so that a press wakes the program once: each press is then
// taken as a press that is over at once. A press of Shift, Ctrl or Alt
// selects the releases again until every key is up, since whether the pair
// goes from all up to down depends on when its keys go up.
//
// Only the state of the keys is kept, never which keys were pressed in what
// order.
#pragma once

#include <cstdint>
#include <memory>

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

    // The connection's socket, readable when events arrive. Events that a
    // roundTrip() has queued do not make it readable: pump() after it.
    int wakeHandle() const override;
    // Handles the events that have arrived, without waiting for more.
    void pump() override;
    std::int16_t asyncKeyState(int vk) override { return table_.read(vk); }
    KeyReading readKey(int vk) override { return table_.take(vk); }
    void setKeysShown(bool shown) override;

    // One round trip: afterwards every event the server had made before it
    // is queued for pump(). For tests and measurements.
    void roundTrip();
    // Raw key and button events handled so far.
    std::uint64_t eventsSeen() const noexcept { return eventsSeen_; }

private:
    X11KeySource(_XDisplay* display, int xiOpcode);
    void seed();
    void reconcile();
    void handle(const void* xcbEvent);  // an xcb_generic_event_t
    void selectRaw(bool releases);
    void querySettle();
    void applySettles(const std::uint32_t* sequence);

    // A state query's answer, to be applied to the table once the events
    // older than it are handled: the first event whose sequence number is
    // this query's or later is newer than the answer.
    struct Settle {
        std::uint32_t sequence = 0;
        KeyStateTable::CodeSet down;
        KeyStateTable::CodeSet scope;
    };

    _XDisplay* display_;
    xcb_connection_t* xcb_;
    int xiOpcode_;
    std::uint64_t eventsSeen_ = 0;
    KeyStateTable table_;
    bool keysShown_ = true;
    bool releasesSelected_ = true;
    Settle settles_[2];  // the keys, then the buttons
    int settlesPending_ = 0;
};

}  // namespace pressory::platform::x11
