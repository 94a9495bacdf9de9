// The key state on Windows: the system's own asynchronous key-state query.
#pragma once

#include "platform/key_source.h"

namespace pressory::platform::win32 {

class Win32KeySource final : public PlatformKeySource {
public:
    std::int16_t asyncKeyState(int vk) override;
};

}  // namespace pressory::platform::win32
