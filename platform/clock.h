#pragma once

// Tick counter and sleeps.

#include <cstdint>

namespace moraine::platform {

// Milliseconds on a monotonic clock; only differences between two readings mean anything.
std::uint64_t TickCountMilliseconds();

// Blocks the calling thread for at least `milliseconds`.
void SleepMilliseconds(std::uint32_t milliseconds);

}  // namespace moraine::platform
