#include "bitstream/sequence_parameters.h"

#include <gtest/gtest.h>

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

std::string Parse(const std::vector<std::uint8_t>& nal, const SequenceParameters& previous = {}) {
  return Describe(ParseHevcSps(nal.data(), nal.size(), previous));
}

// Real SPS NAL units (start code removed), each the first SPS of the raw stream written by the
// command above it with ffmpeg 5.1 and libx265 3.5. All carry three escapes (00 00 03) inside
// profile_tier_level, before the size.
const RealSps kRealSps[] = {
    // ffmpeg -f lavfi -i testsrc=size=1920x1080:rate=25 -frames:v 1 -c:v libx265
    //   -pix_fmt yuv420p -x265-params log-level=error out.hevc
    // 1080 is a whole number of the 8-line minimum coding blocks: coded as 1080, no window.
    {"Main1080p",
     {0x42, 0x01, 0x01, 0x01, 0x60, 0x00, 0x00, 0x03, 0x00, 0x90, 0x00, 0x00, 0x03, 0x00,
      0x00, 0x03, 0x00, 0x78, 0xa0, 0x03, 0xc0, 0x80, 0x10, 0xe5, 0x96, 0x56, 0x69, 0x24,
      0xca, 0xf0, 0x16, 0x80, 0x80, 0x00, 0x00, 0x03, 0x00, 0x80, 0x00, 0x00, 0x0c, 0x84},
     "1920x1080 sar 1:1"},
    // ffmpeg -f lavfi -i testsrc=size=1920x1080:rate=25 -frames:v 1 -c:v libx265
    //   -pix_fmt yuv420p -x265-params log-level=error:min-cu-size=16 out.hevc
    // pic_height_in_luma_samples 1088, conformance window bottom offset 4 (8 lines): 1080 shown.
    {"WindowTakes1088To1080",
     {0x42, 0x01, 0x01, 0x01, 0x60, 0x00, 0x00, 0x03, 0x00, 0x90, 0x00, 0x00, 0x03, 0x00, 0x00,
      0x03, 0x00, 0x78, 0xa0, 0x03, 0xc0, 0x80, 0x11, 0x07, 0xcb, 0x96, 0x56, 0x64, 0xe4, 0xca,
      0xf0, 0x16, 0x80, 0x80, 0x00, 0x00, 0x03, 0x00, 0x80, 0x00, 0x00, 0x0c, 0x84},
     "1920x1080 sar 1:1"},
    // ffmpeg -f lavfi -i testsrc=size=1280x720:rate=25 -frames:v 1 -vf setsar=4/3 -c:v libx265
    //   -pix_fmt yuv420p -x265-params log-level=error out.hevc
    // aspect_ratio_idc 14 (4:3 from the table)
    {"TableAspect4to3",
     {0x42, 0x01, 0x01, 0x01, 0x60, 0x00, 0x00, 0x03, 0x00, 0x90, 0x00, 0x00, 0x03, 0x00, 0x00,
      0x03, 0x00, 0x5d, 0xa0, 0x02, 0x80, 0x80, 0x2d, 0x16, 0x59, 0x59, 0xa4, 0x93, 0x2b, 0xc3,
      0x9a, 0x02, 0x00, 0x00, 0x03, 0x00, 0x02, 0x00, 0x00, 0x03, 0x00, 0x32, 0x10},
     "1280x720 sar 4:3"},
    // ffmpeg -f lavfi -i testsrc=size=1280x720:rate=25 -frames:v 1 -vf setsar=7/5 -c:v libx265
    //   -pix_fmt yuv420p -x265-params log-level=error:scaling-list=lists.txt out.hevc
    // lists.txt gives every list in the encoder's text form (INTRA4X4_LUMA = and 16 or 64
    // numbers, then INTRA16X16_LUMA_DC = and one number, and so on): intra lists 16 + i / 8,
    // inter lists 18 + i / 16, DC 20 (intra) and 22 (inter). scaling_list_data then holds eight
    // explicit lists and sixteen predicted ones; aspect_ratio_idc 255, 7:5, follows them.
    {"ScalingListsAndExtendedAspect",
     {0x42, 0x01, 0x01, 0x01, 0x60, 0x00, 0x00, 0x03, 0x00, 0x90, 0x00, 0x00, 0x03, 0x00, 0x00,
      0x03, 0x00, 0x5d, 0xa0, 0x02, 0x80, 0x80, 0x2d, 0x16, 0x59, 0x59, 0xa4, 0x93, 0xe1, 0x0d,
      0x3a, 0xba, 0xb5, 0x91, 0x42, 0x9f, 0xff, 0xc8, 0xa1, 0x04, 0xc8, 0xd9, 0x9b, 0x62, 0x1b,
      0x6c, 0x53, 0x6d, 0xb1, 0x8d, 0xb6, 0xd8, 0xe6, 0xdb, 0x6d, 0x8e, 0x6d, 0xb6, 0xc6, 0x36,
      0xdb, 0x14, 0xdb, 0x62, 0x1b, 0x66, 0x6c, 0x8d, 0x11, 0x42, 0x9a, 0x75, 0x72, 0x3b, 0x92,
      0xee, 0x67, 0x77, 0x35, 0xdd, 0xcd, 0x77, 0x66, 0xbb, 0x92, 0xec, 0x97, 0x56, 0xb2, 0x28,
      0x60, 0x4a, 0x64, 0x6c, 0xcd, 0xb1, 0x0d, 0xb6, 0x29, 0xb6, 0xd8, 0xc6, 0xdb, 0x6c, 0x73,
      0x6d, 0xb6, 0xc7, 0x36, 0xdb, 0x63, 0x1b, 0x6d, 0x8a, 0x6d, 0xb1, 0x0d, 0xb3, 0x36, 0x46,
      0x88, 0xa1, 0xc1, 0x3a, 0x75, 0x72, 0x3b, 0x92, 0xee, 0x67, 0x77, 0x35, 0xdd, 0xcd, 0x77,
      0x66, 0xbb, 0x92, 0xec, 0x97, 0x56, 0xb2, 0x28, 0x60, 0x4a, 0x64, 0x6c, 0xcd, 0xb1, 0x0d,
      0xb6, 0x29, 0xb6, 0xd8, 0xc6, 0xdb, 0x6c, 0x73, 0x6d, 0xb6, 0xc7, 0x36, 0xdb, 0x63, 0x1b,
      0x6d, 0x8a, 0x6d, 0xb1, 0x0d, 0xb3, 0x36, 0x46, 0xa1, 0xc1, 0x3a, 0x75, 0x72, 0x3b, 0x92,
      0xee, 0x67, 0x77, 0x35, 0xdd, 0xcd, 0x77, 0x66, 0xbb, 0x92, 0xec, 0x97, 0x56, 0xb5, 0x7f,
      0xf8, 0x00, 0x38, 0x00, 0x2b, 0x40, 0x40, 0x00, 0x00, 0x03, 0x00, 0x40, 0x00, 0x00, 0x06,
      0x42},
     "1280x720 sar 7:5"},
};

