#include "bitstream/sequence_parameters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "tests/bitstream/nal_unit_writer.h"
#include "tests/bitstream/sps_test_format.h"

namespace moraine {
namespace {

using testing::Describe;
using testing::RealSps;
using testing::NalUnitWriter;

std::string Parse(const std::vector<std::uint8_t>& nal) {
  return Describe(ParseH264Sps(nal.data(), nal.size()));
}

// Real SPS NAL units (start code removed), each the first SPS of the raw stream written by the
// command above it with ffmpeg 5.1 and libx264; the size fields are noted as ffmpeg's
// trace_headers filter reads them.
const RealSps kRealSps[] = {
    // ffmpeg -f lavfi -i testsrc=size=1920x1080:rate=25 -frames:v 1 -c:v libx264
    //   -pix_fmt yuv420p out.h264
    // High, 119 x 67 macroblocks, frame_mbs_only_flag 1, bottom crop 4, aspect_ratio_idc 1
    {"High1080p",
     {0x67, 0x64, 0x00, 0x28, 0xac, 0xd9, 0x40, 0x78, 0x02, 0x27, 0xe5, 0xc0, 0x44, 0x00,
      0x00, 0x03, 0x00, 0x04, 0x00, 0x00, 0x03, 0x00, 0xc8, 0x3c, 0x60, 0xc6, 0x58},
     "1920x1080 sar 1:1"},
    // ffmpeg -f lavfi -i testsrc=size=1280x720:rate=25 -frames:v 1 -c:v libx264 -profile:v main
    //   -pix_fmt yuv420p out.h264
    // Main, no chroma format fields, no crop
    {"Main720p",
     {0x67, 0x4d, 0x40, 0x1f, 0xec, 0xa0, 0x28, 0x02, 0xdd, 0x80, 0x88, 0x00, 0x00,
      0x03, 0x00, 0x08, 0x00, 0x00, 0x03, 0x01, 0x90, 0x78, 0xc1, 0x8c, 0xb0},
     "1280x720 sar 1:1"},
    // ffmpeg -f lavfi -i testsrc=size=352x288:rate=25 -frames:v 1 -c:v libx264
    //   -profile:v baseline -pix_fmt yuv420p out.h264
    // Constrained Baseline, pic_order_cnt_type 2
    {"BaselineCif",
     {0x67, 0x42, 0xc0, 0x0d, 0xd9, 0x01, 0x60, 0x96, 0xc0, 0x44, 0x00, 0x00,
      0x03, 0x00, 0x04, 0x00, 0x00, 0x03, 0x00, 0xc8, 0x3c, 0x50, 0xa9, 0x20},
     "352x288 sar 1:1"},
    // ffmpeg -f lavfi -i testsrc=size=720x576:rate=25 -frames:v 2 -c:v libx264
    //   -x264-params interlaced=1 -pix_fmt yuv420p out.h264
    // frame_mbs_only_flag 0, pic_height_in_map_units_minus1 17
    {"Interlaced576",
     {0x67, 0x64, 0x00, 0x1e, 0xac, 0xd9, 0x40, 0xb4, 0x24, 0xd8, 0x08, 0x80,
      0x00, 0x00, 0x03, 0x00, 0x80, 0x00, 0x00, 0x19, 0x0f, 0x8a, 0x14, 0xcb},
     "720x576 sar 1:1"},
    // ffmpeg -f lavfi -i testsrc=size=1920x1080:rate=25 -frames:v 2 -c:v libx264
    //   -x264-params interlaced=1 -pix_fmt yuv420p out.h264
    // frame_mbs_only_flag 0, 34 map units of 32 lines, bottom crop 2 in units of 4 lines
    {"Interlaced1080",
     {0x67, 0x64, 0x00, 0x28, 0xac, 0xd9, 0x40, 0x78, 0x04, 0x4f, 0xde, 0x02, 0x20,
      0x00, 0x00, 0x03, 0x00, 0x20, 0x00, 0x00, 0x06, 0x43, 0xe2, 0xc5, 0xb2, 0xc0},
     "1920x1080 sar 1:1"},
    // ffmpeg -f lavfi -i testsrc=size=854x480:rate=25 -frames:v 1 -c:v libx264
    //   -pix_fmt yuv420p out.h264
    // 54 macroblocks wide, right crop 5 in units of 2 columns
    {"RightCrop854",
     {0x67, 0x64, 0x00, 0x1e, 0xac, 0xd9, 0x40, 0xd8, 0x3d, 0xe6, 0xf0, 0x11, 0x00,
      0x00, 0x03, 0x00, 0x01, 0x00, 0x00, 0x03, 0x00, 0x32, 0x0f, 0x16, 0x2d, 0x96},
     "854x480 sar 1:1"},
    // ffmpeg -f lavfi -i testsrc=size=1920x1080:rate=25 -frames:v 1 -c:v libx264
    //   -pix_fmt yuv422p out.h264
    // High 4:2:2 (122), chroma_format_idc 2: bottom crop 8 in units of 1 line
    {"High422",
     {0x67, 0x7a, 0x00, 0x28, 0xbc, 0xd9, 0x40, 0x78, 0x02, 0x27, 0xe2, 0x70, 0x11, 0x00,
      0x00, 0x03, 0x00, 0x01, 0x00, 0x00, 0x03, 0x00, 0x32, 0x0f, 0x18, 0x31, 0x96},
     "1920x1080 sar 1:1"},
    // ffmpeg -f lavfi -i testsrc=size=353x289:rate=25 -frames:v 1 -c:v libx264
    //   -pix_fmt yuv444p out.h264
    // High 4:4:4 (244), chroma_format_idc 3: odd size, right and bottom crop 15 in luma samples
    {"High444OddSize",
     {0x67, 0xf4, 0x00, 0x15, 0x91, 0x9b, 0x28, 0x2e, 0x13, 0xf0, 0x84, 0x21, 0x80, 0x88,
      0x00, 0x00, 0x03, 0x00, 0x08, 0x00, 0x00, 0x03, 0x01, 0x90, 0x78, 0xb1, 0x6c, 0xb0},
     "353x289 sar 1:1"},
    // ffmpeg -f lavfi -i testsrc=size=720x576:rate=25 -frames:v 1 -vf setsar=4/3 -c:v libx264
    //   -pix_fmt yuv420p out.h264
    // aspect_ratio_idc 14 (4:3 from the table)
    {"TableAspect4to3",
     {0x67, 0x64, 0x00, 0x1e, 0xac, 0xd9, 0x40, 0xb4, 0x12, 0x6c, 0x38, 0x40, 0x00,
      0x00, 0x03, 0x00, 0x40, 0x00, 0x00, 0x0c, 0x83, 0xc5, 0x8b, 0x65, 0x80},
     "720x576 sar 4:3"},
    // ffmpeg -f lavfi -i testsrc=size=640x480:rate=25 -frames:v 1 -vf setsar=7/5 -c:v libx264
    //   -pix_fmt yuv420p out.h264
    // aspect_ratio_idc 255 (extended), sar_width 7, sar_height 5
    {"ExtendedAspect7to5",
     {0x67, 0x64, 0x00, 0x1e, 0xac, 0xd9, 0x40, 0xa0, 0x3d, 0xbf, 0xf0, 0x00, 0x70, 0x00, 0x51,
      0x00, 0x00, 0x03, 0x00, 0x01, 0x00, 0x00, 0x03, 0x00, 0x32, 0x0f, 0x16, 0x2d, 0x96},
     "640x480 sar 7:5"},
};

class SpsH264RealStreamTest : public ::testing::TestWithParam<RealSps> {};

TEST_P(SpsH264RealStreamTest, ParsesSizeAndAspectRatio) {
  EXPECT_EQ(Parse(GetParam().nal), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Encoded, SpsH264RealStreamTest, ::testing::ValuesIn(kRealSps),
                         [](const auto& info) { return std::string(info.param.name); });

struct Crop {
  std::uint32_t left = 0;
  std::uint32_t right = 0;
  std::uint32_t top = 0;
  std::uint32_t bottom = 0;
};

// From max_num_ref_frames to the end: the size in macroblocks, progressive, the crop, and a
// VUI with the extended sample aspect ratio 4:3.
void WriteSizeCropAndAspect(NalUnitWriter& writer, std::uint32_t pic_width_in_mbs_minus1,
                            std::uint32_t pic_height_in_map_units_minus1, const Crop& crop) {
  writer.Ue(4)                                // max_num_ref_frames
      .U(1, 0)                                // gaps_in_frame_num_value_allowed_flag
      .Ue(pic_width_in_mbs_minus1)            // pic_width_in_mbs_minus1
      .Ue(pic_height_in_map_units_minus1)     // pic_height_in_map_units_minus1
      .U(1, 1)                                // frame_mbs_only_flag
      .U(1, 1)                                // direct_8x8_inference_flag
      .U(1, 1)                                // frame_cropping_flag
      .Ue(crop.left)                          // frame_crop_left_offset
      .Ue(crop.right)                         // frame_crop_right_offset
      .Ue(crop.top)                           // frame_crop_top_offset
      .Ue(crop.bottom)                        // frame_crop_bottom_offset
      .U(1, 1)                                // vui_parameters_present_flag
      .U(1, 1)                                // aspect_ratio_info_present_flag
      .U(8, 255)                              // aspect_ratio_idc: extended
      .U(16, 4)                               // sar_width
      .U(16, 3)                               // sar_height
      .U(8, 0);                               // overscan .. bitstream_restriction flags
}

// A High profile 1920x1080 SPS, with the eight scaling lists given by their delta_scale values
// (an empty list is signalled absent).
std::vector<std::uint8_t> HighProfileSps(const std::vector<std::vector<std::int32_t>>& lists) {
  NalUnitWriter writer({0x67});
  writer.U(8, 100)         // profile_idc: High
      .U(8, 0)             // constraint_set0_flag .. reserved_zero_2bits
      .U(8, 40)            // level_idc
      .Ue(0)               // seq_parameter_set_id
      .Ue(1)               // chroma_format_idc: 4:2:0
      .Ue(0)               // bit_depth_luma_minus8
      .Ue(0)               // bit_depth_chroma_minus8
      .U(1, 0)             // qpprime_y_zero_transform_bypass_flag
      .U(1, lists.empty() ? 0 : 1);  // seq_scaling_matrix_present_flag
  for (const std::vector<std::int32_t>& deltas : lists) {
    writer.U(1, deltas.empty() ? 0 : 1);  // seq_scaling_list_present_flag[i]
    for (const std::int32_t delta_scale : deltas) {
      writer.Se(delta_scale);
    }
  }
  writer.Ue(0)   // log2_max_frame_num_minus4
      .Ue(0)     // pic_order_cnt_type
      .Ue(2);    // log2_max_pic_order_cnt_lsb_minus4
  WriteSizeCropAndAspect(writer, 119, 67, {.bottom = 4});
  return writer.Finish();
}

TEST(SpsH264Test, ScalingMatrixLeavesTheSizeAsWithout) {
  const std::vector<std::int32_t> full_4x4 = {-2, 3, 0, 1, 1, 5, -3, 0, 0, 2, 4, 1, -1, 0, 7, 2};
  std::vector<std::int32_t> full_8x8(64, 1);
  full_8x8[10] = -100;  // (last + delta + 256) mod 256 wraps
  full_8x8[11] = 120;
  const std::vector<std::vector<std::int32_t>> lists = {
      full_4x4,
      {},
      {-8},         // next scale 0 at once: the default list, nothing more is read
      {4, -12},     // reaches 0 at the second entry
      full_4x4,
      {},
      full_8x8,
      {3, 3, -14},  // an 8x8 list that stops after three entries
  };
  EXPECT_EQ(Parse(HighProfileSps({})), "1920x1080 sar 4:3");
  EXPECT_EQ(Parse(HighProfileSps(lists)), "1920x1080 sar 4:3");
}

TEST(SpsH264Test, SeparateColourPlanesCropInLumaSamples) {
  NalUnitWriter writer({0x67});
  writer.U(8, 244)   // profile_idc: High 4:4:4 Predictive
      .U(8, 0)       // constraint_set0_flag .. reserved_zero_2bits
      .U(8, 30)      // level_idc
      .Ue(0)         // seq_parameter_set_id
      .Ue(3)         // chroma_format_idc: 4:4:4
      .U(1, 1)       // separate_colour_plane_flag: ChromaArrayType 0
      .Ue(2)         // bit_depth_luma_minus8
      .Ue(1)         // bit_depth_chroma_minus8
      .U(1, 0)       // qpprime_y_zero_transform_bypass_flag
      .U(1, 1);      // seq_scaling_matrix_present_flag: twelve lists for 4:4:4
  for (int i = 0; i < 12; ++i) {
    writer.U(1, i == 11 ? 1 : 0);  // seq_scaling_list_present_flag[i]
  }
  writer.Se(-8)  // the last 8x8 list: default
      .Ue(0)     // log2_max_frame_num_minus4
      .Ue(2);    // pic_order_cnt_type
  WriteSizeCropAndAspect(writer, 39, 29, {.left = 1, .right = 2, .top = 3, .bottom = 4});
  const std::vector<std::uint8_t> nal = writer.Finish();
  EXPECT_EQ(Parse(nal), "637x473 sar 4:3");
  // The format that the MP4 writer's avcC declares.
  const SequenceParameters format = ParseH264Sps(nal.data(), nal.size());
  EXPECT_EQ(format.chroma_format_idc, 3u);
  EXPECT_EQ(format.bit_depth_luma_minus8, 2u);
  EXPECT_EQ(format.bit_depth_chroma_minus8, 1u);
}

TEST(SpsH264Test, SkipsThePictureOrderCountCycleWithEscapedZeros) {
  NalUnitWriter writer({0x67});
  writer.U(8, 77)       // profile_idc: Main
      .U(8, 0)          // constraint_set0_flag .. reserved_zero_2bits
      .U(8, 31)         // level_idc
      .Ue(0)            // seq_parameter_set_id
      .Ue(0)            // log2_max_frame_num_minus4
      .Ue(1)            // pic_order_cnt_type
      .U(1, 0)          // delta_pic_order_always_zero_flag
      .Se(-2)           // offset_for_non_ref_pic
      .Se(1)            // offset_for_top_to_bottom_field
      .Ue(3)            // num_ref_frames_in_pic_order_cnt_cycle
      .Se(2)            // offset_for_ref_frame[0]
      .Se(-300)         // offset_for_ref_frame[1]
      .Se(-(1 << 30));  // offset_for_ref_frame[2]: a code of 31 zeros, escaped as 00 00 03
  WriteSizeCropAndAspect(writer, 79, 44, {});
  const std::vector<std::uint8_t> nal = writer.Finish();
  const std::uint8_t escape[] = {0x00, 0x00, 0x03};
  ASSERT_NE(std::search(nal.begin(), nal.end(), std::begin(escape), std::end(escape)), nal.end());
  EXPECT_EQ(Parse(nal), "1280x720 sar 4:3");
}

// Crops that leave nothing to show, also those whose sum or product passes 2^32 and would wrap
// around into a small crop, make the SPS unusable: no size.
TEST(SpsH264Test, CropOfTheWholePictureGivesNoSize) {
  NalUnitWriter base({0x67});
  base.U(8, 66).U(8, 0).U(8, 30).Ue(0).Ue(0).Ue(2);  // Baseline up to pic_order_cnt_type
  for (const Crop& crop : {Crop{.left = 100, .right = 76, .top = 1, .bottom = 1},
                           Crop{.left = 0xFFFFFFFE, .right = 3, .top = 0x80000000}}) {
    NalUnitWriter writer = base;
    WriteSizeCropAndAspect(writer, 21, 17, crop);
    EXPECT_EQ(Parse(writer.Finish()), "0x0 sar 1:1");
  }
}

TEST(SpsH264Test, TruncatedOrHostileSpsGivesNoSize) {
  const std::vector<std::uint8_t>& full = kRealSps[0].nal;
  EXPECT_EQ(Parse({full.begin(), full.begin() + 11}), "0x0 sar 1:1");  // cut before the VUI
  EXPECT_EQ(Parse({full.begin(), full.begin() + 1}), "0x0 sar 1:1");
  EXPECT_EQ(Describe(ParseH264Sps(nullptr, 0)), "0x0 sar 1:1");

  NalUnitWriter writer({0x67});
  writer.U(8, 77).U(8, 0).U(8, 31).Ue(0).Ue(0)
      .Ue(1)            // pic_order_cnt_type
      .U(1, 0)          // delta_pic_order_always_zero_flag
      .Se(0)            // offset_for_non_ref_pic
      .Se(0)            // offset_for_top_to_bottom_field
      .Ue(0xFFFFFFFE);  // num_ref_frames_in_pic_order_cnt_cycle, and no offsets follow
  EXPECT_EQ(Parse(writer.Finish()), "0x0 sar 1:1");
}

}  // namespace
}  // namespace moraine
