#include "moraine/driver/encoded_frame_cutter.h"

#include <cstddef>
#include <optional>

#include "moraine/mp4/h264_nal_scanner.h"

namespace moraine {
namespace {

constexpr std::size_t kShortStartCodeSize = 3;
constexpr std::uint8_t kNalUnitTypeMask = 0x1F;

}  // namespace

std::vector<CutNalUnit> CutAccessUnit(std::span<const std::uint8_t> access_unit) {
  std::vector<CutNalUnit> units;
  std::size_t previous_end = 0;  // no start code may reach back before this
  std::size_t from = 0;
  while (const std::optional<NalUnitSpan> unit = FindNextNalUnit(access_unit.data(), access_unit.size(), from)) {
    from = unit->next;
    if (unit->end <= unit->begin) continue;  // a start code with nothing behind it
    std::size_t start_code = unit->begin - kShortStartCodeSize;
    // One zero byte in front of 00 00 01 makes it a four-byte start code.
    if (start_code > previous_end && access_unit[start_code - 1] == 0x00) --start_code;
    units.push_back({access_unit.subspan(start_code, unit->end - start_code),
                     static_cast<std::uint8_t>(access_unit[unit->begin] & kNalUnitTypeMask)});
    previous_end = unit->end;
  }
  return units;
}

}  // namespace moraine
