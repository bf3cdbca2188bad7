#pragma once

// Test tones for the audio decoder module: a sine tone coded with libavcodec's own encoders, and
// measurements of how well decoded sound still carries that tone.

#include <cstdint>
#include <span>
#include <vector>

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace brook::testing {

using Bytes = std::vector<std::uint8_t>;

struct ToneCoding {
  AVCodecID codec_id = AV_CODEC_ID_NONE;
  int sample_rate = 8000;
  std::int64_t bit_rate = 0;  // 0 leaves the encoder's default; G.726 takes its code size from it
  double frequency = 440.0;
  double amplitude = 8000.0;
  int sample_count = 8000;
};

// Codes the tone and returns the encoder's packets in order.
std::vector<Bytes> EncodeTone(const ToneCoding& coding);

// Joins byte-stream packets and cuts the result into records of `record_size` bytes (the last one
// may be shorter).
std::vector<Bytes> CutIntoRecords(const std::vector<Bytes>& packets, std::size_t record_size);

// Puts a 7-byte ADTS header (AAC-LC, one channel, no CRC) in front of each raw AAC packet.
std::vector<Bytes> WithAdtsHeaders(const std::vector<Bytes>& packets, int sample_rate);

// Amplitude of the `frequency` component of `samples`, from their correlation with a sine and a
// cosine of that frequency.
double ToneAmplitude(std::span<const std::int16_t> samples, int sample_rate, double frequency);
// Share of the sound's power that lies in the `frequency` component: near 1 for a clean tone.
double TonePurity(std::span<const std::int16_t> samples, int sample_rate, double frequency);

}  // namespace brook::testing
