#include "moraine/driver/parameter_sets/hevc_sps_parser.h"

#include <array>

#include "moraine/driver/parameter_sets/bit_reader.h"
#include "moraine/driver/parameter_sets/display_window.h"
#include "moraine/driver/parameter_sets/hevc_short_term_ref_pic_set.h"
#include "moraine/driver/parameter_sets/vui_aspect_ratio.h"

namespace moraine {

namespace {

constexpr std::uint32_t kSpsNalUnitType = 33;

// Bits of the profile fields of one layer: profile_space u(2), tier_flag u(1), profile_idc u(5),
// 32 profile_compatibility_flags, progressive_source, interlaced_source, non_packed_constraint
// and frame_only_constraint flags u(1) each, 43 constraint bits whose layout depends on the
// profile, and the inbld or reserved bit u(1).
constexpr std::uint64_t kProfileBits = 2 + 1 + 5 + 32 + 4 + 43 + 1;
constexpr std::uint32_t kMaxSubLayers = 8;

void SkipProfileTierLevel(BitReader& reader, std::uint32_t max_sub_layers_minus1) {
  // general_profile_space .. general_inbld_flag, with profilePresentFlag 1
  reader.SkipBits(kProfileBits);
  // general_level_idc: u(8)
  reader.ReadBits(8);
  std::array<bool, kMaxSubLayers> sub_layer_profile_present_flag{};
  std::array<bool, kMaxSubLayers> sub_layer_level_present_flag{};
  for (std::uint32_t i = 0; i < max_sub_layers_minus1; ++i) {
    // sub_layer_profile_present_flag[i]: u(1)
    sub_layer_profile_present_flag[i] = reader.ReadBit() != 0;
    // sub_layer_level_present_flag[i]: u(1)
    sub_layer_level_present_flag[i] = reader.ReadBit() != 0;
  }
  if (max_sub_layers_minus1 > 0) {
    for (std::uint32_t i = max_sub_layers_minus1; i < kMaxSubLayers; ++i) {
      // reserved_zero_2bits: u(2)
      reader.ReadBits(2);
    }
  }
  for (std::uint32_t i = 0; i < max_sub_layers_minus1; ++i) {
    if (sub_layer_profile_present_flag[i]) {
      // sub_layer_profile_space[i] .. sub_layer_inbld_flag[i]
      reader.SkipBits(kProfileBits);
    }
    if (sub_layer_level_present_flag[i]) {
      // sub_layer_level_idc[i]: u(8)
      reader.ReadBits(8);
    }
  }
}

void SkipScalingListData(BitReader& reader) {
  for (int size_id = 0; size_id < 4; ++size_id) {
    const int matrix_step = size_id == 3 ? 3 : 1;
    for (int matrix_id = 0; matrix_id < 6; matrix_id += matrix_step) {
      // scaling_list_pred_mode_flag[sizeId][matrixId]: u(1)
      if (reader.ReadBit() == 0) {
        // scaling_list_pred_matrix_id_delta[sizeId][matrixId]: ue(v)
        reader.ReadUnsignedExpGolomb();
        continue;
      }
      const int coef_num = size_id == 0 ? 16 : 64;
      if (size_id > 1) {
        // scaling_list_dc_coef_minus8[sizeId - 2][matrixId]: se(v)
        reader.ReadSignedExpGolomb();
      }
      for (int i = 0; i < coef_num; ++i) {
        // scaling_list_delta_coef: se(v)
        reader.ReadSignedExpGolomb();
      }
    }
  }
}

void SkipReferencePictureSets(BitReader& reader, std::uint32_t log2_max_pic_order_cnt_lsb_minus4) {
  // num_short_term_ref_pic_sets: ue(v)
  const std::uint32_t num_short_term_ref_pic_sets = reader.ReadUnsignedExpGolomb();
  // Every set reads at least one bit, and past the end all reads are 0, so stopping at the end
  // bounds a damaged count without changing what is read.
  ShortTermRefPicSet previous;
  for (std::uint32_t i = 0; i < num_short_term_ref_pic_sets && !reader.AtEnd(); ++i) {
    previous = ReadShortTermRefPicSet(reader, i, previous);
  }
  // long_term_ref_pics_present_flag: u(1)
  if (reader.ReadBit() == 0) {
    return;
  }
  // num_long_term_ref_pics_sps: ue(v)
  const std::uint32_t num_long_term_ref_pics_sps = reader.ReadUnsignedExpGolomb();
  const std::uint64_t poc_lsb_bits = std::uint64_t{log2_max_pic_order_cnt_lsb_minus4} + 4;
  for (std::uint32_t i = 0; i < num_long_term_ref_pics_sps && !reader.AtEnd(); ++i) {
    // lt_ref_pic_poc_lsb_sps[i]: u(v)
    reader.SkipBits(poc_lsb_bits);
    // used_by_curr_pic_lt_sps_flag[i]: u(1)
    reader.ReadBit();
  }
}

void ParseSps(BitReader& reader, SequenceParameters& parameters) {
  parameters.aspect_width = 1;
  parameters.aspect_height = 1;
  // forbidden_zero_bit: f(1)
  reader.ReadBit();
  // nal_unit_type: u(6)
  const std::uint32_t nal_unit_type = reader.ReadBits(6);
  // nuh_layer_id: u(6)
  reader.ReadBits(6);
  // nuh_temporal_id_plus1: u(3)
  reader.ReadBits(3);
  if (nal_unit_type != kSpsNalUnitType) {
    return;
  }

  // sps_video_parameter_set_id: u(4)
  reader.ReadBits(4);
  // sps_max_sub_layers_minus1: u(3)
  const std::uint32_t sps_max_sub_layers_minus1 = reader.ReadBits(3);
  // sps_temporal_id_nesting_flag: u(1)
  reader.ReadBit();
  SkipProfileTierLevel(reader, sps_max_sub_layers_minus1);

  // sps_seq_parameter_set_id: ue(v)
  reader.ReadUnsignedExpGolomb();
  // chroma_format_idc: ue(v)
  parameters.chroma_format_idc = reader.ReadUnsignedExpGolomb();
  std::uint32_t chroma_array_type = parameters.chroma_format_idc;
  if (parameters.chroma_format_idc == 3) {
    // separate_colour_plane_flag: u(1)
    if (reader.ReadBit() != 0) chroma_array_type = 0;
  }
  // pic_width_in_luma_samples: ue(v)
  parameters.width = reader.ReadUnsignedExpGolomb();
  // pic_height_in_luma_samples: ue(v)
  parameters.height = reader.ReadUnsignedExpGolomb();
  // conformance_window_flag: u(1)
  if (reader.ReadBit() != 0) {
    // Coders pad the picture to whole coding blocks; the window says which part is shown.
    WindowOffsets window;
    // conf_win_left_offset, conf_win_right_offset, conf_win_top_offset, conf_win_bottom_offset:
    // ue(v) each
    window.left = reader.ReadUnsignedExpGolomb();
    window.right = reader.ReadUnsignedExpGolomb();
    window.top = reader.ReadUnsignedExpGolomb();
    window.bottom = reader.ReadUnsignedExpGolomb();
    ApplyDisplayWindow(parameters, chroma_array_type, window, 1);
  }
  // bit_depth_luma_minus8: ue(v)
  parameters.bit_depth_luma_minus8 = reader.ReadUnsignedExpGolomb();
  // bit_depth_chroma_minus8: ue(v)
  parameters.bit_depth_chroma_minus8 = reader.ReadUnsignedExpGolomb();
  // log2_max_pic_order_cnt_lsb_minus4: ue(v)
  const std::uint32_t log2_max_pic_order_cnt_lsb_minus4 = reader.ReadUnsignedExpGolomb();

  // sps_sub_layer_ordering_info_present_flag: u(1)
  const std::uint32_t first_ordered_sub_layer =
      reader.ReadBit() != 0 ? 0 : sps_max_sub_layers_minus1;
  for (std::uint32_t i = first_ordered_sub_layer; i <= sps_max_sub_layers_minus1; ++i) {
    // sps_max_dec_pic_buffering_minus1[i]: ue(v)
    reader.ReadUnsignedExpGolomb();
    // sps_max_num_reorder_pics[i]: ue(v)
    reader.ReadUnsignedExpGolomb();
    // sps_max_latency_increase_plus1[i]: ue(v)
    reader.ReadUnsignedExpGolomb();
  }

  // log2_min_luma_coding_block_size_minus3: ue(v)
  reader.ReadUnsignedExpGolomb();
  // log2_diff_max_min_luma_coding_block_size: ue(v)
  reader.ReadUnsignedExpGolomb();
  // log2_min_luma_transform_block_size_minus2: ue(v)
  reader.ReadUnsignedExpGolomb();
  // log2_diff_max_min_luma_transform_block_size: ue(v)
  reader.ReadUnsignedExpGolomb();
  // max_transform_hierarchy_depth_inter: ue(v)
  reader.ReadUnsignedExpGolomb();
  // max_transform_hierarchy_depth_intra: ue(v)
  reader.ReadUnsignedExpGolomb();

  // scaling_list_enabled_flag: u(1)
  if (reader.ReadBit() != 0) {
    // sps_scaling_list_data_present_flag: u(1)
    if (reader.ReadBit() != 0) {
      SkipScalingListData(reader);
    }
  }
  // amp_enabled_flag: u(1)
  reader.ReadBit();
  // sample_adaptive_offset_enabled_flag: u(1)
  reader.ReadBit();
  // pcm_enabled_flag: u(1)
  if (reader.ReadBit() != 0) {
    // pcm_sample_bit_depth_luma_minus1: u(4)
    reader.ReadBits(4);
    // pcm_sample_bit_depth_chroma_minus1: u(4)
    reader.ReadBits(4);
    // log2_min_pcm_luma_coding_block_size_minus3: ue(v)
    reader.ReadUnsignedExpGolomb();
    // log2_diff_max_min_pcm_luma_coding_block_size: ue(v)
    reader.ReadUnsignedExpGolomb();
    // pcm_loop_filter_disabled_flag: u(1)
    reader.ReadBit();
  }
  SkipReferencePictureSets(reader, log2_max_pic_order_cnt_lsb_minus4);
  // sps_temporal_mvp_enabled_flag: u(1)
  reader.ReadBit();
  // strong_intra_smoothing_enabled_flag: u(1)
  reader.ReadBit();
  ReadVuiAspectRatio(reader, parameters);
}

}  // namespace

SequenceParameters ParseHevcSps(const std::uint8_t* nal, std::size_t size,
                                const SequenceParameters& previous) {
  SequenceParameters parameters = previous;
  BitReader reader(nal, size);
  ParseSps(reader, parameters);
  return parameters;
}

}  // namespace moraine
