#include "platform/win32/win32_key_source.h"

#include <windows.h>

namespace pressory::platform::win32 {

std::int16_t Win32KeySource::asyncKeyState(int vk) {
    if (vk < 0 || vk > 255) return 0;
    return static_cast<std::int16_t>(GetAsyncKeyState(vk));
}

}  // namespace pressory::platform::win32
