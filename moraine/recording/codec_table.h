#pragma once

// The codec descriptor of a Cairn recording: an info record "c" followed by four bytes of ASCII
// decimal text naming the codec number, which selects the audio codec and the video coding.

#include <cstddef>
#include <cstdint>

namespace moraine {

inline constexpr std::size_t kCodecNumberTextSize = 4;

struct CodecSettings {
  std::int32_t audio_codec_selector = 0;  // handed to the audio decoder
  std::int32_t audio_rate_value = 0;      // handed to the audio decoder
  std::int32_t audio_sample_rate = 0;     // Hz, for the audio track
  bool hevc = false;                      // video is HEVC rather than H.264

  friend bool operator==(const CodecSettings&, const CodecSettings&) = default;
};

// Reads the codec number from the four text bytes (not NUL-terminated) with atoi rules:
// leading blanks and a sign are allowed, reading stops at the first non-digit, no digits give 0.
std::int32_t ParseCodecNumber(const std::uint8_t* text);

// The settings a codec number selects; numbers without a row of their own share the default row.
CodecSettings LookUpCodec(std::int32_t codec_number);

}  // namespace moraine
