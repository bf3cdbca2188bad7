#pragma once

// The overlay's drawing types: points in frame pixels, colours, and the frame buffer drawn into.

#include <cstdint>

namespace moraine {

// A pixel position in the frame: origin top-left, y growing downward. Analytic-grid coordinates
// (352 x 288) use the same type before they are mapped onto the frame.
struct Point {
  std::int32_t x = 0;
  std::int32_t y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct RgbColour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const RgbColour&, const RgbColour&) = default;
};

struct YuvColour {
  std::uint8_t y = 0;
  std::uint8_t u = 0;  // Cb
  std::uint8_t v = 0;  // Cr
  friend bool operator==(const YuvColour&, const YuvColour&) = default;
};

// The buffer a surface draws into; the surface does not own it. A length of 0 draws nothing.
struct FrameView {
  std::uint8_t* data = nullptr;
  std::uint32_t length = 0;
};

}  // namespace moraine
