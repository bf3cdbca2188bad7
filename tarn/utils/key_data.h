#pragma once

// Recognises the access unit that may start decoding: one that begins with a parameter set.

#include <cstdint>

namespace moraine::tarn {

enum class VideoCodec { kH264, kHevc };

// True when `count` is above 5 and the NAL unit behind a four-byte start code at the front of `data`
// is a parameter set: VPS, SPS or PPS for HEVC (types 32 to 34), SPS or PPS for H.264 (types 7, 8).
bool IsKeyData(VideoCodec codec, const std::uint8_t* data, std::int32_t count);

}  // namespace moraine::tarn
