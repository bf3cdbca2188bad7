#include "moraine/pipeline/video_sample_durations.h"

namespace moraine {

void VideoSampleDurations::NoteRecord(std::uint64_t distance) {
  if (distance != 0) latest_ = distance;
  pending_ += latest_;
}

std::uint64_t VideoSampleDurations::TakePicture() {
  const std::uint64_t duration = pending_;
  pending_ = 0;
  return duration;
}

}  // namespace moraine
