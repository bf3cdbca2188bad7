#pragma once

// The duration each picture of the video track gets. A video record lasts until the next video
// record. A record that gives no picture (undecodable) passes its time on to the next picture,
// so the video stays in step with the sound; a record that no later record follows (the last
// one, a clock stepped back, the 2^32 ms wrap of record times) lasts as long as the record before
// it, so no picture lasts 0.

#include <cstdint>

namespace moraine {

class VideoSampleDurations {
 public:
  // Until a record had a distance of its own: one picture at the encoder's 25 pictures a second.
  static constexpr std::uint64_t kFirstRecordTicks = 3600;

  // Notes a video record that went to the decoder; `distance` is the time to the next video
  // record in 90 kHz ticks, 0 when no later one follows.
  void NoteRecord(std::uint64_t distance);
  // The duration of the picture the latest record gave: the time of every record noted since the
  // previous picture. Starts the next picture's time at 0.
  std::uint64_t TakePicture();
  // The duration of the latest record, for pictures that come out of the encoder late.
  std::uint64_t latest() const { return latest_; }
  // A new pipeline starts: time noted without a picture belongs to the finished file.
  void Restart() { pending_ = 0; }

 private:
  std::uint64_t latest_ = kFirstRecordTicks;
  std::uint64_t pending_ = 0;
};

}  // namespace moraine
