#pragma once

// What the main loop learns from a sequence parameter set: the displayed picture size and the
// sample aspect ratio; the MP4 writer also takes the chroma format and bit depths for `avcC`.

#include <cstdint>

namespace moraine {

struct SequenceParameters {
  std::uint32_t width = 0;   // luma samples
  std::uint32_t height = 0;  // luma samples
  std::uint32_t aspect_width = 1;
  std::uint32_t aspect_height = 1;
  std::uint32_t chroma_format_idc = 1;  // 4:2:0 unless the SPS says otherwise
  std::uint32_t bit_depth_luma_minus8 = 0;
  std::uint32_t bit_depth_chroma_minus8 = 0;
};

}  // namespace moraine
