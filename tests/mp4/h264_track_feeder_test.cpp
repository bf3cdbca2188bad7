#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "moraine/mp4/h264_track_feeder.h"
#include "moraine/mp4/memory_write_target.h"
#include "moraine/mp4/mp4_output.h"
#include "moraine/mp4/mp4_writer.h"
#include "tests/mp4/mp4_box_finder.h"
#include "tests/mp4/x264_test_stream.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace moraine {
namespace {

using testing::AccessUnit;
using testing::EncodeX264Stream;
using testing::FindBox;
using testing::NalType;
using testing::PayloadStart;
using testing::ReadU32;
using testing::X264StreamOptions;
using Bytes = std::vector<std::uint8_t>;

const std::vector<std::string> kStbl = {"moov", "trak", "mdia", "minf", "stbl"};

std::vector<std::string> StblPath(const std::string& box) {
  std::vector<std::string> path = kStbl;
  path.push_back(box);
  return path;
}

// A video track over memory fed the way the conversion feeds it.
struct FeederFile {
  FeederFile() : writer(MP4E_create(&target)) {
    track = MP4E_new_track(writer.get(), VideoTrackInfo());
    feeder = std::make_unique<H264TrackFeeder>(writer.get(), track);
  }

  int Feed(const Bytes& nal, std::uint32_t duration = 3600) {
    return h264_write_nal(*feeder, nal.data(), nal.size(), duration);
  }
  // Passes SPS, PPS and slices of every access unit, stopping an access unit at a failure.
  void FeedStream(const std::vector<AccessUnit>& stream) {
    for (const AccessUnit& unit : stream) {
      for (const Bytes& nal : unit.nal_units) {
        const int type = NalType(nal);
        if (type != 1 && type != 5 && type != 7 && type != 8) continue;
        if (Feed(nal, type == 7 || type == 8 ? 0 : 3600) != 0) break;
      }
    }
  }
  const Bytes& Finish() {
    feeder.reset();
    EXPECT_EQ(MP4E_finish(std::move(writer)), 0);
    return target.bytes();
  }

  MemoryWriteTarget target;
  Mp4WriterPtr writer;
  int track = -1;
  std::unique_ptr<H264TrackFeeder> feeder;
};

// The samples of the file's first track, read through stsz and stco.
std::vector<Bytes> Samples(const Bytes& file) {
  const auto stsz = FindBox(file, StblPath("stsz"));
  const auto stco = FindBox(file, StblPath("stco"));
  std::vector<Bytes> samples;
  if (!stsz || !stco) return samples;
  const std::uint32_t count = ReadU32(file, stsz->offset + 16);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t size = ReadU32(file, stsz->offset + 20 + 4 * i);
    const std::uint32_t offset = ReadU32(file, stco->offset + 16 + 4 * i);
    samples.emplace_back(file.begin() + offset, file.begin() + offset + size);
  }
  return samples;
}

// Each slice of the access unit behind a 4-byte length, as MP4 wants it.
Bytes LengthPrefixedSlices(const AccessUnit& unit) {
  Bytes sample;
  for (const Bytes& nal : unit.nal_units) {
    const int type = NalType(nal);
    if (type != 1 && type != 5) continue;
    const auto size = static_cast<std::uint32_t>(nal.size() - PayloadStart(nal));
    for (int shift = 24; shift >= 0; shift -= 8) sample.push_back(static_cast<std::uint8_t>(size >> shift));
    sample.insert(sample.end(), nal.begin() + static_cast<long>(PayloadStart(nal)), nal.end());
  }
  return sample;
}

bool HasEmulationPrevention(const std::vector<AccessUnit>& stream) {
  const Bytes pattern = {0x00, 0x00, 0x03};
  for (const AccessUnit& unit : stream) {
    for (const Bytes& nal : unit.nal_units) {
      if (std::search(nal.begin(), nal.end(), pattern.begin(), pattern.end()) != nal.end()) return true;
    }
  }
  return false;
}

