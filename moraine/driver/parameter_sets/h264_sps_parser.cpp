#include "moraine/driver/parameter_sets/h264_sps_parser.h"

#include "moraine/driver/parameter_sets/bit_reader.h"
#include "moraine/driver/parameter_sets/display_window.h"
#include "moraine/driver/parameter_sets/vui_aspect_ratio.h"

namespace moraine {

namespace {

constexpr std::uint32_t kMacroblockSize = 16;

// Profiles whose SPS carries chroma format, bit depths and scaling matrices.
bool HasChromaFormatFields(std::uint32_t profile_idc) {
  switch (profile_idc) {
    case 100:
    case 110:
    case 122:
    case 244:
    case 44:
    case 83:
    case 86:
      return true;
    default:
      return false;
  }
}

void SkipScalingList(BitReader& reader, int size_of_scaling_list) {
  std::uint32_t last_scale = 8;
  std::uint32_t next_scale = 8;
  for (int j = 0; j < size_of_scaling_list && next_scale != 0; ++j) {
    // delta_scale: se(v)
    const std::int32_t delta_scale = reader.ReadSignedExpGolomb();
    // Unsigned wrap-around keeps the sum exact modulo 256 for any delta.
    next_scale = (last_scale + static_cast<std::uint32_t>(delta_scale) + 256u) % 256u;
    if (next_scale != 0) {
      last_scale = next_scale;
    }
  }
}

// Fills in the chroma format and bit depths; returns the ChromaArrayType of the SPS.
std::uint32_t ReadChromaFormatAndScalingMatrix(BitReader& reader, SequenceParameters& parameters) {
  // chroma_format_idc: ue(v)
  const std::uint32_t chroma_format_idc = reader.ReadUnsignedExpGolomb();
  parameters.chroma_format_idc = chroma_format_idc;
  std::uint32_t separate_colour_plane_flag = 0;
  if (chroma_format_idc == 3) {
    // separate_colour_plane_flag: u(1)
    separate_colour_plane_flag = reader.ReadBit();
  }
  // bit_depth_luma_minus8: ue(v)
  parameters.bit_depth_luma_minus8 = reader.ReadUnsignedExpGolomb();
  // bit_depth_chroma_minus8: ue(v)
  parameters.bit_depth_chroma_minus8 = reader.ReadUnsignedExpGolomb();
  // qpprime_y_zero_transform_bypass_flag: u(1)
  reader.ReadBit();
  // seq_scaling_matrix_present_flag: u(1)
  if (reader.ReadBit() != 0) {
    const int list_count = chroma_format_idc == 3 ? 12 : 8;
    for (int i = 0; i < list_count; ++i) {
      // seq_scaling_list_present_flag[i]: u(1)
      if (reader.ReadBit() != 0) {
        SkipScalingList(reader, i < 6 ? 16 : 64);
      }
    }
  }
  return separate_colour_plane_flag != 0 ? 0 : chroma_format_idc;
}

void SkipPicOrderCount(BitReader& reader) {
  // pic_order_cnt_type: ue(v)
  const std::uint32_t pic_order_cnt_type = reader.ReadUnsignedExpGolomb();
  if (pic_order_cnt_type == 0) {
    // log2_max_pic_order_cnt_lsb_minus4: ue(v)
    reader.ReadUnsignedExpGolomb();
  } else if (pic_order_cnt_type == 1) {
    // delta_pic_order_always_zero_flag: u(1)
    reader.ReadBit();
    // offset_for_non_ref_pic: se(v)
    reader.ReadSignedExpGolomb();
    // offset_for_top_to_bottom_field: se(v)
    reader.ReadSignedExpGolomb();
    // num_ref_frames_in_pic_order_cnt_cycle: ue(v)
    const std::uint32_t num_ref_frames_in_pic_order_cnt_cycle = reader.ReadUnsignedExpGolomb();
    // Past the end every read is 0 and moves nothing, so stopping there gives the same result
    // as a damaged count of billions without the billions of reads.
    for (std::uint32_t i = 0; i < num_ref_frames_in_pic_order_cnt_cycle && !reader.AtEnd(); ++i) {
      // offset_for_ref_frame[i]: se(v)
      reader.ReadSignedExpGolomb();
    }
  }
}

SequenceParameters ParseSps(BitReader& reader) {
  SequenceParameters parameters;
  // profile_idc: u(8)
  const std::uint32_t profile_idc = reader.ReadBits(8);
  // constraint_set0_flag .. constraint_set3_flag: u(1) each
  reader.ReadBits(4);
  // constraint_set4_flag, constraint_set5_flag, reserved_zero_2bits: u(4)
  reader.ReadBits(4);
  // level_idc: u(8)
  reader.ReadBits(8);
  // seq_parameter_set_id: ue(v)
  reader.ReadUnsignedExpGolomb();

  std::uint32_t chroma_array_type = 1;
  if (HasChromaFormatFields(profile_idc)) {
    chroma_array_type = ReadChromaFormatAndScalingMatrix(reader, parameters);
  }

  // log2_max_frame_num_minus4: ue(v)
  reader.ReadUnsignedExpGolomb();
  SkipPicOrderCount(reader);
  // max_num_ref_frames: ue(v)
  reader.ReadUnsignedExpGolomb();
  // gaps_in_frame_num_value_allowed_flag: u(1)
  reader.ReadBit();

  // pic_width_in_mbs_minus1: ue(v)
  const std::uint32_t pic_width_in_mbs_minus1 = reader.ReadUnsignedExpGolomb();
  // pic_height_in_map_units_minus1: ue(v)
  const std::uint32_t pic_height_in_map_units_minus1 = reader.ReadUnsignedExpGolomb();
  // frame_mbs_only_flag: u(1)
  const std::uint32_t frame_mbs_only_flag = reader.ReadBit();
  // A map unit is a macroblock pair when fields are possible. Values from a damaged SPS wrap
  // around in unsigned 32-bit arithmetic.
  const std::uint32_t rows_per_map_unit = 2 - frame_mbs_only_flag;
  parameters.width = (pic_width_in_mbs_minus1 + 1) * kMacroblockSize;
  parameters.height = (pic_height_in_map_units_minus1 + 1) * rows_per_map_unit * kMacroblockSize;

  if (frame_mbs_only_flag == 0) {
    // mb_adaptive_frame_field_flag: u(1)
    reader.ReadBit();
  }
  // direct_8x8_inference_flag: u(1)
  reader.ReadBit();

  // frame_cropping_flag: u(1)
  if (reader.ReadBit() != 0) {
    WindowOffsets crop;
    // frame_crop_left_offset, frame_crop_right_offset: ue(v) each
    crop.left = reader.ReadUnsignedExpGolomb();
    crop.right = reader.ReadUnsignedExpGolomb();
    // frame_crop_top_offset, frame_crop_bottom_offset: ue(v) each
    crop.top = reader.ReadUnsignedExpGolomb();
    crop.bottom = reader.ReadUnsignedExpGolomb();
    ApplyDisplayWindow(parameters, chroma_array_type, crop, rows_per_map_unit);
  }

  ReadVuiAspectRatio(reader, parameters);
  return parameters;
}

}  // namespace

SequenceParameters ParseH264Sps(const std::uint8_t* nal, std::size_t size) {
  // The syntax starts after the one-byte NAL unit header.
  const std::size_t header_size = size == 0 ? 0 : 1;
  BitReader reader(nal + header_size, size - header_size);
  return ParseSps(reader);
}

}  // namespace moraine
