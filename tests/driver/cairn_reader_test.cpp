#include "moraine/recording/cairn_reader.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/driver/allocation_tracker.h"
#include "tests/driver/recording_builder.h"
#include "tests/support/temp_dir.h"

namespace moraine {
namespace {

using testing::RecordingBuilder;
using testing::VideoPayload;

constexpr std::uint8_t kVideo = 1;
constexpr std::uint8_t kVideoAlt = 2;
constexpr std::uint8_t kInfo = 4;
constexpr std::uint8_t kParameterSet = 5;
constexpr std::uint8_t kAudio = 6;

class CairnReaderTest : public ::testing::Test {
 protected:
  std::unique_ptr<CairnReader> OpenRecording(const RecordingBuilder& recording) {
    auto reader = CairnReader::Open(recording.WriteTo(temp_.File("input.cairn")));
    EXPECT_NE(reader, nullptr);
    return reader;
  }

  // Reads every record and returns their kinds in order.
  static std::vector<int> ReadKinds(CairnReader& reader) {
    std::vector<int> kinds;
    while (auto record = reader.ReadNextRecord()) kinds.push_back(record->header.kind);
    return kinds;
  }

  testing::TempDir temp_;
};

TEST_F(CairnReaderTest, DeliversHeaderAndPayloadInOneBuffer) {
  RecordingBuilder recording;
  recording.Add(kVideo, 1000, VideoPayload()).Add(kAudio, 1020, {0xAA, 0xBB});
  auto reader = OpenRecording(recording);

  auto video = reader->ReadNextRecord();
  ASSERT_TRUE(video.has_value());
  EXPECT_EQ(video->header.kind, kVideo);
  EXPECT_EQ(RecordTime(video->header), 1000u);
  ASSERT_EQ(video->bytes.size(), kCairnHeaderSize + VideoPayload().size());
  EXPECT_TRUE(std::equal(recording.bytes().begin(), recording.bytes().begin() + video->bytes.size(),
                         video->bytes.begin()));
  EXPECT_EQ(std::vector<std::uint8_t>(video->payload(), video->payload() + video->payload_size()), VideoPayload());

  auto audio = reader->ReadNextRecord();
  ASSERT_TRUE(audio.has_value());
  EXPECT_EQ(audio->header.kind, kAudio);
  EXPECT_EQ(audio->payload_size(), 2u);
  EXPECT_FALSE(reader->AtEnd());

  EXPECT_FALSE(reader->ReadNextRecord().has_value());
  EXPECT_TRUE(reader->AtEnd());
  EXPECT_FALSE(reader->ReadNextRecord().has_value());
}

TEST_F(CairnReaderTest, DeliversEveryKindIncludingThoseTheConverterSkips) {
  RecordingBuilder recording;
  for (std::uint8_t kind = 0; kind < 16; ++kind) recording.Add(kind, kind, {kind});
  // Bits 4-7 of the first header byte do not belong to the kind.
  recording.AddBytes({0xF2, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x42});
  auto reader = OpenRecording(recording);
  EXPECT_EQ(ReadKinds(*reader), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 2}));
}

TEST_F(CairnReaderTest, EmptyPayloadIsSkippedAndReadingGoesOn) {
  RecordingBuilder recording;
  recording.Add(kVideo, 0, {}).Add(kInfo, 0, {}).Add(kAudio, 10, {1, 2, 3}).Add(kVideo, 20, {}).Add(kVideoAlt, 40, {9});
  auto reader = OpenRecording(recording);
  EXPECT_EQ(ReadKinds(*reader), (std::vector<int>{kAudio, kVideoAlt}));
  EXPECT_TRUE(reader->AtEnd());
}

TEST_F(CairnReaderTest, RecordingOfOnlyEmptyRecordsYieldsNothing) {
  RecordingBuilder recording;
  recording.Add(kVideo, 0, {}).Add(kAudio, 0, {}).Add(kParameterSet, 0, {});
  auto reader = OpenRecording(recording);
  EXPECT_FALSE(reader->ReadNextRecord().has_value());
  EXPECT_TRUE(reader->AtEnd());
}

TEST_F(CairnReaderTest, LastRecordCutShortIsDropped) {
  RecordingBuilder recording;
  recording.Add(kVideo, 0, VideoPayload()).AddWithLength(kAudio, 10, 10, {1, 2, 3, 4});
  auto reader = OpenRecording(recording);
  EXPECT_EQ(ReadKinds(*reader), (std::vector<int>{kVideo}));
  EXPECT_TRUE(reader->AtEnd());
}

