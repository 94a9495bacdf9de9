// Where the poller reads the global key state from.
#pragma once

#include <cstdint>

namespace pressory {

// The global asynchronous key state, one virtual-key code at a time.
//
// The contract every source meets: for each code 0 to 255 a value that is
// non-zero while the key is down, and also non-zero at the first reading
// after a press that began and ended since the reading before; 0 otherwise.
// The generic Shift, Ctrl and Alt codes (16, 17, 18) read as down while
// either key of the pair is down. Reading a code may clear its
// "pressed since the last reading" latch.
class KeyStateSource {
public:
    virtual ~KeyStateSource() = default;
    virtual std::int16_t asyncKeyState(int vk) = 0;
};

}  // namespace pressory
