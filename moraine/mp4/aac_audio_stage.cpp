#include "moraine/mp4/aac_audio_stage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "moraine/mp4/mp4_time_scale.h"

namespace moraine {

namespace {

constexpr std::int32_t kFrameBytes = AacEncoder::kFrameSamples * 2;

void ReportEncodeFailure() { std::fputs("error: aac encode fail\n", stderr); }

// A record duration of the main loop (90 kHz ticks) in samples of the audio track. Record times
// count milliseconds, so at 8000 and 16000 Hz the result is exact.
std::int64_t AudioTrackTicks(const AacEncoder& encoder, std::int64_t ticks) {
  return ticks * encoder.sample_rate() / kMp4TimeScale;
}

}  // namespace

bool AacAudioStage::Start(int sample_rate) {
  encoder_ = AacEncoder::Open(sample_rate);
  frame_durations_.clear();
  if (!encoder_) {
    std::fprintf(stderr, "error: cannot open the AAC encoder at %d Hz\n", sample_rate);
    return false;
  }
  // The first access unit plays the encoder's priming, which the track's edit list skips.
  if (const std::uint32_t delay = delay_samples(); delay != 0) frame_durations_.push_back(delay);
  return true;
}

std::uint32_t AacAudioStage::delay_samples() const {
  return encoder_ ? static_cast<std::uint32_t>(encoder_->delay_samples()) : 0;
}

int AacAudioStage::Encode(AudioDurationMap& durations, const std::uint8_t* data, int byte_count,
                          std::int64_t sequence, AacUnitSink& track) {
  if (data == nullptr || byte_count < 0) return -1;
  if (byte_count % 2 != 0) {
    // Staged whole, the half sample would shift every later sample by one byte into noise.
    if (!odd_chunk_reported_) {
      std::fputs("warning: the audio decoder delivered an odd number of bytes; the odd byte is dropped\n", stderr);
      odd_chunk_reported_ = true;
    }
    --byte_count;
  }
  std::optional<std::int64_t> duration;
  // The time of earlier records whose sound never came back goes to this one.
  if (const std::optional<std::uint64_t> ticks = TakeAudioDuration(durations, sequence)) {
    // A record that is not followed by a later one (the last, or one before a clock step) lasts
    // as long as its sound plays.
    if (*ticks > 0 && encoder_) duration = AudioTrackTicks(*encoder_, static_cast<std::int64_t>(*ticks));
  }
  if (!encoder_) {
    ReportEncodeFailure();
    return -1;
  }
  staged_durations_.Add(sequence, byte_count / 2, duration);

  // The chunk goes through the staging buffer in pieces, so no chunk is too large for it.
  std::int32_t taken = 0;
  while (taken < byte_count) {
    const std::int32_t piece = std::min(kStagingBytes - staged_bytes_, byte_count - taken);
    std::memcpy(staging_.data() + staged_bytes_, data + taken, static_cast<std::size_t>(piece));
    staged_bytes_ += piece;
    taken += piece;

    while (staged_bytes_ >= kFrameBytes) {
      if (!SendStagedFrame(AacEncoder::kFrameSamples)) {
        DropStaged();  // the rest of the chunk goes with it
        return -1;
      }
      staged_bytes_ -= kFrameBytes;
      std::memmove(staging_.data(), staging_.data() + kFrameBytes, static_cast<std::size_t>(staged_bytes_));
      if (WriteFinishedUnits(track) != 0) {
        DropStaged();
        return -1;
      }
    }
  }
  return 0;
}

void AacAudioStage::Finish(AacUnitSink& track) {
  if (encoder_) {
    const std::int32_t samples = staged_bytes_ / 2;
    // A short last frame keeps the sound of this file in this file.
    if (samples > 0 && SendStagedFrame(samples)) WriteFinishedUnits(track);
    if (encoder_->SendEnd()) {
      WriteFinishedUnits(track);
    } else {
      ReportEncodeFailure();
    }
  }
  Discard();
}

void AacAudioStage::Discard() {
  encoder_.reset();
  staged_bytes_ = 0;
  staged_durations_.Clear();
  frame_durations_.clear();
}

// A frame whose records lasted nothing takes its playing time: a sample of duration 0 would share
// its time stamp with the next.
bool AacAudioStage::SendStagedFrame(int samples) {
  if (!encoder_->SendFrame(staging_.data(), samples)) {
    ReportEncodeFailure();
    return false;
  }
  const std::int64_t duration = staged_durations_.Take(samples);
  frame_durations_.push_back(duration > 0 ? duration : samples);
  return true;
}

int AacAudioStage::WriteFinishedUnits(AacUnitSink& track) {
  std::vector<std::uint8_t> unit;
  for (;;) {
    const int received = encoder_->ReceivePacket(unit);
    if (received == 0) return 0;
    if (received < 0) {
      ReportEncodeFailure();
      return -1;
    }
    std::int64_t duration = AacEncoder::kFrameSamples;
    if (!frame_durations_.empty()) {
      duration = frame_durations_.front();
      frame_durations_.pop_front();
    }
    if (!track.WriteUnit(unit, static_cast<std::uint32_t>(duration))) {
      staged_durations_.Carry(duration);  // the next sample carries it
      return -1;
    }
  }
}

void AacAudioStage::DropStaged() {
  staged_bytes_ = 0;
  staged_durations_.DropStaged();
}

}  // namespace moraine