TEST_F(CairnReaderTest, HugeLengthNearTheEndIsATruncatedRecord) {
  RecordingBuilder recording;
  recording.Add(kAudio, 0, {7}).AddWithLength(kVideo, 10, 0xFFFFFF, std::vector<std::uint8_t>(10, 0xCC));
  auto reader = OpenRecording(recording);
  testing::AllocationTracker tracker;
  EXPECT_EQ(ReadKinds(*reader), (std::vector<int>{kAudio}));
  EXPECT_LT(tracker.LargestAllocation(), 4096u);
}

TEST_F(CairnReaderTest, ShortHeaderAtTheEndEndsTheInput) {
  RecordingBuilder recording;
  recording.Add(kAudio, 0, {7}).AddBytes({kVideo, 0, 1, 0, 0});
  auto reader = OpenRecording(recording);
  EXPECT_EQ(ReadKinds(*reader), (std::vector<int>{kAudio}));
  EXPECT_TRUE(reader->AtEnd());
}

TEST_F(CairnReaderTest, OpenFailsForMissingFileAndNullStream) {
  EXPECT_EQ(CairnReader::Open(temp_.File("missing.cairn")), nullptr);
  EXPECT_EQ(CairnReader::FromStream(nullptr), nullptr);
}

TEST_F(CairnReaderTest, ReadsFromAnInMemoryStream) {
  RecordingBuilder recording;
  recording.Add(kParameterSet, 0, VideoPayload(0x67)).Add(kVideo, 40, VideoPayload());
  std::vector<std::uint8_t> buffer = recording.bytes();
  auto reader = CairnReader::FromStream(fmemopen(buffer.data(), buffer.size(), "rb"));
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(ReadKinds(*reader), (std::vector<int>{kParameterSet, kVideo}));
}

TEST_F(CairnReaderTest, LookAheadFindsTheNextVideoPastOtherKinds) {
  RecordingBuilder recording;
  recording.Add(kVideo, 1000, VideoPayload())
      .Add(kAudio, 1010, {1})
      .Add(kInfo, 1015, {'x'})
      .Add(kVideoAlt, 1040, VideoPayload())
      .Add(kAudio, 1050, {2});
  auto reader = OpenRecording(recording);

  auto first = reader->ReadNextRecord();
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(reader->LookAheadDuration(kVideo, RecordTime(first->header)), 3600u);
  // Asking twice gives the same answer: the read position was restored.
  EXPECT_EQ(reader->LookAheadDuration(kVideoAlt, RecordTime(first->header)), 3600u);

  auto audio = reader->ReadNextRecord();
  ASSERT_TRUE(audio.has_value());
  EXPECT_EQ(audio->header.kind, kAudio);
  EXPECT_EQ(reader->LookAheadDuration(kAudio, RecordTime(audio->header)), 40u * 90);
  // Info and parameter-set records have no family.
  EXPECT_EQ(reader->LookAheadDuration(kInfo, RecordTime(audio->header)), 0u);
  EXPECT_EQ(reader->LookAheadDuration(kParameterSet, RecordTime(audio->header)), 0u);

  ASSERT_TRUE(reader->ReadNextRecord().has_value());  // info
  auto second_video = reader->ReadNextRecord();
  ASSERT_TRUE(second_video.has_value());
  EXPECT_EQ(second_video->header.kind, kVideoAlt);
  // The last record of a family gets 0, and the scan to the end leaves reading undisturbed.
  EXPECT_EQ(reader->LookAheadDuration(kVideoAlt, RecordTime(second_video->header)), 0u);
  EXPECT_FALSE(reader->AtEnd());
  auto last_audio = reader->ReadNextRecord();
  ASSERT_TRUE(last_audio.has_value());
  EXPECT_EQ(last_audio->header.kind, kAudio);
  EXPECT_EQ(reader->LookAheadDuration(kAudio, RecordTime(last_audio->header)), 0u);
  EXPECT_FALSE(reader->ReadNextRecord().has_value());
}

