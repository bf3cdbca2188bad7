#pragma once

// Which libavcodec decoder serves an audio codec selector and rate value, and how it is set up.

#include <cstdint>
#include <optional>

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace brook {

struct CodecChoice {
  AVCodecID codec_id = AV_CODEC_ID_NONE;
  // Sample rate of the coded audio; 0 when every frame says it itself (ADTS).
  int sample_rate = 0;
  // Bits per code word of G.726; 0 for the other codecs.
  int bits_per_coded_sample = 0;
};

// Returns the decoder for the selector and rate value, or nothing when the pair has none.
std::optional<CodecChoice> SelectCodec(std::int32_t codec_selector, std::int32_t rate_value);

}  // namespace brook
