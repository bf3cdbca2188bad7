#pragma once

// The audio records of a recording: a synthetic sound encoded in the codec that the codec number
// selects and cut into the frames a recorder stores, 20 ms each for the sample-stream codecs
// (G.711, G.726, G.722) and one ADTS frame of 1024 samples each for AAC-LC.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/cairn/audio_signal.h"
#include "tools/cairn/audio_codec.h"

namespace moraine::cairn {

struct AudioFrame {
  std::int64_t start_sample = 0;  // position of the frame's first sample in the recording
  std::vector<std::uint8_t> payload;
};

struct AudioTrack {
  AudioCodec codec = AudioCodec::kG711MuLaw;
  int sample_rate = 8000;
  std::vector<AudioFrame> frames;
};

// Audio covering `duration_ms` (whole frames only) for `codec_number`; nullopt and a message in
// `error` when the encoder fails.
std::optional<AudioTrack> MakeAudioTrack(int codec_number, AudioSignal signal, std::int64_t duration_ms,
                                         std::uint32_t seed, std::string& error);

}  // namespace moraine::cairn
