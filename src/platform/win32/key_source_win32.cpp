#include "platform/key_source.h"
#include "platform/win32/win32_key_source.h"

namespace pressory::platform {

KeySourceChoice chooseKeySource(const std::string&) {
    KeySourceChoice choice;
    choice.source = std::make_unique<win32::Win32KeySource>();
    return choice;
}

}  // namespace pressory::platform
