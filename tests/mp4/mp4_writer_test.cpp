#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "moraine/mp4/byte_vector.h"
#include "moraine/mp4/memory_write_target.h"
#include "moraine/mp4/mp4_output.h"
#include "moraine/mp4/mp4_writer.h"
#include "tests/mp4/mp4_box_finder.h"

namespace moraine {
namespace {

using testing::BoxBytes;
using testing::FindBox;
using testing::ReadU32;
using testing::ReadU64;
using Bytes = std::vector<std::uint8_t>;

Mp4TrackInfo AudioInfo(std::uint32_t sample_rate) {
  Mp4TrackInfo info;
  info.object_type = kMp4ObjectTypeAac;
  info.kind = kMp4AudioTrack;
  info.time_scale = 90000;
  info.width_or_channels = 1;
  info.sample_rate = sample_rate;
  return info;
}

// A writer over memory with a video track holding one SPS (profile 0x42, level 0x1E) and PPS.
struct MemoryFile {
  MemoryFile() : writer(MP4E_create(&target)) {
    video = MP4E_new_track(writer.get(), VideoTrackInfo());
    const std::uint8_t sps[] = {0x67, 0x42, 0xC0, 0x1E, 0xDA};
    const std::uint8_t pps[] = {0x68, 0xCE, 0x38, 0x80};
    MP4E_add_sps(writer.get(), video, sps, sizeof sps);
    MP4E_add_pps(writer.get(), video, pps, sizeof pps);
  }
  const Bytes& Finish() {
    EXPECT_EQ(MP4E_finish(std::move(writer)), 0);
    return target.bytes();
  }
  MemoryWriteTarget target;
  Mp4WriterPtr writer;
  int video = -1;
};

const std::uint8_t kPayload[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

TEST(Mp4ByteVectorTest, GrowsByTheDoublingRule) {
  ByteVector vector;
  ASSERT_NE(vector.Reserve(100), nullptr);
  EXPECT_EQ(vector.capacity(), 2 * 100 + 1024);
  ASSERT_NE(vector.Reserve(1124), nullptr);  // exactly fills the buffer
  EXPECT_EQ(vector.capacity(), 1224);
  ASSERT_NE(vector.Reserve(1), nullptr);  // doubling suffices
  EXPECT_EQ(vector.capacity(), 2 * 1224 + 1024);
  ASSERT_NE(vector.Reserve(10000), nullptr);  // doubling does not
  EXPECT_EQ(vector.capacity(), 3472 + 10000 + 1024);
  EXPECT_EQ(vector.size(), 100 + 1124 + 1 + 10000);
  EXPECT_EQ(vector.Reserve(-1), nullptr);
}

TEST(Mp4WriterTest, SmallFileHasFileTypeFreeBoxAndShortMediaData) {
  MemoryFile file;
  ASSERT_EQ(MP4E_put_sample(file.writer.get(), file.video, kPayload, 16, 3000, kMp4SyncSample), 0);
  const Bytes& bytes = file.Finish();
  const Bytes head(bytes.begin(), bytes.begin() + 40);
  const Bytes expected = {
      0x00, 0x00, 0x00, 0x18, 'f', 't', 'y', 'p',  // size 24, ftyp
      'm',  'p',  '4',  '2',                       // major brand
      0x00, 0x00, 0x00, 0x00,                      // minor version
      'm',  'p',  '4',  '2',  'i', 's', 'o', 'm',  // compatible brands
      0x00, 0x00, 0x00, 0x08, 'f', 'r', 'e', 'e',  // free box, 8 bytes
      0x00, 0x00, 0x00, 0x18, 'm', 'd', 'a', 't',  // mdat at 32: 8 + 16 payload bytes
  };
  EXPECT_EQ(head, expected);
  EXPECT_EQ(Bytes(bytes.begin() + 40, bytes.begin() + 56), Bytes(kPayload, kPayload + 16));
  const auto moov = FindBox(bytes, {"moov"});
  ASSERT_TRUE(moov);
  EXPECT_EQ(moov->offset, 56u);
  EXPECT_EQ(moov->offset + moov->size, bytes.size());
}

TEST(Mp4WriterTest, FixedSizeBoxesAndFields) {
  MemoryFile file;
  for (int i = 0; i < 3; ++i) {
    MP4E_put_sample(file.writer.get(), file.video, kPayload, 16, 45000, kMp4SyncSample);
  }
  const Bytes& bytes = file.Finish();
  const std::map<std::vector<std::string>, std::uint64_t> sizes = {
      {{"moov", "mvhd"}, 108},
      {{"moov", "trak", "tkhd"}, 92},
      {{"moov", "trak", "mdia", "mdhd"}, 32},
      {{"moov", "trak", "mdia", "hdlr"}, 45},
      {{"moov", "trak", "mdia", "minf", "vmhd"}, 20},
      {{"moov", "trak", "mdia", "minf", "dinf"}, 36},
      {{"moov", "trak", "mdia", "minf", "stbl", "stsc"}, 28},
  };
  for (const auto& [path, size] : sizes) {
    const auto box = FindBox(bytes, path);
    ASSERT_TRUE(box) << path.back();
    EXPECT_EQ(box->size, size) << path.back();
  }
  const auto mvhd = FindBox(bytes, {"moov", "mvhd"});
  EXPECT_EQ(ReadU32(bytes, mvhd->offset + 20), 1000u);  // time scale
  EXPECT_EQ(ReadU32(bytes, mvhd->offset + 24), 1500u);  // 135000 ticks at 90 kHz
  const auto mdhd = FindBox(bytes, {"moov", "trak", "mdia", "mdhd"});
  EXPECT_EQ(ReadU32(bytes, mdhd->offset + 20), 90000u);
  EXPECT_EQ(ReadU32(bytes, mdhd->offset + 24), 135000u);
  EXPECT_EQ(testing::ReadU16(bytes, mdhd->offset + 28), 0x55C4);  // "und"
  const auto avcc = FindBox(bytes, {"moov", "trak", "mdia", "minf", "stbl", "stsd", "avc1", "avcC"});
  ASSERT_TRUE(avcc);
  const Bytes expected_avcc = {
      0x00, 0x00, 0x00, 0x1C, 'a', 'v', 'c', 'C',  // 28 bytes
      0x01, 0x42, 0xC0, 0x1E,                      // version, profile, constraints, level
      0xFF, 0xE1,                                  // 4-byte lengths, one SPS
      0x00, 0x05, 0x67, 0x42, 0xC0, 0x1E, 0xDA,    // SPS
      0x01,                                        // one PPS
      0x00, 0x04, 0x68, 0xCE, 0x38, 0x80,          // PPS
  };
  EXPECT_EQ(BoxBytes(bytes, *avcc), expected_avcc);
}

TEST(Mp4WriterTest, TimeToSampleRunsAndSyncTable) {
  MemoryFile file;
  for (int i = 0; i < 11; ++i) {
    const int kind = i % 5 == 0 ? kMp4SyncSample : kMp4PlainSample;
    MP4E_put_sample(file.writer.get(), file.video, kPayload, 16, i < 10 ? 3000 : 1500, kind);
  }
  const Bytes& bytes = file.Finish();
  const auto stts = FindBox(bytes, {"moov", "trak", "mdia", "minf", "stbl", "stts"});
  ASSERT_TRUE(stts);
  const Bytes expected_stts = {
      0x00, 0x00, 0x00, 0x20, 's', 't', 't', 's',  // 32 bytes
      0x00, 0x00, 0x00, 0x00,                      // version, flags
      0x00, 0x00, 0x00, 0x02,                      // two runs
      0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x0B, 0xB8,  // 10 x 3000
      0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x05, 0xDC,  // 1 x 1500
  };
  EXPECT_EQ(BoxBytes(bytes, *stts), expected_stts);
  const auto stss = FindBox(bytes, {"moov", "trak", "mdia", "minf", "stbl", "stss"});
  ASSERT_TRUE(stss);
  EXPECT_EQ(ReadU32(bytes, stss->offset + 12), 3u);
  EXPECT_EQ(ReadU32(bytes, stss->offset + 16), 1u);
  EXPECT_EQ(ReadU32(bytes, stss->offset + 20), 6u);
  EXPECT_EQ(ReadU32(bytes, stss->offset + 24), 11u);
}

TEST(Mp4WriterTest, SilentAudioTrackHasNoTrakButKeepsItsId) {
  MemoryFile file;
  const int audio = MP4E_new_track(file.writer.get(), AudioInfo(8000));
  ASSERT_EQ(audio, 1);
  MP4E_put_sample(file.writer.get(), file.video, kPayload, 16, 3600, kMp4SyncSample);
  MP4E_put_sample(file.writer.get(), file.video, kPayload, 16, 3600, kMp4SyncSample);
  const Bytes& bytes = file.Finish();
  const auto mvhd = FindBox(bytes, {"moov", "mvhd"});
  EXPECT_EQ(ReadU32(bytes, mvhd->offset + 104), 3u);  // next track ID
  EXPECT_TRUE(FindBox(bytes, {"moov", "trak"}));
  EXPECT_FALSE(FindBox(bytes, {"moov", "trak#1"}));
  // All samples are sync samples: no stss.
  EXPECT_FALSE(FindBox(bytes, {"moov", "trak", "mdia", "minf", "stbl", "stss"}));
}

TEST(Mp4WriterTest, AudioEntryCarriesTrueRateAndEsdsWithSlConfig) {
  MemoryFile file;
  const int audio = MP4E_new_track(file.writer.get(), AudioInfo(16000));
  const std::uint8_t config[] = {0x14, 0x08};  // AAC-LC, 16000 Hz, mono
  ASSERT_EQ(MP4E_set_decoder_config(file.writer.get(), audio, config, 2), 0);
  ASSERT_EQ(MP4E_set_decoder_config(file.writer.get(), audio, config, 2), 0);  // no second entry
  MP4E_put_sample(file.writer.get(), audio, kPayload, 16, 5760, kMp4SyncSample);
  const Bytes& bytes = file.Finish();
  const auto mp4a = FindBox(bytes, {"moov", "trak", "mdia", "minf", "stbl", "stsd", "mp4a"});
  ASSERT_TRUE(mp4a);
  EXPECT_EQ(mp4a->size, 36u + 39u);
  EXPECT_EQ(testing::ReadU16(bytes, mp4a->offset + 24), 1);   // channel count
  EXPECT_EQ(testing::ReadU16(bytes, mp4a->offset + 26), 16);  // sample size
  EXPECT_EQ(ReadU32(bytes, mp4a->offset + 32), 16000u << 16);
  const auto esds = FindBox(bytes, {"moov", "trak", "mdia", "minf", "stbl", "stsd", "mp4a", "esds"});
  ASSERT_TRUE(esds);
  const Bytes expected_esds = {
      0x00, 0x00, 0x00, 0x27, 'e', 's', 'd', 's',  // 39 bytes
      0x00, 0x00, 0x00, 0x00,                      // version, flags
      0x03, 25,   0x00, 0x00, 0x00,                // ES descriptor: length, ES ID, flags
      0x04, 17,   0x40, 0x14,                      // decoder config: length, AAC, audio stream
      0x00, 0x03, 0x00,                            // buffer size 768
      0x00, 0x00, 0x00, 0x00,                      // maximum bit rate
      0x00, 0x00, 0x00, 0x00,                      // average bit rate
      0x05, 2,    0x14, 0x08,                      // decoder-specific info
      0x06, 1,    0x02,                            // SL config: predefined for MP4 files
  };
  EXPECT_EQ(BoxBytes(bytes, *esds), expected_esds);
  const auto tkhd = FindBox(bytes, {"moov", "trak", "tkhd"});
  EXPECT_EQ(ReadU32(bytes, tkhd->offset + 20), 2u);  // track ID of the audio track
  EXPECT_EQ(ReadU32(bytes, tkhd->offset + 84), 0u);  // no width
}

// The movie lasts as long as its longest track plays; the audio track skips its encoder delay
// with an edit list and plays at full volume, the video track at none.
TEST(Mp4WriterTest, MovieAndTrackDurationsVolumesAndEditList) {
  MemoryFile file;
  Mp4TrackInfo audio_info = AudioInfo(8000);
  audio_info.time_scale = 8000;
  audio_info.skipped_ticks = 1024;
  const int audio = MP4E_new_track(file.writer.get(), audio_info);
  for (int i = 0; i < 3; ++i) MP4E_put_sample(file.writer.get(), file.video, kPayload, 16, 3600, kMp4SyncSample);
  for (int i = 0; i < 5; ++i) MP4E_put_sample(file.writer.get(), audio, kPayload, 16, 1024, kMp4SyncSample);
  const Bytes& bytes = file.Finish();
  const std::size_t mvhd = FindBox(bytes, {"moov", "mvhd"})->offset;
  EXPECT_EQ(ReadU32(bytes, mvhd + 24), 512u);  // 4 x 1024 samples play at 8000 Hz; the video 120 ms
  const std::size_t video_tkhd = FindBox(bytes, {"moov", "trak", "tkhd"})->offset;
  const std::size_t audio_tkhd = FindBox(bytes, {"moov", "trak#1", "tkhd"})->offset;
  EXPECT_EQ(ReadU32(bytes, video_tkhd + 28), 120u);
  EXPECT_EQ(ReadU32(bytes, audio_tkhd + 28), 512u);
  EXPECT_EQ(testing::ReadU16(bytes, video_tkhd + 44), 0);
  EXPECT_EQ(testing::ReadU16(bytes, audio_tkhd + 44), 0x0100);
  EXPECT_FALSE(FindBox(bytes, {"moov", "trak", "edts"}));
  const auto edts = FindBox(bytes, {"moov", "trak#1", "edts"});
  ASSERT_TRUE(edts);
  const Bytes expected_edts = {
      0x00, 0x00, 0x00, 0x24, 'e', 'd', 't', 's',  // 36 bytes
      0x00, 0x00, 0x00, 0x1C, 'e', 'l', 's', 't',  // 28 bytes
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,  // version, flags, one entry
      0x00, 0x00, 0x02, 0x00,                      // segment duration 512 ms
      0x00, 0x00, 0x04, 0x00,                      // media time 1024: the priming is skipped
      0x00, 0x01, 0x00, 0x00,                      // rate 1.0
  };
  EXPECT_EQ(BoxBytes(bytes, *edts), expected_edts);
  EXPECT_EQ(ReadU32(bytes, FindBox(bytes, {"moov", "trak#1", "mdia", "mdhd"})->offset + 24), 5120u);
}

// High profiles may leave 4:2:0 and 8 bits, so their `avcC` names the chroma format and bit
// depths (the Baseline one of the other tests has none). The SPS is x264's High 4:2:2 of the
// parser tests.
TEST(Mp4WriterTest, HighProfileConfigurationCarriesChromaFormatAndBitDepths) {
  MemoryWriteTarget target;
  Mp4WriterPtr writer = MP4E_create(&target);
  const int video = MP4E_new_track(writer.get(), VideoTrackInfo());
  const Bytes sps = {0x67, 0x7a, 0x00, 0x28, 0xbc, 0xd9, 0x40, 0x78, 0x02, 0x27, 0xe2, 0x70, 0x11, 0x00,
                     0x00, 0x03, 0x00, 0x01, 0x00, 0x00, 0x03, 0x00, 0x32, 0x0f, 0x18, 0x31, 0x96};
  MP4E_add_sps(writer.get(), video, sps.data(), static_cast<int>(sps.size()));
  MP4E_put_sample(writer.get(), video, kPayload, 16, 3600, kMp4SyncSample);
  ASSERT_EQ(MP4E_finish(std::move(writer)), 0);
  const Bytes& bytes = target.bytes();
  const auto avcc = FindBox(bytes, {"moov", "trak", "mdia", "minf", "stbl", "stsd", "avc1", "avcC"});
  ASSERT_TRUE(avcc);
  const auto end = bytes.begin() + static_cast<std::ptrdiff_t>(avcc->offset + avcc->size);
  // After the empty PPS list: 4:2:2, 8-bit luma and chroma, no SPS extensions.
  EXPECT_EQ(Bytes(end - 5, end), (Bytes{0x00, 0xFE, 0xF8, 0xF8, 0x00}));
}

TEST(Mp4WriterTest, DeclaredVideoSizeReachesTrackHeaderAndSampleEntry) {
  MemoryFile file;
  ASSERT_EQ(MP4E_set_video_size(file.writer.get(), file.video, 1920, 1080), 0);
  MP4E_put_sample(file.writer.get(), file.video, kPayload, 16, 3600, kMp4SyncSample);
  const Bytes& bytes = file.Finish();
  EXPECT_EQ(testing::DeclaredVideoSize(bytes), "1920x1080 / 1920x1080");
}

TEST(Mp4WriterTest, ContinuationsExtendTheLastSample) {
  MemoryFile file;
  EXPECT_EQ(MP4E_put_sample(file.writer.get(), file.video, kPayload, 16, 0, kMp4Continuation), -2);
  EXPECT_EQ(file.target.bytes().size(), 32u);  // ftyp and placeholder only
  EXPECT_EQ(MP4E_put_sample(nullptr, 0, kPayload, 16, 0, kMp4SyncSample), -1);
  EXPECT_EQ(MP4E_put_sample(file.writer.get(), file.video, nullptr, 16, 0, kMp4SyncSample), -1);
  MP4E_put_sample(file.writer.get(), file.video, kPayload, 10, 3600, kMp4SyncSample);
  MP4E_put_sample(file.writer.get(), file.video, kPayload, 6, 99, kMp4Continuation);
  const Bytes& bytes = file.Finish();
  const auto stsz = FindBox(bytes, {"moov", "trak", "mdia", "minf", "stbl", "stsz"});
  EXPECT_EQ(ReadU32(bytes, stsz->offset + 16), 1u);
  EXPECT_EQ(ReadU32(bytes, stsz->offset + 20), 16u);
  const auto stts = FindBox(bytes, {"moov", "trak", "mdia", "minf", "stbl", "stts"});
  EXPECT_EQ(ReadU32(bytes, stts->offset + 20), 3600u);
}

// Fails chosen calls, otherwise keeps the file in memory.
class FailingTarget : public WriteTarget {
 public:
  explicit FailingTarget(std::vector<int> failing_calls) : failing_calls_(std::move(failing_calls)) {}
  int WriteAt(std::uint64_t position, const std::uint8_t* data, std::size_t size) override {
    const int call = calls_++;
    for (int failing : failing_calls_) {
      if (failing == call) return 7;
    }
    return memory_.WriteAt(position, data, size);
  }
  const Bytes& bytes() const { return memory_.bytes(); }

 private:
  std::vector<int> failing_calls_;
  int calls_ = 0;
  MemoryWriteTarget memory_;
};

TEST(Mp4WriterTest, FailedWritesLeaveNoTraceInTheIndex) {
  // Calls 0 and 1 write the ftyp box and the placeholder; 3 and 5 are sample writes.
  FailingTarget target({3, 5});
  Mp4WriterPtr writer = MP4E_create(&target);
  const int video = MP4E_new_track(writer.get(), VideoTrackInfo());
  const std::uint8_t sps[] = {0x67, 0x42, 0xC0, 0x1E, 0xDA};
  MP4E_add_sps(writer.get(), video, sps, sizeof sps);
  const std::uint8_t a[4] = {0xA0, 0xA1, 0xA2, 0xA3};
  const std::uint8_t b[4] = {0xB0, 0xB1, 0xB2, 0xB3};
  const std::uint8_t c[2] = {0xC0, 0xC1};
  EXPECT_EQ(MP4E_put_sample(writer.get(), video, a, 4, 3600, kMp4SyncSample), 0);   // call 2
  EXPECT_EQ(MP4E_put_sample(writer.get(), video, b, 4, 3600, kMp4PlainSample), 7);  // call 3
  EXPECT_EQ(MP4E_put_sample(writer.get(), video, b, 4, 3600, kMp4PlainSample), 0);  // call 4
  EXPECT_EQ(MP4E_put_sample(writer.get(), video, c, 2, 0, kMp4Continuation), 7);    // call 5
  EXPECT_EQ(MP4E_put_sample(writer.get(), video, c, 2, 0, kMp4Continuation), 0);    // call 6
  ASSERT_EQ(MP4E_finish(std::move(writer)), 0);

  const Bytes& bytes = target.bytes();
  EXPECT_EQ(Bytes(bytes.begin() + 40, bytes.begin() + 50),
            (Bytes{0xA0, 0xA1, 0xA2, 0xA3, 0xB0, 0xB1, 0xB2, 0xB3, 0xC0, 0xC1}));
  const auto stsz = FindBox(bytes, {"moov", "trak", "mdia", "minf", "stbl", "stsz"});
  EXPECT_EQ(ReadU32(bytes, stsz->offset + 16), 2u);
  EXPECT_EQ(ReadU32(bytes, stsz->offset + 20), 4u);
  EXPECT_EQ(ReadU32(bytes, stsz->offset + 24), 6u);
  const auto stco = FindBox(bytes, {"moov", "trak", "mdia", "minf", "stbl", "stco"});
  EXPECT_EQ(ReadU32(bytes, stco->offset + 16), 40u);
  EXPECT_EQ(ReadU32(bytes, stco->offset + 20), 44u);
}

TEST(Mp4WriterTest, FailedIndexWriteIsReported) {
  FailingTarget target({3});  // call 2 is the sample, 3 the media-data header
  Mp4WriterPtr writer = MP4E_create(&target);
  const int video = MP4E_new_track(writer.get(), VideoTrackInfo());
  MP4E_put_sample(writer.get(), video, kPayload, 16, 3600, kMp4SyncSample);
  EXPECT_EQ(MP4E_finish(std::move(writer)), 7);
}

// Discards media data but keeps every small write with its position, so files beyond 4 GiB can
// be produced without writing them.
class DiscardingTarget : public WriteTarget {
 public:
  int WriteAt(std::uint64_t position, const std::uint8_t* data, std::size_t size) override {
    if (size <= 1 << 16) writes_[position] = Bytes(data, data + size);
    end_ = std::max(end_, position + size);
    return 0;
  }
  const Bytes& At(std::uint64_t position) const { return writes_.at(position); }
  std::uint64_t end() const { return end_; }
  // The last write: the moov box once the writer is finished.
  const Bytes& Last() const { return writes_.rbegin()->second; }

 private:
  std::map<std::uint64_t, Bytes> writes_;
  std::uint64_t end_ = 0;
};

// Puts samples until the media data end at `end`; the last sample starts at `last_offset`.
void FillTo(Mp4Writer* writer, int track, std::uint64_t end, std::uint64_t* last_offset) {
  static const Bytes chunk(std::size_t{1} << 26);  // 64 MiB, never read by the target
  std::uint64_t position = 40;
  while (position < end) {
    const auto size = static_cast<std::uint32_t>(std::min<std::uint64_t>(chunk.size(), end - position));
    *last_offset = position;
    ASSERT_EQ(MP4E_put_sample(writer, track, chunk.data(), size, 3600, kMp4SyncSample), 0);
    position += size;
  }
}

struct LargeFileCase {
  std::uint64_t end;  // where the media data end
  bool long_media_data;
  bool long_offsets;
};

class Mp4LargeFileTest : public ::testing::TestWithParam<LargeFileCase> {};

TEST_P(Mp4LargeFileTest, MediaDataHeaderAndChunkOffsetsFollowTheFileSize) {
  const LargeFileCase& c = GetParam();
  DiscardingTarget target;
  Mp4WriterPtr writer = MP4E_create(&target);
  const int video = MP4E_new_track(writer.get(), VideoTrackInfo());
  const std::uint8_t sps[] = {0x67, 0x42, 0xC0, 0x1E, 0xDA};
  MP4E_add_sps(writer.get(), video, sps, sizeof sps);
  std::uint64_t last_offset = 0;
  FillTo(writer.get(), video, c.end, &last_offset);
  ASSERT_EQ(MP4E_finish(std::move(writer)), 0);

  const Bytes& header = target.At(24);
  ASSERT_EQ(header.size(), 16u);
  if (c.long_media_data) {
    EXPECT_EQ(ReadU32(header, 0), 1u);
    EXPECT_EQ(Bytes(header.begin() + 4, header.begin() + 8), (Bytes{'m', 'd', 'a', 't'}));
    EXPECT_EQ(ReadU64(header, 8), c.end - 24);
  } else {
    EXPECT_EQ(ReadU32(header, 0), 8u);
    EXPECT_EQ(Bytes(header.begin() + 4, header.begin() + 8), (Bytes{'f', 'r', 'e', 'e'}));
    EXPECT_EQ(ReadU32(header, 8), c.end - 32);
    EXPECT_EQ(Bytes(header.begin() + 12, header.begin() + 16), (Bytes{'m', 'd', 'a', 't'}));
  }

  const Bytes& moov = target.Last();
  EXPECT_EQ(target.end(), c.end + moov.size());
  const auto offsets = FindBox(moov, {"moov", "trak", "mdia", "minf", "stbl", c.long_offsets ? "co64" : "stco"});
  ASSERT_TRUE(offsets);
  const std::uint32_t count = ReadU32(moov, offsets->offset + 12);
  const std::size_t last_entry = offsets->offset + 16 + (count - 1) * (c.long_offsets ? 8 : 4);
  EXPECT_EQ(c.long_offsets ? ReadU64(moov, last_entry) : ReadU32(moov, last_entry), last_offset);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, Mp4LargeFileTest,
    ::testing::Values(LargeFileCase{24 + 0xFFFFFFFEull, false, false},
                      LargeFileCase{24 + 0xFFFFFFFFull, true, false},
                      LargeFileCase{0x100000000ull + (1u << 26) + 10, true, true}));

}  // namespace
}  // namespace moraine
