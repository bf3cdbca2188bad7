#pragma once

// The time that staged PCM stands for, record by record, and how it is shared out over the
// encoder frames cut from it. A record that decodes to more than one frame gives each frame the
// part of its duration that the frame's samples make up, so the frames of a file add up to the
// records' time whatever the record length.

#include <cstdint>
#include <deque>
#include <optional>

namespace moraine {

class StagedAudioDurations {
 public:
  // Notes `samples` newly staged samples of the audio record `sequence`, lasting `duration` (in
  // the audio track's time scale, which counts samples). Without a duration (nullopt) they
  // continue the latest record when they come from it, else they last as long as they play. A
  // duration without samples is carried.
  void Add(std::int64_t sequence, std::int64_t samples, std::optional<std::int64_t> duration);

  // Takes the duration of the next `samples` staged samples: from each record its share in
  // proportion to the samples taken, the rounding kept with the record, so that the shares of a
  // record add up to its duration. Whatever is carried comes on top.
  std::int64_t Take(std::int64_t samples);

  // Adds `duration` to the next Take: the time of sound that was lost stays in the track, so the
  // sound after it stays in step.
  void Carry(std::int64_t duration) { carried_ += duration; }
  // The staged samples were dropped: their time is carried.
  void DropStaged();
  // Forgets everything, carried time included (the file ends).
  void Clear();

 private:
  struct StagedRecord {
    std::int64_t sequence = 0;
    std::int64_t samples = 0;   // still staged
    std::int64_t duration = 0;  // of those samples
  };
  std::deque<StagedRecord> records_;
  std::int64_t carried_ = 0;
};

}  // namespace moraine
