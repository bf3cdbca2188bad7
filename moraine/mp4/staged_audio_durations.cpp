#include "moraine/mp4/staged_audio_durations.h"

#include <algorithm>

namespace moraine {

void StagedAudioDurations::Add(std::int64_t sequence, std::int64_t samples, std::optional<std::int64_t> duration) {
  if (samples <= 0) {
    carried_ += duration.value_or(0);
    return;
  }
  if (!duration && !records_.empty() && records_.back().sequence == sequence) {
    // More sound of a record whose duration is already counted: it spreads over all of it.
    records_.back().samples += samples;
    return;
  }
  records_.push_back({sequence, samples, duration.value_or(samples)});
}

std::int64_t StagedAudioDurations::Take(std::int64_t samples) {
  std::int64_t taken = carried_;
  carried_ = 0;
  while (samples > 0 && !records_.empty()) {
    StagedRecord& record = records_.front();
    const std::int64_t count = std::min(samples, record.samples);
    // duration × count / samples, split so that no product leaves 64 bits: a record may last
    // weeks of 90 kHz ticks and hold millions of samples.
    const std::int64_t share = record.duration / record.samples * count +
                               record.duration % record.samples * count / record.samples;
    taken += share;
    samples -= count;
    record.samples -= count;
    record.duration -= share;
    if (record.samples == 0) records_.pop_front();
  }
  return taken;
}

void StagedAudioDurations::DropStaged() {
  for (const StagedRecord& record : records_) carried_ += record.duration;
  records_.clear();
}

void StagedAudioDurations::Clear() {
  records_.clear();
  carried_ = 0;
}

}  // namespace moraine
