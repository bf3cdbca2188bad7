#include "bitstream/sequence_parameters.h"

#include <optional>
#include <span>

#include "bitstream/nal_units.h"
#include "bitstream/sequence_parameter_set.h"

namespace moraine {
namespace {

SequenceParameters Displayed(const std::optional<SequenceInfo>& info) {
  SequenceParameters parameters;
  if (!info) return parameters;
  // The parser accepts only crops that leave a picture.
  parameters.width = info->coded_width - info->crop_left - info->crop_right;
  parameters.height = info->coded_height - info->crop_top - info->crop_bottom;
  // A zero term means "unspecified"; passing it on would invite a division by zero.
  if (info->sar_width != 0 && info->sar_height != 0) {
    parameters.aspect_width = info->sar_width;
    parameters.aspect_height = info->sar_height;
  }
  parameters.chroma_format_idc = info->chroma_format_idc;
  parameters.bit_depth_luma_minus8 = info->bit_depth_luma - 8;
  parameters.bit_depth_chroma_minus8 = info->bit_depth_chroma - 8;
  return parameters;
}

}  // namespace

SequenceParameters ParseH264Sps(const std::uint8_t* nal, std::size_t size) {
  return Displayed(ParseSequenceParameterSet(VideoCodec::kH264, {nal, size}));
}

SequenceParameters ParseHevcSps(const std::uint8_t* nal, std::size_t size,
                                const SequenceParameters& previous) {
  const std::span<const std::uint8_t> unit(nal, size);
  if (!IsSequenceParameterSet(VideoCodec::kHevc, NalUnitType(VideoCodec::kHevc, unit))) {
    SequenceParameters kept = previous;
    kept.aspect_width = 1;
    kept.aspect_height = 1;
    return kept;
  }
  return Displayed(ParseSequenceParameterSet(VideoCodec::kHevc, unit));
}

}  // namespace moraine
