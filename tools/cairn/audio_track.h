#pragma once

// The audio records of a recording: a synthetic sound encoded in the codec that the codec number
// selects and cut into the frames a recorder stores, of a chosen length for the sample-stream
// codecs (G.711, G.726, G.722) and one ADTS frame of 1024 samples each for AAC-LC.

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

struct AudioTrackSettings {
  int codec_number = 10;
  AudioSignal signal = AudioSignal::kTone;
  std::int64_t duration_ms = 0;  // whole frames only
  std::int64_t onset_ms = 0;     // silence before the signal
  int record_ms = 20;            // frame length of the sample-stream codecs
  int aac_rate = 0;              // AAC coded at this rate instead of the codec table's (0: the table's)
  std::uint32_t seed = 1;
};

// The audio the settings describe; nullopt and a message in `error` when the encoder fails.
std::optional<AudioTrack> MakeAudioTrack(const AudioTrackSettings& settings, std::string& error);

}  // namespace moraine::cairn