// Builds a unit from '0'/'1' characters, padded with zero bits.
Bytes FromBits(const std::string& bits) {
  Bytes bytes((bits.size() + 7) / 8);
  for (std::size_t i = 0; i < bits.size(); ++i) {
    if (bits[i] == '1') bytes[i / 8] = static_cast<std::uint8_t>(bytes[i / 8] | (0x80 >> (i % 8)));
  }
  return bytes;
}

// ue(v) as '0'/'1' characters.
std::string Ue(std::uint32_t value) {
  std::string code;
  for (std::uint64_t v = std::uint64_t{value} + 1; v != 0; v >>= 1) code.insert(code.begin(), v & 1 ? '1' : '0');
  return std::string(code.size() - 1, '0') + code;
}

Bytes WithStartCode(const Bytes& unit) {
  Bytes nal(4 + unit.size());
  nal[3] = 1;
  std::copy(unit.begin(), unit.end(), nal.begin() + 4);
  return nal;
}

// SPS header bytes (profile 66, level `level`), then ue(id), then a stop bit.
Bytes Sps(std::uint32_t id, std::uint8_t level = 30) {
  const std::string header = "01100111" "01000010" "00000000";
  std::string level_bits;
  for (int bit = 7; bit >= 0; --bit) level_bits += (level >> bit) & 1 ? '1' : '0';
  return WithStartCode(FromBits(header + level_bits + Ue(id) + "1"));
}

Bytes Pps(std::uint32_t id, std::uint32_t sps_id, std::uint32_t extra = 0) {
  return WithStartCode(FromBits("01101000" + Ue(id) + Ue(sps_id) + Ue(extra) + "1"));
}

TEST(Mp4H264FeederTest, RepeatedParameterSetsGiveOneEntryEachAndPicturesKeepTheirBytes) {
  X264StreamOptions options;
  options.width = 176;
  options.height = 144;
  options.frames = 20;
  options.keyframe_interval = 5;
  options.qp = 10;
  const std::vector<AccessUnit> stream = EncodeX264Stream(options);
  ASSERT_TRUE(HasEmulationPrevention(stream));
  FeederFile file;
  file.FeedStream(stream);
  const Bytes& bytes = file.Finish();

  const auto avcc = FindBox(bytes, {"moov", "trak", "mdia", "minf", "stbl", "stsd", "avc1", "avcC"});
  ASSERT_TRUE(avcc);
  EXPECT_EQ(bytes[avcc->offset + 13], 0xE1);  // one SPS
  const std::vector<Bytes> samples = Samples(bytes);
  ASSERT_EQ(samples.size(), stream.size());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    EXPECT_EQ(samples[i], LengthPrefixedSlices(stream[i])) << "picture " << i;
  }
  const auto stss = FindBox(bytes, StblPath("stss"));
  ASSERT_TRUE(stss);
  EXPECT_EQ(ReadU32(bytes, stss->offset + 12), 4u);  // pictures 1, 6, 11, 16
}

TEST(Mp4H264FeederTest, SlicesOfOnePictureBecomeOneSampleAndTrueSizeIsDeclared) {
  X264StreamOptions options;
  options.width = 72;  // coded as 80 x 48, cropped
  options.height = 40;
  options.frames = 6;
  options.slices = 3;
  const std::vector<AccessUnit> stream = EncodeX264Stream(options);
  ASSERT_GE(std::count_if(stream[1].nal_units.begin(), stream[1].nal_units.end(),
                          [](const Bytes& nal) { return NalType(nal) == 1; }),
            3);
  FeederFile file;
  file.FeedStream(stream);
  const Bytes& bytes = file.Finish();
  const std::vector<Bytes> samples = Samples(bytes);
  ASSERT_EQ(samples.size(), stream.size());
  for (std::size_t i = 0; i < samples.size(); ++i) EXPECT_EQ(samples[i], LengthPrefixedSlices(stream[i]));
  EXPECT_EQ(testing::DeclaredVideoSize(bytes), "72x40 / 72x40");
}

