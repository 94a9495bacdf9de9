// Which keys can have a sound: exactly the counted keys of the layout.
#pragma once

namespace pressory::sound {

// True for the 84 counted keys of the layout; false for every other value,
// values outside 0 to 255 included.
bool hasSoundEntry(int vk) noexcept;

}  // namespace pressory::sound
