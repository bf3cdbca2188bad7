#include "moraine/driver/parameter_sets/vui_aspect_ratio.h"

#include <array>

namespace moraine {

namespace {

struct SampleAspectRatio {
  std::uint32_t width;
  std::uint32_t height;
};

constexpr std::uint32_t kExtendedSar = 255;

// Sample aspect ratios of aspect_ratio_idc 1 to 16, the same table in H.264 and HEVC.
constexpr std::array<SampleAspectRatio, 16> kTableRatios = {{
    {1, 1},
    {12, 11},
    {10, 11},
    {16, 11},
    {40, 33},
    {24, 11},
    {20, 11},
    {32, 11},
    {80, 33},
    {18, 11},
    {15, 11},
    {64, 33},
    {160, 99},
    {4, 3},
    {3, 2},
    {2, 1},
}};

}  // namespace

void ReadVuiAspectRatio(BitReader& reader, SequenceParameters& parameters) {
  parameters.aspect_width = 1;
  parameters.aspect_height = 1;
  // vui_parameters_present_flag: u(1)
  if (reader.ReadBit() == 0) {
    return;
  }
  // aspect_ratio_info_present_flag: u(1)
  if (reader.ReadBit() == 0) {
    return;
  }
  // aspect_ratio_idc: u(8)
  const std::uint32_t aspect_ratio_idc = reader.ReadBits(8);
  if (aspect_ratio_idc == kExtendedSar) {
    // sar_width: u(16)
    const std::uint32_t sar_width = reader.ReadBits(16);
    // sar_height: u(16)
    const std::uint32_t sar_height = reader.ReadBits(16);
    // A zero term means "unspecified"; passing it on would invite a division by zero.
    if (sar_width != 0 && sar_height != 0) {
      parameters.aspect_width = sar_width;
      parameters.aspect_height = sar_height;
    }
  } else if (aspect_ratio_idc >= 1 && aspect_ratio_idc <= kTableRatios.size()) {
    const SampleAspectRatio& ratio = kTableRatios[aspect_ratio_idc - 1];
    parameters.aspect_width = ratio.width;
    parameters.aspect_height = ratio.height;
  }
}

}  // namespace moraine