TEST(Mp4H264FeederTest, PicturesWaitForParameterSetsAndAnIdrPicture) {
  X264StreamOptions options;
  options.frames = 3;
  const std::vector<AccessUnit> stream = EncodeX264Stream(options);
  Bytes sps, pps, idr;
  for (const Bytes& nal : stream[0].nal_units) {
    if (NalType(nal) == 7) sps = nal;
    if (NalType(nal) == 8) pps = nal;
    if (NalType(nal) == 5) idr = nal;
  }
  const Bytes& p_slice = stream[1].nal_units.back();
  ASSERT_EQ(NalType(p_slice), 1);

  FeederFile file;
  EXPECT_EQ(file.Feed(p_slice), -1);  // before any SPS
  EXPECT_EQ(file.Feed(pps), -1);
  EXPECT_EQ(file.Feed(sps, 0), 0);
  EXPECT_EQ(file.Feed(pps, 0), 0);
  EXPECT_EQ(file.Feed(p_slice), 0);  // dropped: no IDR picture yet
  EXPECT_EQ(file.target.bytes().size(), 32u);  // ftyp and placeholder only
  EXPECT_EQ(file.Feed(idr), 0);
  EXPECT_EQ(file.Feed(p_slice), 0);
  const Bytes& bytes = file.Finish();
  const std::vector<Bytes> samples = Samples(bytes);
  ASSERT_EQ(samples.size(), 2u);
  EXPECT_EQ(samples[0][4] & 0x1F, 5);
  const auto stss = FindBox(bytes, StblPath("stss"));
  ASSERT_TRUE(stss);
  EXPECT_EQ(ReadU32(bytes, stss->offset + 12), 1u);
  EXPECT_EQ(ReadU32(bytes, stss->offset + 16), 1u);
}

TEST(Mp4H264FeederTest, SecondSequenceGetsNewIdsAndDecodesLikeTheByteStream) {
  X264StreamOptions first;
  first.width = 96;
  first.height = 64;
  first.frames = 5;
  first.profile = "baseline";
  X264StreamOptions second = first;
  second.profile = "main";
  second.reference_frames = 2;
  std::vector<AccessUnit> stream = EncodeX264Stream(first);
  const std::vector<AccessUnit> more = EncodeX264Stream(second);
  stream.insert(stream.end(), more.begin(), more.end());

  FeederFile file;
  file.FeedStream(stream);
  const Bytes& bytes = file.Finish();
  const auto avcc = FindBox(bytes, {"moov", "trak", "mdia", "minf", "stbl", "stsd", "avc1", "avcC"});
  ASSERT_TRUE(avcc);
  EXPECT_EQ(bytes[avcc->offset + 13], 0xE2);  // two SPS
  const std::vector<Bytes> samples = Samples(bytes);
  ASSERT_EQ(samples.size(), 10u);
  // Slice headers after the NAL header: first_mb_in_slice 0 ("1"), slice_type 7 ("0001000"),
  // then the PPS id: ue(0) = "1" in the first sequence, ue(1) = "010" in the second.
  EXPECT_EQ(samples[0][5], 0x88);
  EXPECT_EQ(samples[0][6] >> 7, 1);
  EXPECT_EQ(samples[5][5], 0x88);
  EXPECT_EQ(samples[5][6] >> 5, 0b010);

  testing::TempDir dir;
  const std::string mp4 = dir.File("two.mp4");
  const std::string h264 = dir.File("two.h264");
  std::ofstream(mp4, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  {
    std::ofstream out(h264, std::ios::binary);
    for (const AccessUnit& unit : stream) {
      for (const Bytes& nal : unit.nal_units) out.write(reinterpret_cast<const char*>(nal.data()), static_cast<long>(nal.size()));
    }
  }
  const auto from_mp4 = testing::RunCommand({"ffmpeg", "-v", "error", "-xerror", "-i", mp4, "-f", "framemd5", "-"});
  const auto from_stream = testing::RunCommand({"ffmpeg", "-v", "error", "-xerror", "-i", h264, "-f", "framemd5", "-"});
  ASSERT_EQ(from_mp4.exit_status, 0) << from_mp4.standard_error;
  ASSERT_EQ(from_stream.exit_status, 0) << from_stream.standard_error;
  // Compare the picture hashes, the last column of every line that is not a comment.
  auto hashes = [](const std::string& text) {
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < text.size()) {
      const std::size_t end = text.find('\n', start);
      const std::string line = text.substr(start, end - start);
      if (!line.empty() && line[0] != '#') result.push_back(line.substr(line.rfind(',') + 1));
      if (end == std::string::npos) break;
      start = end + 1;
    }
    return result;
  };
  EXPECT_EQ(hashes(from_mp4.standard_output).size(), 10u);
  EXPECT_EQ(hashes(from_mp4.standard_output), hashes(from_stream.standard_output));
}

