#pragma once

// The facts of a sequence parameter set that a decoder's set-up needs: picture size and cropping,
// frame rate, sample aspect ratio, profile, level and the picture-buffer depth.

#include <cstdint>
#include <optional>
#include <span>

#include "bitstream/nal_units.h"

namespace moraine {

struct SequenceInfo {
  uint32_t coded_width = 0;   // luma samples of the decoded picture, before cropping
  uint32_t coded_height = 0;  // of a frame (both fields for interlaced H.264)
  uint32_t crop_left = 0;     // cropping in luma samples
  uint32_t crop_right = 0;
  uint32_t crop_top = 0;
  uint32_t crop_bottom = 0;
  uint32_t frame_rate_numerator = 0;  // 0 when the stream carries no timing
  uint32_t frame_rate_denominator = 0;
  uint32_t sar_width = 0;  // 0 when the stream gives no sample aspect ratio
  uint32_t sar_height = 0;
  uint32_t profile = 0;           // profile_idc (H.264) or general_profile_idc (HEVC)
  uint32_t constraint_flags = 0;  // H.264 constraint_set flags byte
  uint32_t level = 0;             // level_idc (H.264) or general_level_idc (HEVC, 30 x level)
  bool high_tier = false;         // HEVC general_tier_flag
  uint32_t chroma_format_idc = 1;
  uint32_t bit_depth_luma = 8;
  uint32_t bit_depth_chroma = 8;
  bool frames_only = true;           // no field or interlaced coding signalled
  uint32_t max_dec_frame_buffering = 0;  // pictures the decoder keeps; 0 when not signalled
};

// Parses a NAL unit (header included, Annex B start code excluded) holding a sequence parameter
// set. Empty when the unit is no SPS, is truncated or holds values out of range.
std::optional<SequenceInfo> ParseSequenceParameterSet(VideoCodec codec,
                                                      std::span<const uint8_t> nal);

}  // namespace moraine
