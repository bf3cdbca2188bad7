#include "moraine/mp4/audio_duration_map.h"

#include <gtest/gtest.h>

namespace moraine {
namespace {

// A day of undecodable audio is 4.3 million records of 20 ms; 10,000 show the same. The map stays
// small, and the time of records whose sound never came back goes to the next one whose sound does.
TEST(AudioDurationMap, RecordsWhoseSoundNeverComesBackCostBoundedMemoryAndKeepTheirTime) {
  constexpr std::uint64_t kTicks = 20 * 90;
  AudioDurationMap durations;
  for (std::int64_t sequence = 1; sequence <= 10000; ++sequence) NoteAudioDuration(durations, sequence, kTicks);
  EXPECT_EQ(durations.size(), kMaxAudioDurationEntries);
  EXPECT_EQ(TakeAudioDuration(durations, 9998), 9998 * kTicks);  // records 1 to 9997 never called back
  EXPECT_EQ(TakeAudioDuration(durations, 9998), std::nullopt);   // a second chunk of the same record
  EXPECT_EQ(durations.size(), 2u);                                // 9999 and 10000 may still call back
  EXPECT_EQ(TakeAudioDuration(durations, 10001), 2 * kTicks);
  EXPECT_TRUE(durations.empty());
}

}  // namespace
}  // namespace moraine
