// The chord that pauses and resumes counting from any application: both Ctrl
// keys down together. It toggles once when the second of the two goes down,
// and again only after both have been let go.
#pragma once

#include <utility>

namespace pressory::activity {

class PauseChord {
public:
    // The two Ctrl keys as read now; true when the pause is to toggle.
    bool update(bool leftDown, bool rightDown) {
        if (leftDown && rightDown) return !std::exchange(held_, true);
        if (!leftDown && !rightDown) held_ = false;
        return false;
    }

private:
    bool held_ = false;
};

}  // namespace pressory::activity
