// Sequence parameter set parsing on real encoder output.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "bitstream/sequence_parameter_set.h"
#include "tests/bitstream/hex_bytes.h"

namespace moraine {
namespace {

using testing::FromHex;

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

TEST(SequenceParameterSetTest, H264FromLibx264) {
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

TEST(SequenceParameterSetTest, HevcFromLibx265) {
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
TEST(SequenceParameterSetTest, TruncatedUnitsNeverReadPastTheEnd) {
  for (const auto& [codec, hex] : {std::pair{VideoCodec::kH264, kX264Sps1080},
                                   std::pair{VideoCodec::kHevc, kX265Sps1078}}) {
    const std::vector<uint8_t> sps = FromHex(hex);
    for (size_t size = 0; size + 4 < sps.size(); ++size) {
      const std::vector<uint8_t> truncated(sps.begin(), sps.begin() + static_cast<ptrdiff_t>(size));
      EXPECT_FALSE(ParseSequenceParameterSet(codec, truncated)) << size;
    }
  }
}

TEST(SequenceParameterSetTest, OtherUnitsAreNoSps) {
  EXPECT_FALSE(ParseSequenceParameterSet(VideoCodec::kH264, FromHex("68ce3880")));  // a PPS
  EXPECT_FALSE(ParseSequenceParameterSet(VideoCodec::kHevc, FromHex(kX264Sps1080)));
}

}  // namespace
}  // namespace moraine