TEST(Mp4H264FeederTest, IdsBeyondTheMapsAndFullStoresAreMalformed) {
  FeederFile file;
  EXPECT_EQ(file.Feed(Sps(32), 0), -1);
  EXPECT_EQ(file.Feed(Sps(31), 0), 0);
  EXPECT_EQ(file.Feed(Pps(256, 0), 0), -1);
  EXPECT_EQ(file.Feed(Pps(0, 32), 0), -1);
  EXPECT_EQ(file.Feed(Pps(255, 31), 0), 0);
  // 31 more distinct SPS fill the store; the next distinct one finds no slot.
  for (std::uint8_t level = 100; level < 131; ++level) EXPECT_EQ(file.Feed(Sps(0, level), 0), 0);
  EXPECT_EQ(file.Feed(Sps(0, 200), 0), -1);
  EXPECT_EQ(file.Feed(Sps(5, 103), 0), 0);  // equal to a stored one apart from its id
  for (std::uint32_t extra = 1; extra < 256; ++extra) EXPECT_EQ(file.Feed(Pps(1, 0, extra), 0), 0);
  EXPECT_EQ(file.Feed(Pps(1, 0, 999), 0), -1);
}

TEST(Mp4H264FeederTest, MalformedEmulationPreventionAndEmptyUnits) {
  FeederFile file;
  ASSERT_EQ(file.Feed(Sps(0), 0), 0);
  EXPECT_EQ(file.Feed({0, 0, 0, 1, 0x68, 0xCE, 0x00, 0x00, 0x02, 0x80}, 0), -1);
  EXPECT_EQ(file.Feed({0, 0, 0, 1, 0, 0, 0, 1, 0x68, 0xCE}, 0), -1);
  EXPECT_EQ(file.Feed({0, 0, 0, 1, 0x68, 0xCE, 0x00, 0x00, 0x03, 0x01, 0x80}, 0), 0);
  // An IDR slice: first_mb_in_slice 0, slice_type 7, PPS 0, then a stop bit.
  const Bytes idr = FromBits("01100101" + Ue(0) + Ue(7) + Ue(0) + "1");
  EXPECT_EQ(file.Feed(WithStartCode(idr)), 0);
  // An 0x03 that protects nothing (0x04 follows) stays in the payload and is escaped once more.
  EXPECT_EQ(file.Feed({0, 0, 0, 1, 0x65, 0x88, 0x80, 0x00, 0x00, 0x03, 0x04, 0x80}), 0);
  const Bytes& bytes = file.Finish();
  const std::vector<Bytes> samples = Samples(bytes);
  ASSERT_EQ(samples.size(), 2u);
  EXPECT_EQ(samples[1], (Bytes{0, 0, 0, 9, 0x65, 0x88, 0x80, 0x00, 0x00, 0x03, 0x03, 0x04, 0x80}));
  const auto avcc = FindBox(bytes, {"moov", "trak", "mdia", "minf", "stbl", "stsd", "avc1", "avcC"});
  ASSERT_TRUE(avcc);
  const Bytes entry = {0x00, 0x07, 0x68, 0xCE, 0x00, 0x00, 0x03, 0x01, 0x80};
  const Bytes avcc_bytes = testing::BoxBytes(bytes, *avcc);
  EXPECT_NE(std::search(avcc_bytes.begin(), avcc_bytes.end(), entry.begin(), entry.end()), avcc_bytes.end());
}

}  // namespace
}  // namespace moraine
