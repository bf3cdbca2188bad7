#include "bitstream/encoded_frame_cutter.h"

#include <cstddef>
#include <optional>

#include "bitstream/nal_units.h"

namespace moraine {

std::vector<CutNalUnit> CutAccessUnit(std::span<const std::uint8_t> access_unit) {
  std::vector<CutNalUnit> units;
  std::size_t from = 0;
  while (const std::optional<NalUnit> unit = NextNalUnit(access_unit, from)) {
    from = unit->payload_offset + unit->size;
    const std::span<const std::uint8_t> payload = PayloadWithoutTrailingZeros(access_unit, *unit);
    if (payload.empty()) continue;  // a start code with nothing behind it
    const std::size_t end = unit->payload_offset + payload.size();
    units.push_back({access_unit.subspan(unit->start_code_offset, end - unit->start_code_offset),
                     static_cast<std::uint8_t>(NalUnitType(VideoCodec::kH264, payload))});
  }
  return units;
}

}  // namespace moraine
