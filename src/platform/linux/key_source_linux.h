// The choice of key-state source on Linux, with the input-device folder as a
// parameter so that it can be tried against a folder of one's own.
#pragma once

#include <string>
#include <string_view>

#include "platform/key_source.h"

namespace pressory::platform {

// Shown when no source can read the key state.
extern const std::string_view kNoKeyStateText;

KeySourceChoice chooseLinuxKeySource(const std::string& qtPlatformName, const std::string& inputDir);

}  // namespace pressory::platform
