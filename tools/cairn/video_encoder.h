#pragma once

// Encodes pictures to H.264 or HEVC and hands back each coded picture as NAL units, parameter sets
// apart from the slices, start codes removed.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/cairn/yuv_picture.h"

namespace moraine::cairn {

enum class VideoCodec { kH264, kHevc };

struct VideoEncoderSettings {
  VideoCodec codec = VideoCodec::kH264;
  int width = 0;
  int height = 0;
  int frame_rate = 25;
  int keyframe_interval = 25;  // pictures from one IDR picture to the next
  int quality = 28;            // constant rate factor, lower is better
};

using NalUnit = std::vector<std::uint8_t>;  // NAL header first, no start code

struct EncodedPicture {
  std::int64_t frame_index = 0;  // the index the picture was handed in with
  bool keyframe = false;
  std::vector<NalUnit> parameter_sets;  // VPS (HEVC), SPS, PPS in this order; only on IDR pictures
  std::vector<NalUnit> slices;          // all slices of the picture, in decoding order
};

class VideoEncoder {
 public:
  virtual ~VideoEncoder() = default;
  // Encodes one picture of the configured size; returns the pictures that came out (none while
  // the encoder holds pictures back).
  virtual std::vector<EncodedPicture> Encode(const YuvPicture& picture, std::int64_t frame_index) = 0;
  // Drains the pictures still held by the encoder.
  virtual std::vector<EncodedPicture> Flush() = 0;
};

// Opens an encoder with single-threaded, time-independent settings, so equal input gives equal
// bytes. nullptr and a message in `error` when the encoder refuses the settings.
std::unique_ptr<VideoEncoder> OpenVideoEncoder(const VideoEncoderSettings& settings, std::string& error);

// The bytes after a leading 3- or 4-byte start code; the whole unit when there is none.
NalUnit WithoutStartCode(const std::uint8_t* data, std::size_t size);

}  // namespace moraine::cairn
