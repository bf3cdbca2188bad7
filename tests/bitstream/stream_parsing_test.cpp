// Parameter-set parsing and access-unit splitting of the runtime, on real encoder output.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "bitstream/bit_reader.h"
#include "bitstream/nal_units.h"
#include "bitstream/sequence_parameter_set.h"

namespace moraine::mediasdk {
namespace {

std::vector<uint8_t> FromHex(const char* hex) {
  std::vector<uint8_t> bytes;
  for (const char* p = hex; p[0] != '\0' && p[1] != '\0'; p += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
  }
  return bytes;
}

// SPS written by libx264 (ffmpeg -f lavfi -i testsrc2=size=1920x1080:rate=25 -c:v libx264
// -preset ultrafast -bf 0): Constrained Baseline, level 4.0, 1920x1088 cropped to 1080, VUI with
// 25 pictures per second and square samples.
constexpr const char* kX264Sps1080 =
    "6742c028da01e0089f97011000000300100000030320f1832a00";

// SPS written by libx265 (ffmpeg -f lavfi -i testsrc2=size=1918x1078:rate=25 -c:v libx265
// -preset ultrafast): Main, level 4 (general_level_idc 120), 1920x1088 with a conformance window
// of 2 x 10 samples, VUI timing 25 pictures per second.
constexpr const char* kX265Sps1078 =
    "420101016000000300900000030000030078a003c0801107536595952930bc05a02000000300200000030321";

TEST(MediaSdkSequenceParameterSet, H264FromLibx264) {
  const auto info = ParseSequenceParameterSet(VideoCodec::kH264, FromHex(kX264Sps1080));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->profile, 66u);
  EXPECT_EQ(info->level, 40u);
  EXPECT_EQ(info->coded_width, 1920u);
  EXPECT_EQ(info->coded_height, 1088u);
  EXPECT_EQ(info->crop_bottom, 8u);
  EXPECT_EQ(info->crop_right, 0u);
  EXPECT_EQ(info->frame_rate_numerator / info->frame_rate_denominator, 25u);
  EXPECT_EQ(info->sar_width, 1u);
  EXPECT_EQ(info->sar_height, 1u);
  EXPECT_TRUE(info->frames_only);
}

TEST(MediaSdkSequenceParameterSet, HevcFromLibx265) {
  const auto info = ParseSequenceParameterSet(VideoCodec::kHevc, FromHex(kX265Sps1078));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->profile, 1u);
  EXPECT_EQ(info->level, 120u);
  EXPECT_EQ(info->coded_width, 1920u);
  EXPECT_EQ(info->coded_height, 1088u);
  EXPECT_EQ(info->crop_right, 2u);
  EXPECT_EQ(info->crop_bottom, 10u);
  EXPECT_EQ(info->frame_rate_numerator / info->frame_rate_denominator, 25u);
  EXPECT_GT(info->max_dec_frame_buffering, 0u);
}

// Every truncation of a good SPS is refused (or parsed without reading past its end).
TEST(MediaSdkSequenceParameterSet, TruncatedUnitsNeverReadPastTheEnd) {
  for (const auto& [codec, hex] : {std::pair{VideoCodec::kH264, kX264Sps1080},
                                   std::pair{VideoCodec::kHevc, kX265Sps1078}}) {
    const std::vector<uint8_t> sps = FromHex(hex);
    for (size_t size = 0; size + 4 < sps.size(); ++size) {
      const std::vector<uint8_t> truncated(sps.begin(), sps.begin() + static_cast<ptrdiff_t>(size));
      EXPECT_FALSE(ParseSequenceParameterSet(codec, truncated)) << size;
    }
  }
}

TEST(MediaSdkSequenceParameterSet, OtherUnitsAreNoSps) {
  EXPECT_FALSE(ParseSequenceParameterSet(VideoCodec::kH264, FromHex("68ce3880")));  // a PPS
  EXPECT_FALSE(ParseSequenceParameterSet(VideoCodec::kHevc, FromHex(kX264Sps1080)));
}

TEST(MediaSdkBitReader, ExpGolombAndEmulationPrevention) {
  EXPECT_EQ(RemoveEmulationPrevention(FromHex("0000030100000300")), FromHex("000001000000"));
  // 1 | 010 | 011 | 00100 | 00101 -> ue 0, 1, 2, 3, se of 4 = -2
  const std::vector<uint8_t> bits = FromHex("A6428000");
  BitReader reader(bits);
  EXPECT_EQ(reader.ReadUnsignedExpGolomb(), 0u);
  EXPECT_EQ(reader.ReadUnsignedExpGolomb(), 1u);
  EXPECT_EQ(reader.ReadUnsignedExpGolomb(), 2u);
  EXPECT_EQ(reader.ReadUnsignedExpGolomb(), 3u);
  EXPECT_EQ(reader.ReadSignedExpGolomb(), -2);
  EXPECT_FALSE(reader.failed());
  reader.SkipBits(100);
  EXPECT_TRUE(reader.failed());
  const std::vector<uint8_t> zeros(8, 0);
  BitReader endless(zeros);
  endless.ReadUnsignedExpGolomb();  // 64 zero bits: no valid code
  EXPECT_TRUE(endless.failed());
}

// Access units of H.264: SPS PPS IDR | SEI slice | slice (first_mb 0) | slice (first_mb > 0).
TEST(MediaSdkAccessUnits, H264Boundaries) {
  const std::vector<uint8_t> stream = FromHex(
      "0000000167aa"    // SPS
      "0000000168bb"    // PPS
      "0000016588"      // IDR slice, first_mb_in_slice 0
      "0000016580"      // IDR slice, first_mb_in_slice 0 again: a new picture
      "00000106cc"      // SEI
      "0000014140");    // slice with first_mb_in_slice 1
  const AccessUnitBounds first = FindFirstAccessUnit(VideoCodec::kH264, stream);
  EXPECT_EQ(first.begin, 0u);
  ASSERT_TRUE(first.end);
  EXPECT_EQ(*first.end, 17u);
  const std::vector<uint8_t> rest(stream.begin() + 17, stream.end());
  const AccessUnitBounds second = FindFirstAccessUnit(VideoCodec::kH264, rest);
  ASSERT_TRUE(second.end);
  EXPECT_EQ(*second.end, 5u);
  const std::vector<uint8_t> last(rest.begin() + 5, rest.end());
  EXPECT_FALSE(FindFirstAccessUnit(VideoCodec::kH264, last).end);  // SEI + slice: one unit
}

TEST(MediaSdkAccessUnits, HevcBoundariesAndLeadingBytes) {
  const std::vector<uint8_t> stream = FromHex(
      "ffee"              // bytes before the first start code
      "0000014001aa"      // VPS
      "000001260180"      // IDR_W_RADL, first_slice_segment_in_pic_flag 1
      "000001020140"      // TRAIL_R, a later segment of the same picture
      "000001020180");    // TRAIL_R, first of the next picture
  const AccessUnitBounds bounds = FindFirstAccessUnit(VideoCodec::kHevc, stream);
  EXPECT_EQ(bounds.begin, 2u);
  ASSERT_TRUE(bounds.end);
  EXPECT_EQ(*bounds.end, 20u);
  EXPECT_EQ(FindFirstAccessUnit(VideoCodec::kHevc, FromHex("ffee00")).begin, 3u);
}

}  // namespace
}  // namespace moraine::mediasdk
