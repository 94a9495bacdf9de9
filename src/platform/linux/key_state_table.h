// The key state of the event-fed sources (X11, evdev): which physical keys
// are down on which input device, and from that, per virtual-key code, the
// value the poller reads.
//
// A code is down while any physical key that maps to it is down on any
// device; the generic Shift, Ctrl and Alt codes are down while a key of
// either side is. A code is latched when it goes from up to down, and a
// reading returns non-zero while the code is down or latched, then clears
// the latch. So a press that begins and ends between two readings is seen
// exactly once, and a key pressed on a second device while it is already down
// on the first is not a new press. Each change from up to down is also
// counted, so that a reading tells how many presses began since the one
// before, however many fell between two readings.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

#include "counting/key_state.h"
#include "platform/linux/keymap.h"

namespace pressory::platform {

class KeyStateTable {
public:
    using DeviceId = long;
    using CodeSet = std::bitset<keymap::kCodeCount>;

    // Owner of keys learnt from a state query that does not say which device
    // holds them (keys already down when a source starts). Such a key is
    // released by a release from any device, and a press of it from a
    // device makes that device its holder without a new press.
    static constexpr DeviceId kUnknownOwner = -1;

    // A physical key (input code) went down or up on a device. A press of a
    // key that is down on that device already, and a release of a key that
    // is not, change nothing: repeated and duplicated events are harmless.
    // Codes without a virtual-key code are ignored.
    void press(DeviceId device, int code);
    void release(DeviceId device, int code);
    // A press that repeats one counted already (from another device): the
    // key is down on this device as press() makes it, but no new press
    // begins.
    void pressAgain(DeviceId device, int code);

    // A key found down by a state query, holder unknown. Ignored when the
    // key is down on some device already.
    void seed(int code);

    // Every key of the device goes up (the device went away).
    void releaseDevice(DeviceId device);

    // The device's keys become exactly `down` (after the device reported
    // that it lost events): keys no longer down are released, new ones pressed.
    void syncDevice(DeviceId device, const CodeSet& down);

    // Keys of unknown holder that are not in `down` are released.
    void trimUnknown(const CodeSet& down);

    // The value for the poller: bit 15 while the code is down, bit 0 when it
    // went down since the previous reading of this code, and the number of
    // times it went down since then. Clears the latch and the number. Codes
    // outside 0..255 read 0.
    counting::KeyReading take(int vk) noexcept;
    // The state part of take() (clears the number too).
    std::int16_t read(int vk) noexcept { return take(vk).state; }

    // The codes that went down or up since the last call (see
    // KeyStateSource::takeMoved), added to `moved`; forgotten here.
    void takeMoved(counting::CodeSet& moved) noexcept {
        moved.addAll(moved_);
        moved_.clear();
    }

    bool isDown(int vk) const noexcept;
    bool isDownOn(DeviceId device, int code) const noexcept;

private:
    struct Device {
        DeviceId id;
        CodeSet down;
    };
    Device* find(DeviceId id) noexcept;
    const Device* find(DeviceId id) const noexcept;
    Device& findOrAdd(DeviceId id);
    void vkDown(int vk, bool newPress = true) noexcept;
    void pressOn(DeviceId device, int code, bool newPress);
    void vkUp(int vk) noexcept;

    std::vector<Device> devices_;
    std::array<std::uint16_t, 256> downCount_{};  // physical keys (and sides) holding each code
    std::array<bool, 256> latch_{};
    std::array<std::int32_t, 256> presses_{};  // since the last reading, held at its limit
    counting::CodeSet moved_;                  // since the last takeMoved()
};

}  // namespace pressory::platform
