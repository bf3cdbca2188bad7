#pragma once

// The module's one setting from the registry: the percentage below which a picture counts as
// black and white (its colour is too faint to tell skin).

#include <cstdint>

namespace moraine::anonymizer {

// The value "BWThreshold" of the registry stand-in (platform/registry.h); 1 when the key cannot be
// read or the value is missing or not a 32-bit number. Reports which of these it found.
std::int32_t ReadBwThreshold();

}  // namespace moraine::anonymizer
