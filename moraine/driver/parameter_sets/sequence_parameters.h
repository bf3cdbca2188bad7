#pragma once

// What the main loop learns from a sequence parameter set: the picture size and the sample
// aspect ratio.

#include <cstdint>

namespace moraine {

struct SequenceParameters {
  std::uint32_t width = 0;   // luma samples
  std::uint32_t height = 0;  // luma samples
  std::uint32_t aspect_width = 1;
  std::uint32_t aspect_height = 1;
};

}  // namespace moraine
