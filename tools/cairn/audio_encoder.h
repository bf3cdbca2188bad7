#pragma once

// Encodes 16-bit mono sound with libavcodec into the packets of one audio codec.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/cairn/audio_codec.h"

namespace moraine::cairn {

using AudioPacket = std::vector<std::uint8_t>;

// Encodes all `samples` as one continuous stream (the last frame padded with silence) and returns
// the packets in order, the encoder's delayed ones included. `rate_value` is the bit rate for
// AAC-LC and G.726 and is not used otherwise. nullopt and a message in `error` on failure.
std::optional<std::vector<AudioPacket>> EncodeAudio(AudioCodec codec, int sample_rate, int rate_value,
                                                    std::span<const std::int16_t> samples, std::string& error);

}  // namespace moraine::cairn
