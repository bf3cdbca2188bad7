#include "bitstream/sequence_parameter_set.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "bitstream/bit_reader.h"
#include "bitstream/emulation_prevention.h"
#include "bitstream/hevc_short_term_ref_pic_set.h"

namespace moraine {
namespace {

// Largest picture side in luma samples that we accept (H.264 and HEVC levels stay far below).
constexpr uint32_t kMaxPictureSide = 16384;

// Sample aspect ratios of aspect_ratio_idc 1 to 16 (shared by H.264 and HEVC).
constexpr std::array<std::pair<uint16_t, uint16_t>, 16> kSampleAspectRatios = {{
    {1, 1}, {12, 11}, {10, 11}, {16, 11}, {40, 33}, {24, 11}, {20, 11}, {32, 11},
    {80, 33}, {18, 11}, {15, 11}, {64, 33}, {160, 99}, {4, 3}, {3, 2}, {2, 1},
}};

void ReadAspectRatio(BitReader& bits, SequenceInfo& info) {
  const uint32_t aspect_ratio_idc = bits.ReadBits(8);  // aspect_ratio_idc: u(8)
  if (aspect_ratio_idc == 255) {                        // Extended_SAR
    info.sar_width = bits.ReadBits(16);                 // sar_width: u(16)
    info.sar_height = bits.ReadBits(16);                // sar_height: u(16)
  } else if (aspect_ratio_idc >= 1 && aspect_ratio_idc <= kSampleAspectRatios.size()) {
    info.sar_width = kSampleAspectRatios[aspect_ratio_idc - 1].first;
    info.sar_height = kSampleAspectRatios[aspect_ratio_idc - 1].second;
  }
}

// The four crop offsets of an H.264 frame cropping or HEVC conformance window, in chroma units
// (doubled vertically for field-coded H.264); false when they leave no picture.
bool ReadCropOffsets(BitReader& bits, uint32_t chroma_array_type, uint32_t field_factor,
                     SequenceInfo& info) {
  const uint32_t unit_x = (chroma_array_type == 1 || chroma_array_type == 2) ? 2 : 1;
  const uint32_t unit_y = (chroma_array_type == 1 ? 2 : 1) * field_factor;
  const uint32_t left = bits.ReadUnsignedExpGolomb();    // *_left_offset: ue(v)
  const uint32_t right = bits.ReadUnsignedExpGolomb();   // *_right_offset: ue(v)
  const uint32_t top = bits.ReadUnsignedExpGolomb();     // *_top_offset: ue(v)
  const uint32_t bottom = bits.ReadUnsignedExpGolomb();  // *_bottom_offset: ue(v)
  // Each offset is checked before multiplying so that the products stay far below 2^32.
  if (left > kMaxPictureSide || right > kMaxPictureSide || top > kMaxPictureSide ||
      bottom > kMaxPictureSide) {
    return false;
  }
  info.crop_left = left * unit_x;
  info.crop_right = right * unit_x;
  info.crop_top = top * unit_y;
  info.crop_bottom = bottom * unit_y;
  return info.crop_left + info.crop_right < info.coded_width &&
         info.crop_top + info.crop_bottom < info.coded_height;
}

// The video signal and chroma location parts that both codecs' VUI share after the aspect ratio.
void SkipSignalDescription(BitReader& bits) {
  if (bits.ReadFlag()) bits.ReadFlag();  // overscan_info_present_flag, overscan_appropriate_flag
  if (bits.ReadFlag()) {                 // video_signal_type_present_flag
    bits.ReadBits(4);                    // video_format: u(3), video_full_range_flag: u(1)
    if (bits.ReadFlag()) bits.ReadBits(24);  // colour_description_present_flag: 3 x u(8)
  }
  if (bits.ReadFlag()) {  // chroma_loc_info_present_flag
    bits.ReadUnsignedExpGolomb();  // chroma_sample_loc_type_top_field: ue(v)
    bits.ReadUnsignedExpGolomb();  // chroma_sample_loc_type_bottom_field: ue(v)
  }
}

bool SkipH264HrdParameters(BitReader& bits) {
  const uint32_t cpb_cnt_minus1 = bits.ReadUnsignedExpGolomb();  // ue(v)
  if (cpb_cnt_minus1 > 31) return false;
  bits.ReadBits(8);  // bit_rate_scale: u(4), cpb_size_scale: u(4)
  for (uint32_t i = 0; i <= cpb_cnt_minus1; ++i) {
    bits.ReadUnsignedExpGolomb();  // bit_rate_value_minus1: ue(v)
    bits.ReadUnsignedExpGolomb();  // cpb_size_value_minus1: ue(v)
    bits.ReadFlag();               // cbr_flag: u(1)
  }
  bits.ReadBits(20);  // four delay and offset lengths: 4 x u(5)
  return !bits.failed();
}

bool ReadH264Vui(BitReader& bits, SequenceInfo& info) {
  if (bits.ReadFlag()) ReadAspectRatio(bits, info);  // aspect_ratio_info_present_flag
  SkipSignalDescription(bits);
  if (bits.ReadFlag()) {  // timing_info_present_flag
    const uint32_t num_units_in_tick = bits.ReadBits(32);  // u(32)
    const uint32_t time_scale = bits.ReadBits(32);         // u(32)
    bits.ReadFlag();                                       // fixed_frame_rate_flag: u(1)
    // A frame lasts two ticks (one per field).
    if (num_units_in_tick != 0 && time_scale != 0 && num_units_in_tick <= UINT32_MAX / 2) {
      info.frame_rate_numerator = time_scale;
      info.frame_rate_denominator = num_units_in_tick * 2;
    }
  }
  const bool nal_hrd = bits.ReadFlag();  // nal_hrd_parameters_present_flag
  if (nal_hrd && !SkipH264HrdParameters(bits)) return false;
  const bool vcl_hrd = bits.ReadFlag();  // vcl_hrd_parameters_present_flag
  if (vcl_hrd && !SkipH264HrdParameters(bits)) return false;
  if (nal_hrd || vcl_hrd) bits.ReadFlag();  // low_delay_hrd_flag
  bits.ReadFlag();                          // pic_struct_present_flag
  if (bits.ReadFlag()) {                    // bitstream_restriction_flag
    bits.ReadFlag();                        // motion_vectors_over_pic_boundaries_flag
    for (int i = 0; i < 5; ++i) bits.ReadUnsignedExpGolomb();  // size and motion vector limits
    const uint32_t max_dec_frame_buffering = bits.ReadUnsignedExpGolomb();  // ue(v)
    if (max_dec_frame_buffering <= 16) info.max_dec_frame_buffering = max_dec_frame_buffering;
  }
  return !bits.failed();
}

bool SkipH264ScalingList(BitReader& bits, int size) {
  int last_scale = 8;
  int next_scale = 8;
  for (int j = 0; j < size && !bits.failed(); ++j) {
    if (next_scale != 0) {
      const int32_t delta_scale = bits.ReadSignedExpGolomb();  // se(v)
      if (delta_scale < -128 || delta_scale > 127) return false;
      next_scale = (last_scale + delta_scale + 256) % 256;
    }
    last_scale = next_scale == 0 ? last_scale : next_scale;
  }
  return !bits.failed();
}

bool HasH264ChromaFormat(uint32_t profile_idc) {
  switch (profile_idc) {
    case 100: case 110: case 122: case 244: case 44: case 83:
    case 86: case 118: case 128: case 138: case 139: case 134: case 135:
      return true;
    default:
      return false;
  }
}

std::optional<SequenceInfo> ParseH264(BitReader& bits) {
  SequenceInfo info;
  info.profile = bits.ReadBits(8);           // profile_idc: u(8)
  info.constraint_flags = bits.ReadBits(8);  // constraint_set0..5_flag, reserved_zero_2bits
  info.level = bits.ReadBits(8);             // level_idc: u(8)
  if (bits.ReadUnsignedExpGolomb() > 31) return std::nullopt;  // seq_parameter_set_id: ue(v)
  bool separate_colour_plane = false;
  if (HasH264ChromaFormat(info.profile)) {
    info.chroma_format_idc = bits.ReadUnsignedExpGolomb();  // chroma_format_idc: ue(v)
    if (info.chroma_format_idc > 3) return std::nullopt;
    if (info.chroma_format_idc == 3) separate_colour_plane = bits.ReadFlag();
    info.bit_depth_luma = bits.ReadUnsignedExpGolomb() + 8;  // bit_depth_luma_minus8: ue(v)
    info.bit_depth_chroma = bits.ReadUnsignedExpGolomb() + 8;  // bit_depth_chroma_minus8: ue(v)
    bits.ReadFlag();  // qpprime_y_zero_transform_bypass_flag
    if (bits.ReadFlag()) {  // seq_scaling_matrix_present_flag
      const int lists = info.chroma_format_idc != 3 ? 8 : 12;
      for (int i = 0; i < lists; ++i) {
        if (bits.ReadFlag() && !SkipH264ScalingList(bits, i < 6 ? 16 : 64)) return std::nullopt;
      }
    }
  }
  if (bits.ReadUnsignedExpGolomb() > 12) return std::nullopt;  // log2_max_frame_num_minus4
  const uint32_t pic_order_cnt_type = bits.ReadUnsignedExpGolomb();  // ue(v)
  if (pic_order_cnt_type == 0) {
    bits.ReadUnsignedExpGolomb();  // log2_max_pic_order_cnt_lsb_minus4: ue(v)
  } else if (pic_order_cnt_type == 1) {
    bits.ReadFlag();                // delta_pic_order_always_zero_flag
    bits.ReadSignedExpGolomb();     // offset_for_non_ref_pic: se(v)
    bits.ReadSignedExpGolomb();     // offset_for_top_to_bottom_field: se(v)
    const uint32_t cycle = bits.ReadUnsignedExpGolomb();  // num_ref_frames_in_pic_order_cnt_cycle
    if (cycle > 255) return std::nullopt;
    for (uint32_t i = 0; i < cycle; ++i) bits.ReadSignedExpGolomb();  // offset_for_ref_frame
  } else if (pic_order_cnt_type != 2) {
    return std::nullopt;
  }
  bits.ReadUnsignedExpGolomb();  // max_num_ref_frames: ue(v)
  bits.ReadFlag();               // gaps_in_frame_num_value_allowed_flag
  const uint32_t width_in_mbs = bits.ReadUnsignedExpGolomb() + 1;        // pic_width_in_mbs_minus1
  const uint32_t height_in_map_units = bits.ReadUnsignedExpGolomb() + 1;  // ..._map_units_minus1
  info.frames_only = bits.ReadFlag();                                     // frame_mbs_only_flag
  if (!info.frames_only) bits.ReadFlag();  // mb_adaptive_frame_field_flag
  bits.ReadFlag();                         // direct_8x8_inference_flag
  if (bits.failed() || width_in_mbs > kMaxPictureSide / 16 ||
      height_in_map_units > kMaxPictureSide / 32) {
    return std::nullopt;
  }
  const uint32_t field_factor = info.frames_only ? 1 : 2;
  info.coded_width = width_in_mbs * 16;
  info.coded_height = height_in_map_units * 16 * field_factor;
  if (bits.ReadFlag()) {  // frame_cropping_flag
    const uint32_t chroma_array_type = separate_colour_plane ? 0 : info.chroma_format_idc;
    if (!ReadCropOffsets(bits, chroma_array_type, field_factor, info)) return std::nullopt;
  }
  if (bits.ReadFlag() && !ReadH264Vui(bits, info)) return std::nullopt;  // vui_parameters_present
  if (bits.failed()) return std::nullopt;
  return info;
}

void SkipHevcProfileTierLevel(BitReader& bits, uint32_t max_sub_layers_minus1, SequenceInfo& info) {
  bits.ReadBits(2);                      // general_profile_space: u(2)
  info.high_tier = bits.ReadFlag();      // general_tier_flag: u(1)
  info.profile = bits.ReadBits(5);       // general_profile_idc: u(5)
  bits.ReadBits(32);                     // general_profile_compatibility_flag[32]
  bits.ReadFlag();                       // general_progressive_source_flag
  const bool interlaced = bits.ReadFlag();  // general_interlaced_source_flag
  info.frames_only = !interlaced;
  bits.SkipBits(2 + 43 + 1);             // non_packed, frame_only, reserved 43 bits, inbld/reserved
  info.level = bits.ReadBits(8);         // general_level_idc: u(8)
  std::array<bool, 8> profile_present{};
  std::array<bool, 8> level_present{};
  for (uint32_t i = 0; i < max_sub_layers_minus1; ++i) {
    profile_present[i] = bits.ReadFlag();  // sub_layer_profile_present_flag[i]
    level_present[i] = bits.ReadFlag();    // sub_layer_level_present_flag[i]
  }
  if (max_sub_layers_minus1 > 0) bits.SkipBits(2 * (8 - max_sub_layers_minus1));  // reserved_zero_2bits
  for (uint32_t i = 0; i < max_sub_layers_minus1; ++i) {
    if (profile_present[i]) bits.SkipBits(88);  // sub-layer profile fields
    if (level_present[i]) bits.SkipBits(8);     // sub_layer_level_idc[i]
  }
}

bool SkipHevcScalingListData(BitReader& bits) {
  for (int size_id = 0; size_id < 4; ++size_id) {
    for (int matrix_id = 0; matrix_id < 6; matrix_id += (size_id == 3) ? 3 : 1) {
      if (!bits.ReadFlag()) {  // scaling_list_pred_mode_flag
        bits.ReadUnsignedExpGolomb();  // scaling_list_pred_matrix_id_delta: ue(v)
        continue;
      }
      const int coefficients = std::min(64, 1 << (4 + (size_id << 1)));
      if (size_id > 1) bits.ReadSignedExpGolomb();  // scaling_list_dc_coef_minus8: se(v)
      for (int i = 0; i < coefficients; ++i) bits.ReadSignedExpGolomb();  // scaling_list_delta_coef
      if (bits.failed()) return false;
    }
  }
  return !bits.failed();
}

// Reads the short-term reference picture sets of an SPS; false when one of them is refused.
bool SkipHevcShortTermRefPicSets(BitReader& bits, uint32_t count) {
  ShortTermRefPicSet previous;
  for (uint32_t index = 0; index < count; ++index) {
    std::optional<ShortTermRefPicSet> set = ReadShortTermRefPicSet(bits, index, previous);
    if (!set) return false;
    previous = std::move(*set);
  }
  return true;
}

void ReadHevcVui(BitReader& bits, SequenceInfo& info) {
  if (bits.ReadFlag()) ReadAspectRatio(bits, info);  // aspect_ratio_info_present_flag
  SkipSignalDescription(bits);
  bits.ReadFlag();                                  // neutral_chroma_indication_flag
  if (bits.ReadFlag()) info.frames_only = false;    // field_seq_flag
  bits.ReadFlag();                                  // frame_field_info_present_flag
  if (bits.ReadFlag()) {                            // default_display_window_flag
    for (int i = 0; i < 4; ++i) bits.ReadUnsignedExpGolomb();  // def_disp_win_*_offset: ue(v)
  }
  if (bits.ReadFlag()) {  // vui_timing_info_present_flag
    const uint32_t num_units_in_tick = bits.ReadBits(32);  // vui_num_units_in_tick: u(32)
    const uint32_t time_scale = bits.ReadBits(32);         // vui_time_scale: u(32)
    if (!bits.failed() && num_units_in_tick != 0 && time_scale != 0) {
      info.frame_rate_numerator = time_scale;
      info.frame_rate_denominator = num_units_in_tick;
    }
  }
  // Nothing after the timing information is needed.
}

std::optional<SequenceInfo> ParseHevc(BitReader& bits) {
  SequenceInfo info;
  bits.ReadBits(4);                                     // sps_video_parameter_set_id: u(4)
  const uint32_t max_sub_layers_minus1 = bits.ReadBits(3);  // sps_max_sub_layers_minus1: u(3)
  if (max_sub_layers_minus1 > 6) return std::nullopt;
  bits.ReadFlag();  // sps_temporal_id_nesting_flag
  SkipHevcProfileTierLevel(bits, max_sub_layers_minus1, info);
  if (bits.ReadUnsignedExpGolomb() > 15) return std::nullopt;  // sps_seq_parameter_set_id
  info.chroma_format_idc = bits.ReadUnsignedExpGolomb();       // chroma_format_idc: ue(v)
  if (info.chroma_format_idc > 3) return std::nullopt;
  bool separate_colour_plane = false;
  if (info.chroma_format_idc == 3) separate_colour_plane = bits.ReadFlag();
  info.coded_width = bits.ReadUnsignedExpGolomb();   // pic_width_in_luma_samples: ue(v)
  info.coded_height = bits.ReadUnsignedExpGolomb();  // pic_height_in_luma_samples: ue(v)
  if (bits.failed() || info.coded_width == 0 || info.coded_height == 0 ||
      info.coded_width > kMaxPictureSide || info.coded_height > kMaxPictureSide) {
    return std::nullopt;
  }
  if (bits.ReadFlag()) {  // conformance_window_flag
    const uint32_t chroma_array_type = separate_colour_plane ? 0 : info.chroma_format_idc;
    if (!ReadCropOffsets(bits, chroma_array_type, 1, info)) return std::nullopt;
  }
  info.bit_depth_luma = bits.ReadUnsignedExpGolomb() + 8;  // bit_depth_luma_minus8: ue(v)
  info.bit_depth_chroma = bits.ReadUnsignedExpGolomb() + 8;  // bit_depth_chroma_minus8: ue(v)
  const uint32_t log2_max_poc_lsb_minus4 = bits.ReadUnsignedExpGolomb();  // ue(v)
  if (log2_max_poc_lsb_minus4 > 12) return std::nullopt;
  const uint32_t log2_max_poc_lsb = log2_max_poc_lsb_minus4 + 4;
  const bool ordering_for_all_layers = bits.ReadFlag();  // sps_sub_layer_ordering_info_present_flag
  for (uint32_t i = ordering_for_all_layers ? 0 : max_sub_layers_minus1; i <= max_sub_layers_minus1;
       ++i) {
    const uint32_t buffering = bits.ReadUnsignedExpGolomb() + 1;  // max_dec_pic_buffering_minus1
    bits.ReadUnsignedExpGolomb();                                 // sps_max_num_reorder_pics
    bits.ReadUnsignedExpGolomb();                                 // max_latency_increase_plus1
    if (buffering > 16) return std::nullopt;
    info.max_dec_frame_buffering = buffering;  // the highest sub-layer's value stays
  }
  for (int i = 0; i < 6; ++i) bits.ReadUnsignedExpGolomb();  // block sizes and hierarchy depths
  if (bits.ReadFlag() && bits.ReadFlag() && !SkipHevcScalingListData(bits)) {
    return std::nullopt;  // scaling_list_enabled_flag, sps_scaling_list_data_present_flag
  }
  bits.ReadFlag();        // amp_enabled_flag
  bits.ReadFlag();        // sample_adaptive_offset_enabled_flag
  if (bits.ReadFlag()) {  // pcm_enabled_flag
    bits.ReadBits(8);     // pcm_sample_bit_depth_luma/chroma_minus1: 2 x u(4)
    bits.ReadUnsignedExpGolomb();  // log2_min_pcm_luma_coding_block_size_minus3
    bits.ReadUnsignedExpGolomb();  // log2_diff_max_min_pcm_luma_coding_block_size
    bits.ReadFlag();               // pcm_loop_filter_disabled_flag
  }
  const uint32_t short_term_sets = bits.ReadUnsignedExpGolomb();  // num_short_term_ref_pic_sets
  if (short_term_sets > 64 || !SkipHevcShortTermRefPicSets(bits, short_term_sets)) {
    return std::nullopt;
  }
  if (bits.ReadFlag()) {  // long_term_ref_pics_present_flag
    const uint32_t long_term = bits.ReadUnsignedExpGolomb();  // num_long_term_ref_pics_sps
    if (long_term > 32) return std::nullopt;
    for (uint32_t i = 0; i < long_term; ++i) {
      bits.ReadBits(static_cast<int>(log2_max_poc_lsb));  // lt_ref_pic_poc_lsb_sps[i]: u(v)
      bits.ReadFlag();                                    // used_by_curr_pic_lt_sps_flag[i]
    }
  }
  bits.ReadFlag();  // sps_temporal_mvp_enabled_flag
  bits.ReadFlag();  // strong_intra_smoothing_enabled_flag
  if (bits.ReadFlag()) ReadHevcVui(bits, info);  // vui_parameters_present_flag
  if (bits.failed()) return std::nullopt;
  return info;
}

}  // namespace

std::optional<SequenceInfo> ParseSequenceParameterSet(VideoCodec codec,
                                                      std::span<const uint8_t> nal) {
  if (!IsSequenceParameterSet(codec, NalUnitType(codec, nal))) return std::nullopt;
  const size_t header_size = codec == VideoCodec::kH264 ? 1 : 2;
  std::vector<uint8_t> rbsp;
  RemoveEmulationPrevention(nal.subspan(header_size), EscapeRule::kDecoding, rbsp);
  BitReader bits(rbsp);
  return codec == VideoCodec::kH264 ? ParseH264(bits) : ParseHevc(bits);
}

}  // namespace moraine
