#include "moraine/mp4/aac_audio_stage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "moraine/mp4/staged_audio_durations.h"

namespace moraine {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Counts the access units the stage writes.
struct CountingTrack final : AacUnitSink {
  bool WriteUnit(std::span<const std::uint8_t> /*unit*/, std::uint32_t /*duration*/) override {
    ++units;
    return true;
  }
  int units = 0;
};

// 16-bit PCM whose bytes all differ from their neighbours, so a shift by one byte shows.
Bytes RampPcm(int samples) {
  Bytes pcm(static_cast<std::size_t>(samples) * 2);
  for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::uint8_t>(i * 37 + 11);
  return pcm;
}

// A stage with its encoder open at 8000 Hz.
class AacAudioStageTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(stage.Start(8000)); }

  AacAudioStage stage;
  CountingTrack track;
  AudioDurationMap durations;
};

TEST_F(AacAudioStageTest, ChunksLargerThanTheStagingBufferAreEncodedWhole) {
  // Ten seconds of audio in one chunk of 160000 bytes, and a chunk without a duration entry.
  const Bytes pcm = RampPcm(80000);
  durations[1] = 900000;
  EXPECT_EQ(stage.Encode(durations, pcm.data(), static_cast<int>(pcm.size()), 1, track), 0);
  EXPECT_EQ(stage.Encode(durations, pcm.data(), 3000, 2, track), 0);
  // 80000 + 1500 samples make 79 whole frames; the encoder holds the last one back.
  EXPECT_EQ(track.units, 78);
  stage.Finish(track);
  // 80 frames (the last one short) and the delayed unit.
  EXPECT_EQ(track.units, 81);
  EXPECT_TRUE(stage.staged_pcm().empty());
}

// Half a sample at the end of a chunk is dropped; staged whole it would shift every later
// sample by one byte.
TEST_F(AacAudioStageTest, OddByteIsDroppedWithOneWarning) {
  const Bytes pcm = RampPcm(100);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(stage.Encode(durations, pcm.data(), 11, 1, track), 0);
  EXPECT_EQ(stage.Encode(durations, pcm.data(), 7, 2, track), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "warning: the audio decoder delivered an odd number of bytes; the odd byte is dropped\n");
  const std::span<const std::uint8_t> staged = stage.staged_pcm();
  ASSERT_EQ(staged.size(), 16u);
  EXPECT_EQ(Bytes(staged.begin() + 10, staged.end()), Bytes(pcm.begin(), pcm.begin() + 6));
}

// How the time of staged records is shared out over encoder frames (durations in samples).
TEST(StagedAudioDurationsTest, RecordTimeIsSharedOverItsFramesBySamples) {
  struct Added {
    std::int64_t sequence, samples;
    std::optional<std::int64_t> duration;
  };
  const struct {
    std::vector<Added> added;
    std::vector<std::int64_t> taken, expected;  // samples of each frame, and its duration
  } cases[] = {
      // A 400 ms record at 8 kHz recorded as 3300 samples' time fills three frames and a part.
      {{{1, 3200, 3300}}, {1024, 1024, 1024, 128}, {1056, 1056, 1056, 132}},
      // Short records: one frame gathers several and splits the one it cuts.
      {{{1, 800, 900}, {2, 800, 700}}, {1024, 576}, {900 + 196, 504}},
      // More sound of a record spreads its time; a record without one lasts as long as it plays; a
      // duration without samples goes to the next frame.
      {{{1, 100, 400}, {1, 100, std::nullopt}, {2, 50, std::nullopt}, {3, 0, 90}}, {250}, {540}},
  };
  for (const auto& c : cases) {
    StagedAudioDurations staged;
    for (const Added& added : c.added) staged.Add(added.sequence, added.samples, added.duration);
    std::vector<std::int64_t> shares;
    for (const std::int64_t samples : c.taken) shares.push_back(staged.Take(samples));
    EXPECT_EQ(shares, c.expected);
  }
}

}  // namespace
}  // namespace moraine
