#pragma once

// Builds the short info payloads selected by their first letter: the codec descriptor 'c', the
// privacy switches 'B' and the analytic records 'M' motion, 'L' loitering, 'F' fire and 'P'
// perimeter (object 'O' and alarm 'A'). Every analytic record carries the size of the picture
// the analytics ran on.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "tools/cairn/analytic_geometry.h"

namespace moraine::cairn {

// A position in thousandths of the source picture's width and height (0-999 each).
struct Thousandths {
  int x = 0;
  int y = 0;
};

struct SourceSize {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
};

// 13 bytes. Object numbers run from 1 to 16; both corners are clamped into 0-999.
std::vector<std::uint8_t> MotionPayload(int object_number, Thousandths top_left, Thousandths bottom_right,
                                        SourceSize source);

// 20 bytes: object number, active flag, rectangle in grid units and the loitering value.
std::vector<std::uint8_t> LoiteringPayload(std::uint8_t object_number, bool active, GridRect rect,
                                           std::uint16_t value, SourceSize source);

// 20 bytes: object number (below 20), fire state and detail, rectangle in grid units.
std::vector<std::uint8_t> FirePayload(std::uint8_t object_number, std::uint16_t fire_state,
                                      std::uint16_t fire_detail, GridRect rect, SourceSize source);

// 23 bytes, sub-form 'O': a perimeter object's rectangle and trace point in grid units.
std::vector<std::uint8_t> PerimeterObjectPayload(std::uint16_t object_number, GridRect rect, GridPoint trace,
                                                 SourceSize source);

// 23 bytes, sub-form 'A': a perimeter alarm, on or off.
std::vector<std::uint8_t> PerimeterAlarmPayload(std::uint16_t object_number, bool active, SourceSize source);

inline constexpr std::size_t kCodecDescriptorSize = 5;

// "c" + the codec number right-aligned in 4 characters ("c  10"), which the reader's atoi rules
// read back. Numbers that do not fit (below -999 or above 9999) give nullopt.
std::optional<std::array<std::uint8_t, kCodecDescriptorSize>> CodecDescriptorPayload(int codec_number);

// 3 bytes: 'B' and the two privacy switches.
std::vector<std::uint8_t> PrivacySwitchesPayload(bool switch_one, bool switch_two);

}  // namespace moraine::cairn