TEST_F(CairnReaderTest, LookAheadGivesZeroWhenTheNextTimeIsNotLater) {
  constexpr std::uint32_t kLastMillisecond = 0xFFFFFFFF;
  RecordingBuilder recording;
  recording.Add(kVideo, 500, VideoPayload()).Add(kVideo, 500, VideoPayload()).Add(kVideo, 400, VideoPayload());
  auto reader = OpenRecording(recording);
  ASSERT_TRUE(reader->ReadNextRecord().has_value());
  EXPECT_EQ(reader->LookAheadDuration(kVideo, 500), 0u);  // same time
  ASSERT_TRUE(reader->ReadNextRecord().has_value());
  EXPECT_EQ(reader->LookAheadDuration(kVideo, 500), 0u);  // earlier time

  // 4294967.295 s is the last millisecond before the record time wraps to 0.
  RecordingBuilder wrapping;
  CairnRecordHeader wrapped;
  wrapped.kind = kVideo;
  wrapped.length = 1;
  wrapped.seconds = 4294967;
  wrapped.milliseconds = 296;
  wrapping.Add(kVideo, 0, {1}).AddHeader(wrapped).AddBytes({2});
  reader = OpenRecording(wrapping);
  ASSERT_EQ(RecordTime(wrapped), 0u);
  ASSERT_TRUE(reader->ReadNextRecord().has_value());
  EXPECT_EQ(reader->LookAheadDuration(kVideo, kLastMillisecond), 0u);
}

TEST_F(CairnReaderTest, LookAheadCountsOnlyRecordsTheReaderDelivers) {
  RecordingBuilder recording;
  recording.Add(kVideo, 0, VideoPayload())
      .Add(kVideo, 20, {})  // empty: skipped by the reader, so not the next frame
      .Add(kVideo, 40, VideoPayload())
      .Add(kAudio, 50, {1})
      .AddWithLength(kVideo, 80, 100, VideoPayload());  // cut short: dropped by the reader
  auto reader = OpenRecording(recording);

  ASSERT_TRUE(reader->ReadNextRecord().has_value());
  EXPECT_EQ(reader->LookAheadDuration(kVideo, 0), 3600u);
  auto second = reader->ReadNextRecord();
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(RecordTime(second->header), 40u);
  EXPECT_EQ(reader->LookAheadDuration(kVideo, 40), 0u);
  auto audio = reader->ReadNextRecord();
  ASSERT_TRUE(audio.has_value());
  EXPECT_EQ(audio->header.kind, kAudio);
  EXPECT_FALSE(reader->ReadNextRecord().has_value());
}

TEST_F(CairnReaderTest, ArbitraryBytesAreReadSafely) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::uint8_t> bytes(1 + random() % 400);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    // Small lengths make whole records likely; the rest keep their random lengths.
    for (std::size_t at = 0; round % 2 == 0 && at + 5 < bytes.size(); at += 24) {
      bytes[at + 3] = 0;
      bytes[at + 4] = 0;
      bytes[at + 2] %= 16;
    }
    auto reader = CairnReader::FromStream(fmemopen(bytes.data(), bytes.size(), "rb"));
    ASSERT_NE(reader, nullptr);
    std::size_t delivered = 0;
    while (auto record = reader->ReadNextRecord()) {
      delivered += record->bytes.size();
      ASSERT_GT(record->payload_size(), 0u);
      ASSERT_LE(delivered, bytes.size());
      reader->LookAheadDuration(record->header.kind, RecordTime(record->header));
    }
    EXPECT_TRUE(reader->AtEnd());
  }
}

// Records an intact file may hold besides the usual ones are read as they always were, with the
// usual durations: a gap of two hours, kinds the converter skips, empty records. Only a last record
// cut short is damage.
TEST_F(CairnReaderTest, OddRecordsOfAnIntactFileAreNotDamage) {
  RecordingBuilder recording;
  recording.Add(kVideo, 1000, VideoPayload())
      .Add(kVideo, 7201000, VideoPayload())  // after a pause of the recorder
      .Add(9, 7201010, {1, 2, 3})
      .Add(kAudio, 7201020, {})
      .Add(kVideo, 7201040, VideoPayload());
  const std::uint64_t intact_size = recording.bytes().size();
  recording.AddWithLength(kAudio, 7201060, 400, {5, 6});
  auto reader = OpenRecording(recording);
  std::vector<CairnReader::SkippedRange> damage;
  reader->SetDamageHandler([&damage](const CairnReader::SkippedRange& range) { damage.push_back(range); });
  std::vector<std::uint64_t> durations;
  while (auto record = reader->ReadNextRecord()) {
    durations.push_back(reader->LookAheadDuration(record->header.kind, RecordTime(record->header)));
  }
  EXPECT_EQ(durations, (std::vector<std::uint64_t>{7200000u * 90, 40 * 90, 0, 0}));
  ASSERT_EQ(damage.size(), 1u);
  EXPECT_EQ(damage[0].offset, intact_size);
  EXPECT_EQ(damage[0].size, kCairnHeaderSize + 2);
}

}  // namespace
}  // namespace moraine