class SpsHevcRealStreamTest : public ::testing::TestWithParam<RealSps> {};

TEST_P(SpsHevcRealStreamTest, ParsesDisplayedSizeAndAspectRatio) {
  EXPECT_EQ(Parse(GetParam().nal), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Encoded, SpsHevcRealStreamTest, ::testing::ValuesIn(kRealSps),
                         [](const auto& info) { return std::string(info.param.name); });

// Profile fields of one layer: Main, progressive and frame-only, no constraint flags set.
void WriteMainProfile(NalUnitWriter& writer) {
  writer.U(2, 0)         // profile_space
      .U(1, 0)           // tier_flag
      .U(5, 1)           // profile_idc: Main
      .U(32, 0x60000000) // profile_compatibility_flag[0..31]
      .U(4, 0b1001)      // progressive, interlaced, non_packed, frame_only source flags
      .U(32, 0)          // the 43 constraint bits
      .U(11, 0)
      .U(1, 0);          // inbld_flag
}

// VUI with the extended sample aspect ratio 4:3 and nothing else, and the SPS end.
void WriteAspect4to3AndEnd(NalUnitWriter& writer) {
  writer.U(1, 1)   // vui_parameters_present_flag
      .U(1, 1)     // aspect_ratio_info_present_flag
      .U(8, 255)   // aspect_ratio_idc: extended
      .U(16, 4)    // sar_width
      .U(16, 3)    // sar_height
      .U(9, 0)     // overscan_info_present_flag .. bitstream_restriction_flag
      .U(1, 0);    // sps_extension_present_flag
}

TEST(SpsHevcTest, ReadsSubLayersPcmAndPredictedReferenceSets) {
  NalUnitWriter writer({0x42, 0x01});
  writer.U(4, 0)   // sps_video_parameter_set_id
      .U(3, 2)     // sps_max_sub_layers_minus1
      .U(1, 1);    // sps_temporal_id_nesting_flag
  WriteMainProfile(writer);
  writer.U(8, 93)  // general_level_idc
      .U(1, 1)     // sub_layer_profile_present_flag[0]
      .U(1, 1)     // sub_layer_level_present_flag[0]
      .U(1, 0)     // sub_layer_profile_present_flag[1]
      .U(1, 1)     // sub_layer_level_present_flag[1]
      .U(12, 0);   // reserved_zero_2bits for sub-layers 2 to 7
  WriteMainProfile(writer);  // sub-layer 0
  writer.U(8, 90)  // sub_layer_level_idc[0]
      .U(8, 93)    // sub_layer_level_idc[1]
      .Ue(0)       // sps_seq_parameter_set_id
      .Ue(1)       // chroma_format_idc
      .Ue(1920)    // pic_width_in_luma_samples
      .Ue(1088)    // pic_height_in_luma_samples
      .U(1, 1)     // conformance_window_flag
      .Ue(0).Ue(0).Ue(0).Ue(4)  // conf_win_left/right/top/bottom_offset
      .Ue(0)       // bit_depth_luma_minus8
      .Ue(0)       // bit_depth_chroma_minus8
      .Ue(4)       // log2_max_pic_order_cnt_lsb_minus4
      .U(1, 1)     // sps_sub_layer_ordering_info_present_flag: one triple per sub-layer
      .Ue(1).Ue(0).Ue(0)
      .Ue(2).Ue(1).Ue(0)
      .Ue(4).Ue(2).Ue(5)
      .Ue(0)       // log2_min_luma_coding_block_size_minus3
      .Ue(3)       // log2_diff_max_min_luma_coding_block_size
      .Ue(0)       // log2_min_luma_transform_block_size_minus2
      .Ue(3)       // log2_diff_max_min_luma_transform_block_size
      .Ue(1)       // max_transform_hierarchy_depth_inter
      .Ue(1)       // max_transform_hierarchy_depth_intra
      .U(1, 1)     // scaling_list_enabled_flag
      .U(1, 0)     // sps_scaling_list_data_present_flag
      .U(1, 1)     // amp_enabled_flag
      .U(1, 1)     // sample_adaptive_offset_enabled_flag
      .U(1, 1)     // pcm_enabled_flag
      .U(4, 7)     // pcm_sample_bit_depth_luma_minus1
      .U(4, 7)     // pcm_sample_bit_depth_chroma_minus1
      .Ue(0)       // log2_min_pcm_luma_coding_block_size_minus3
      .Ue(1)       // log2_diff_max_min_pcm_luma_coding_block_size
      .U(1, 1)     // pcm_loop_filter_disabled_flag
      .Ue(3);      // num_short_term_ref_pic_sets
  // Set 0, explicit: deltas -1, -2 and +1.
  writer.Ue(2)     // num_negative_pics
      .Ue(1)       // num_positive_pics
      .Ue(0).U(1, 1)   // delta_poc_s0_minus1[0], used_by_curr_pic_s0_flag[0]
      .Ue(0).U(1, 1)   // delta_poc_s0_minus1[1], used_by_curr_pic_s0_flag[1]
      .Ue(0).U(1, 1);  // delta_poc_s1_minus1[0], used_by_curr_pic_s1_flag[0]
  // Set 1 from set 0 shifted by +1: -1 lands on the current picture and drops out, leaving
  // -1, +1 and +2, three pictures although all four flags are kept.
  writer.U(1, 1)   // inter_ref_pic_set_prediction_flag
      .U(1, 0)     // delta_rps_sign
      .Ue(0)       // abs_delta_rps_minus1
      .U(1, 1)     // used_by_curr_pic_flag[0]
      .U(1, 1)     // used_by_curr_pic_flag[1]
      .U(1, 0)     // used_by_curr_pic_flag[2]
      .U(1, 1)     // use_delta_flag[2]
      .U(1, 1);    // used_by_curr_pic_flag[3]: the reference picture itself
  // Set 2 from set 1 shifted by -2: four flag pairs, one per picture of set 1 and one more.
  writer.U(1, 1)   // inter_ref_pic_set_prediction_flag
      .U(1, 1)     // delta_rps_sign
      .Ue(1)       // abs_delta_rps_minus1
      .U(1, 1)     // used_by_curr_pic_flag[0]
      .U(1, 0)     // used_by_curr_pic_flag[1]
      .U(1, 0)     // use_delta_flag[1]
      .U(1, 1)     // used_by_curr_pic_flag[2]
      .U(1, 1);    // used_by_curr_pic_flag[3]
  writer.U(1, 1)   // long_term_ref_pics_present_flag
      .Ue(2)       // num_long_term_ref_pics_sps
      .U(8, 16).U(1, 1)   // lt_ref_pic_poc_lsb_sps[0], used_by_curr_pic_lt_sps_flag[0]
      .U(8, 200).U(1, 0)  // lt_ref_pic_poc_lsb_sps[1], used_by_curr_pic_lt_sps_flag[1]
      .U(1, 1)     // sps_temporal_mvp_enabled_flag
      .U(1, 1);    // strong_intra_smoothing_enabled_flag
  WriteAspect4to3AndEnd(writer);
  EXPECT_EQ(Parse(writer.Finish()), "1920x1080 sar 4:3");
}

TEST(SpsHevcTest, OtherNalUnitTypesKeepThePreviousSize) {
  // The picture parameter set that follows the SPS of the Main1080p stream.
  const std::vector<std::uint8_t> pps = {0x44, 0x01, 0xc1, 0x72, 0xb4, 0x62, 0x40};
  const SequenceParameters previous = {.width = 640, .height = 360, .aspect_width = 4,
                                       .aspect_height = 3};
  EXPECT_EQ(Parse(pps, previous), "640x360 sar 1:1");
  EXPECT_EQ(Parse({}, previous), "640x360 sar 1:1");
}

TEST(SpsHevcTest, TruncatedSpsGivesNoSize) {
  const std::vector<std::uint8_t>& full = kRealSps[0].nal;
  const SequenceParameters previous = {.width = 640, .height = 360};
  EXPECT_EQ(Parse({full.begin(), full.begin() + 2}, previous), "0x0 sar 1:1");
  // Cut after six bits of aspect_ratio_idc.
  const std::vector<std::uint8_t>& table_aspect = kRealSps[2].nal;
  EXPECT_EQ(Parse({table_aspect.begin(), table_aspect.begin() + 30}), "0x0 sar 1:1");
}

struct ConformanceWindow {
  std::uint32_t chroma_format_idc = 1;
  std::uint32_t width = 1280;
  std::uint32_t height = 720;
  std::vector<std::uint32_t> offsets;  // left, right, top, bottom; none: no window
  const char* expected = "";
};

// Writes an SPS up to num_short_term_ref_pic_sets, without sub-layers, 1280x720 4:2:0 unless
// `window` says otherwise.
NalUnitWriter SpsUpToReferenceSets(std::uint32_t log2_max_pic_order_cnt_lsb_minus4,
                                   const ConformanceWindow& window = {}) {
  NalUnitWriter writer({0x42, 0x01});
  writer.U(4, 0).U(3, 0).U(1, 1);  // vps id, sps_max_sub_layers_minus1, nesting flag
  WriteMainProfile(writer);
  writer.U(8, 93).Ue(0)                  // general_level_idc, sps id
      .Ue(window.chroma_format_idc);
  if (window.chroma_format_idc == 3) writer.U(1, 0);  // separate_colour_plane_flag
  writer.Ue(window.width).Ue(window.height)
      .U(1, window.offsets.empty() ? 0 : 1);  // conformance_window_flag
  for (const std::uint32_t offset : window.offsets) writer.Ue(offset);
  writer.Ue(0).Ue(0)                     // bit depths
      .Ue(log2_max_pic_order_cnt_lsb_minus4)
      .U(1, 0).Ue(4).Ue(2).Ue(5)         // ordering info for the highest sub-layer only
      .Ue(0).Ue(3).Ue(0).Ue(3).Ue(0).Ue(0)  // block sizes and transform depths
      .U(1, 0).U(1, 0).U(1, 1).U(1, 0);  // scaling lists, amp, sao, pcm
  return writer;
}

// Window offsets count in chroma samples: 2 luma columns and rows for 4:2:0, 2 columns and 1 row
// for 4:2:2, 1 each for 4:4:4.
TEST(SpsHevcTest, ConformanceWindowInChromaUnits) {
  const ConformanceWindow windows[] = {
      {1, 968, 544, {0, 4, 0, 2}, "960x540 sar 1:1"},
      {2, 1280, 720, {1, 3, 2, 2}, "1272x716 sar 1:1"},
      {3, 1280, 720, {0, 3, 0, 5}, "1277x715 sar 1:1"},
      {1, 1280, 720, {0, 0, 180, 180}, "0x0 sar 1:1"},  // nothing left to show: no size
  };
  for (const ConformanceWindow& window : windows) {
    NalUnitWriter writer = SpsUpToReferenceSets(4, window);
    writer.Ue(0).U(1, 0).U(1, 0).U(1, 0).U(1, 0);  // no reference sets, no long-term, mvp, smoothing, VUI
    EXPECT_EQ(Parse(writer.Finish()), window.expected) << window.expected;
  }
}

// Counts beyond what a decoded picture buffer holds are refused before anything is read for them.
TEST(SpsHevcTest, HostileCountsGiveNoSize) {
  // An explicit set of billions of pictures.
  NalUnitWriter pictures = SpsUpToReferenceSets(4);
  pictures.Ue(1).Ue(0xFFFFFFFE).Ue(0);

  // Sets that each predict one picture more than the last, until there are 17.
  NalUnitWriter growing = SpsUpToReferenceSets(4);
  growing.Ue(64).Ue(1).Ue(0).Ue(0).U(1, 0);  // set 0: one picture, unused
  for (int i = 1; i < 64; ++i) {
    growing.U(1, 1).U(1, 1).Ue(0);  // predicted, shifted by -1
    for (int j = 0; j <= i; ++j) {
      growing.U(1, 1);  // used_by_curr_pic_flag[j]
    }
  }

  // Billions of long-term pictures.
  NalUnitWriter long_term = SpsUpToReferenceSets(4);
  long_term.Ue(0).U(1, 1).Ue(0xFFFFFFFE).U(8, 0).U(1, 0);

  // A picture order count of 2^32 + 1 bits, which must not wrap around to one bit.
  NalUnitWriter order_count = SpsUpToReferenceSets(0xFFFFFFFD);
  order_count.Ue(0).U(1, 0).U(1, 0).U(1, 0).U(1, 0);  // no sets, no long-term, mvp, smoothing, VUI

  for (const NalUnitWriter* writer : {&pictures, &growing, &long_term, &order_count}) {
    EXPECT_EQ(Parse(writer->Finish()), "0x0 sar 1:1");
  }
}

}  // namespace
}  // namespace moraine
