#pragma once

// What the main loop learns from a sequence parameter set: the displayed picture size and the
// sample aspect ratio; the MP4 writer also takes the chroma format and bit depths for `avcC`.

#include <cstddef>
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

// `nal` is a whole H.264 SPS NAL unit without its start code, its one-byte header first. Width and
// height are the cropped picture size; the aspect ratio is 1 : 1 when the SPS gives none, or an
// unspecified one. An SPS that ParseSequenceParameterSet refuses gives the defaults above: no
// size. Borrows `nal` for the call.
SequenceParameters ParseH264Sps(const std::uint8_t* nal, std::size_t size);

// The same for an HEVC NAL unit, its two-byte header first: width and height are the coded size
// less the conformance window. A NAL unit of another type than SPS keeps the width and height of
// `previous` and has the aspect ratio 1 : 1.
SequenceParameters ParseHevcSps(const std::uint8_t* nal, std::size_t size,
                                const SequenceParameters& previous);

}  // namespace moraine
