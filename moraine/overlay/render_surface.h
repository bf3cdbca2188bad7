#pragma once

// The drawing target of the overlay. The overlay hands over every argument that the recorder's
// analytics give for a primitive; an implementation reads those it supports and ignores the rest.

#include <cstdint>
#include <span>
#include <string_view>

#include "moraine/overlay/drawing_types.h"

namespace moraine {

class RenderSurface {
 public:
  virtual ~RenderSurface() = default;

  // A text label whose top-left corner is `point`; the text is a byte string, not terminated.
  virtual void DrawText(Point point, std::string_view text, const RgbColour& colour, std::int32_t option,
                        std::int32_t layout_code_a, std::int32_t layout_code_b) = 0;
  // An open line through `points` in order.
  virtual void DrawPolyline(std::span<const Point> points, const RgbColour& colour, std::int32_t width,
                            std::int32_t line_option) = 0;
  // A marker at `point`.
  virtual void DrawMarker(Point point, std::int32_t marker_code, std::int32_t layout_code_a,
                          std::int32_t layout_code_b) = 0;
  // The outline of an object through `points`.
  virtual void DrawPolygon(std::span<const Point> points, const RgbColour& line_colour, std::int32_t line_width,
                           std::int32_t line_option, const RgbColour& secondary_colour,
                           std::int32_t secondary_option) = 0;
  // The inside of an object's outline.
  virtual void FillPolygon(std::span<const Point> points, std::int32_t fill_option, const RgbColour& fill_colour) = 0;

  // The inclusive rectangle outline (right column and bottom row drawn too), through DrawPolyline
  // with the five points from (left, top) round to (left, top) again, width 1 and line option 0.
  void DrawRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom, const RgbColour& colour);
};

}  // namespace moraine
