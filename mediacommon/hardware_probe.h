#pragma once

// The availability test of the media modules.

#include <cstdint>

namespace moraine::mediacommon {

// Opens a hardware Media SDK session (API 1.7), asks its version and closes it again.
// Returns 1 when the session opened, else 0. The modules call it once and keep the answer.
std::int32_t ProbeHardwareSession();

}  // namespace moraine::mediacommon
