// Choosing and running the global key-state source of this platform.
#pragma once

#include <memory>
#include <string>

#include "activity/press_sink.h"
#include "counting/key_state.h"

namespace pressory::platform {

// A key-state source of the platform. Sources fed by events (X11, evdev)
// read what has arrived when pump() is called; the program calls pump() when
// the source's handle wakes it and at the start of every tick, before the
// poller reads the keys, so that nothing blocks and no extra thread is needed.
class PlatformKeySource : public counting::KeyStateSource {
public:
    // A handle (a file descriptor on POSIX) that is readable while something
    // has arrived that pump() has not read yet, that is, while the key state
    // may have changed; the program may sleep until it is. -1 when the
    // source can only be polled (Win32 queries the state directly).
    virtual int wakeHandle() const { return -1; }
    // Reads pending events without blocking. Sources that query the state
    // directly (Win32) do nothing here.
    virtual void pump() {}
    // Whether the program shows which keys are down (the full window) or
    // only counts them (the compact window). While it only counts, a source
    // may leave the program asleep at the releases, which change nothing on
    // screen; what it reads at the next wake is exact all the same. Sources
    // that cannot choose what wakes the program do nothing.
    virtual void setKeysShown(bool shown) { (void)shown; }
    // Where every press the source reads goes as well, by key name, for the
    // activity database (null: nowhere). Counting for the window and the
    // history does not change with it.
    virtual void setPressSink(activity::PressSink* sink) { (void)sink; }
    // Which source counts, for the person (the About window, the tip of the
    // notification icon), e.g. "evdev (入力デバイス 3 台)"; UTF-8. Empty
    // when there is nothing to tell.
    virtual std::string inUse() const { return {}; }
};

struct KeySourceChoice {
    // Null when nothing can read the key state. A source may be given with a
    // problem: it counts nothing yet and begins when it can (the input
    // devices, once the person has been given access to them).
    std::unique_ptr<PlatformKeySource> source;
    std::string problem;  // when nothing is counted: why, for the user (Japanese, UTF-8)
    std::string notice;   // with a source: what it cannot see
    // What the notice is about, told again only when it changes from the
    // situation the program told last ("" where there is nothing to tell).
    std::string situation;
    // The input devices could count every key if the person let the program
    // read them (the notice offers it).
    bool canOfferDevices = false;
};

// Windows: Win32. Linux: X11 on $DISPLAY when the server has XInput2 >= 2.0;
// otherwise evdev when at least one keyboard can be read; otherwise none,
// with the reason and what the user can do. In a Wayland session evdev comes
// first, and X11, which sees the X11 applications only, comes with a notice
// and gives way to evdev once the devices can be read.
KeySourceChoice chooseKeySource(const std::string& qtPlatformName);

}  // namespace pressory::platform
