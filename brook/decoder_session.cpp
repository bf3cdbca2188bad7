#include "brook/decoder_session.h"

#include <cstdio>
#include <limits>

namespace brook {
namespace {

constexpr int kMaxOutputSampleRate = 384000;
constexpr std::int32_t kChannelCount = 1;
constexpr std::int32_t kBitsPerSample = 16;

}  // namespace

DecoderSession::DecoderSession() = default;
DecoderSession::~DecoderSession() = default;

void DecoderSession::SetRate(std::int32_t rate_value) {
  if (state_ != State::kUnconfigured && state_ != State::kConfigured) return;
  rate_value_ = rate_value;
  state_ = State::kConfigured;
}

void DecoderSession::SetOutputSampleRate(std::int32_t sample_rate) {
  if (sample_rate < 0 || sample_rate > kMaxOutputSampleRate) return;
  requested_output_rate_ = sample_rate;
}

void DecoderSession::SetOutputCallback(BrookOutputCallback callback, void* context) {
  callback_ = callback;
  callback_context_ = context;
}

void DecoderSession::SetLock(std::recursive_mutex* audio_lock) { audio_lock_ = audio_lock; }

void DecoderSession::SetReleaseFunction(BrookReleaseFunction release) { buffer_release_.SetReleaseFunction(release); }

void DecoderSession::Decode(std::int32_t codec_selector, std::uint8_t* buffer, std::int32_t length,
                            std::int64_t sequence_number) {
  const ScopedBufferRelease release(buffer_release_, buffer);
  if (buffer == nullptr || length <= 0) return;
  if (state_ == State::kConfigured) Open(codec_selector);
  if (state_ != State::kOpen) return;

  if (!decoder_->Send({buffer, static_cast<std::size_t>(length)}, sequence_number)) {
    ++rejected_frame_count_;
    return;
  }
  last_tag_ = sequence_number;
  DeliverDecodedFrames();
}

void DecoderSession::Finish() {
  if (state_ == State::kOpen) {
    decoder_->SendEnd();
    DeliverDecodedFrames();
    Deliver(converter_.Drain(), last_output_rate_, last_tag_);
  }
  decoder_.reset();
  state_ = State::kFinished;
}

void DecoderSession::Open(std::int32_t codec_selector) {
  const std::optional<CodecChoice> choice = SelectCodec(codec_selector, rate_value_);
  if (!choice) {
    std::fprintf(stderr, "brook: no audio codec for selector %d with rate value %d; its audio is dropped\n",
                 static_cast<int>(codec_selector), static_cast<int>(rate_value_));
    state_ = State::kUnusable;
    return;
  }
  decoder_ = CodecDecoder::Open(*choice);
  if (!decoder_) {
    std::fprintf(stderr, "brook: the decoder for audio codec selector %d could not be opened; its audio is dropped\n",
                 static_cast<int>(codec_selector));
    state_ = State::kUnusable;
    return;
  }
  state_ = State::kOpen;
}

void DecoderSession::DeliverDecodedFrames() {
  for (;;) {
    const CodecDecoder::ReceiveStatus status = decoder_->Receive();
    if (status == CodecDecoder::ReceiveStatus::kNone) return;
    if (status == CodecDecoder::ReceiveStatus::kFailed) {
      ++rejected_frame_count_;
      return;
    }
    const AVFrame& frame = decoder_->frame();
    // The pts is the sequence number that went in with the frame's packet.
    if (frame.pts != AV_NOPTS_VALUE) last_tag_ = frame.pts;
    const int output_rate = requested_output_rate_ != 0 ? requested_output_rate_ : frame.sample_rate;
    last_output_rate_ = output_rate;
    Deliver(converter_.Convert(frame, output_rate), output_rate, last_tag_);
  }
}

void DecoderSession::Deliver(std::span<const std::int16_t> samples, int sample_rate, std::int64_t tag) {
  if (samples.empty() || callback_ == nullptr) return;
  constexpr std::size_t kMaxSamples = std::numeric_limits<std::int32_t>::max() / sizeof(std::int16_t);
  if (samples.size() > kMaxSamples) return;
  const auto length = static_cast<std::int32_t>(samples.size() * sizeof(std::int16_t));
  std::unique_lock<std::recursive_mutex> hold;
  if (audio_lock_ != nullptr) hold = std::unique_lock<std::recursive_mutex>(*audio_lock_);
  callback_(callback_context_, reinterpret_cast<const std::uint8_t*>(samples.data()), length, sample_rate,
            kChannelCount, kBitsPerSample, delivered_sample_count_, tag, kBrookOutputKindPcm);
  delivered_sample_count_ += static_cast<std::int64_t>(samples.size());
}

}  // namespace brook
