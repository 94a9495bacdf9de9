// Where the key sources report every press, for the activity database.
#pragma once

#include <cstdint>
#include <string_view>

namespace pressory::activity {

// Receives every key and button press a source sees, by the key's stable
// name (see key_names.h), whatever the window shows or the history records.
// A source calls it while it reads its events (pump()), on the program's
// thread; the receiver keeps no reference to the name.
class PressSink {
public:
    virtual ~PressSink() = default;
    // `count` presses of the key named `key` began (the keyboard's auto-repeat
    // is never a press; a wheel step is one press of its direction).
    virtual void press(std::string_view key, std::uint32_t count) = 0;
};

}  // namespace pressory::activity
