// Reading the process environment through a function, so that what depends
// on it can be tried with an environment of one's own.
#pragma once

#include <functional>

namespace pressory::platform {

// The value of an environment variable: null when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

// The environment of this process.
EnvironmentLookup processEnvironment();

}  // namespace pressory::platform
