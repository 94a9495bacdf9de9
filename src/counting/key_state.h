// Where the poller reads the global key state from.
#pragma once

#include <cstdint>

namespace pressory::counting {

// One reading of one code: its state, and how many presses of it began since
// the reading before.
struct KeyReading {
    static constexpr std::int32_t kPressesUnknown = -1;

    std::int16_t state = 0;
    // Presses that began since the previous reading of this code, or
    // kPressesUnknown when the source only knows the state (the poller then
    // counts one press per change from up to down between readings).
    std::int32_t presses = kPressesUnknown;
};

// The global asynchronous key state, one virtual-key code at a time.
//
// The contract every source meets: for each code 0 to 255 a value that is
// non-zero while the key is down, and also non-zero at the first reading
// after a press that began and ended since the reading before; 0 otherwise.
// The generic Shift, Ctrl and Alt codes (16, 17, 18) read as down while
// either key of the pair is down. Reading a code may clear its
// "pressed since the last reading" latch.
//
// A source fed by events also counts the presses: readKey() tells how many
// presses of the code began since its previous reading (a key going down;
// the keyboard's auto-repeat is never a press; for Shift, Ctrl and Alt the
// pair going from all keys up to one down), and clears that count together
// with the latch.
class KeyStateSource {
public:
    virtual ~KeyStateSource() = default;
    virtual std::int16_t asyncKeyState(int vk) = 0;
    virtual KeyReading readKey(int vk) { return {asyncKeyState(vk), KeyReading::kPressesUnknown}; }
};

}  // namespace pressory::counting
