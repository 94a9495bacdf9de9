#include "sound/sound_keys.h"

#include "counting/key_layout.h"

namespace pressory::sound {

bool hasSoundEntry(int vk) noexcept { return counting::layout::isCounted(vk); }

}  // namespace pressory::sound
