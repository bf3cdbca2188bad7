#pragma once

// Coordinates of analytic payloads: the fixed 352 x 288 analytic grid, and colours.

#include <cstdint>

namespace moraine::cairn {

inline constexpr int kAnalyticGridWidth = 352;
inline constexpr int kAnalyticGridHeight = 288;

struct GridPoint {
  int x = 0;
  int y = 0;
};

struct GridRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};

}  // namespace moraine::cairn
