#pragma once

// Turns decoded audio frames of any sample format and channel layout into signed 16-bit mono
// samples at a chosen rate. Frames that already are 16-bit mono at that rate pass untouched; the
// others go through libswresample, which also resamples when the rates differ.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

namespace brook {

class PcmConverter {
 public:
  PcmConverter();
  ~PcmConverter();
  PcmConverter(const PcmConverter&) = delete;
  PcmConverter& operator=(const PcmConverter&) = delete;

  // Converts one decoded frame to `output_rate`. The samples stay valid until the next call or
  // until the frame changes; empty when the frame cannot be converted or the resampler holds them
  // back. A change of the frame's format or of the rate drops what the resampler still held.
  std::span<const std::int16_t> Convert(const AVFrame& frame, int output_rate);
  // Gives out what the resampler still holds at the end of the sound, if anything.
  std::span<const std::int16_t> Drain();

 private:
  struct ResamplerDeleter {
    void operator()(SwrContext* resampler) const { swr_free(&resampler); }
  };

  // Sets the resampler up for `frame` unless it already is; false when that fails.
  bool Prepare(const AVFrame& frame, int output_rate);
  std::span<const std::int16_t> Run(const std::uint8_t** input, int input_samples);

  std::unique_ptr<SwrContext, ResamplerDeleter> resampler_;
  AVChannelLayout input_layout_{};
  int input_format_ = -1;
  int input_rate_ = 0;
  int output_rate_ = 0;
  std::vector<std::int16_t> samples_;
};

}  // namespace brook
