#pragma once

#include <cstdint>

namespace moraine {

// Time scale of the video track and unit of the main loop's durations; the audio track counts in
// samples of its own rate.
inline constexpr std::uint32_t kMp4TimeScale = 90000;

}  // namespace moraine
