#pragma once

// What one audio decoder object does: it keeps the caller's configuration, takes over the frames
// it is handed, opens its codec at the first frame after configuration and delivers the decoded
// sound as 16-bit mono samples through the caller's callback, under the caller's audio lock.

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>

#include "brook/audio_decoder.h"
#include "brook/buffer_release.h"
#include "brook/codec_decoder.h"
#include "brook/codec_selection.h"
#include "brook/pcm_converter.h"

namespace brook {

class DecoderSession {
 public:
  DecoderSession();
  ~DecoderSession();
  DecoderSession(const DecoderSession&) = delete;
  DecoderSession& operator=(const DecoderSession&) = delete;

  // The first call configures the session; calls after the codec opened change nothing.
  void SetRate(std::int32_t rate_value);
  // 0 keeps the codec's own rate; values outside 0 to 384000 are ignored.
  void SetOutputSampleRate(std::int32_t sample_rate);
  void SetOutputCallback(BrookOutputCallback callback, void* context);
  void SetLock(std::recursive_mutex* audio_lock);
  void SetReleaseFunction(BrookReleaseFunction release);

  // Decodes one frame with the codec that `codec_selector` and the rate value name, and takes
  // `buffer` over. Produces nothing before configuration, after Finish, for a selector without
  // a codec and for a frame the codec rejects.
  void Decode(std::int32_t codec_selector, std::uint8_t* buffer, std::int32_t length, std::int64_t sequence_number);
  // Delivers what the codec and the resampler still hold; later decodes only release their buffer.
  void Finish();

  std::int64_t rejected_frame_count() const { return rejected_frame_count_; }
  std::int64_t delivered_sample_count() const { return delivered_sample_count_; }

 private:
  enum class State { kUnconfigured, kConfigured, kOpen, kUnusable, kFinished };

  void Open(std::int32_t codec_selector);
  void DeliverDecodedFrames();
  void Deliver(std::span<const std::int16_t> samples, int sample_rate, std::int64_t tag);

  State state_ = State::kUnconfigured;
  std::int32_t rate_value_ = 0;
  int requested_output_rate_ = 0;
  std::unique_ptr<CodecDecoder> decoder_;
  PcmConverter converter_;
  BufferRelease buffer_release_;

  BrookOutputCallback callback_ = nullptr;
  void* callback_context_ = nullptr;
  std::recursive_mutex* audio_lock_ = nullptr;

  // Tag and rate of the latest converted frame, for what the resampler gives out at the end.
  std::int64_t last_tag_ = 0;
  int last_output_rate_ = 0;
  std::int64_t rejected_frame_count_ = 0;
  std::int64_t delivered_sample_count_ = 0;
};

}  // namespace brook
