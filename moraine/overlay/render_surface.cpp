#include "moraine/overlay/render_surface.h"

#include <array>

namespace moraine {

void RenderSurface::DrawRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom,
                             const RgbColour& colour) {
  const std::array<Point, 5> corners = {
      Point{left, top}, Point{right, top}, Point{right, bottom}, Point{left, bottom}, Point{left, top}};
  DrawPolyline(corners, colour, /*width=*/1, /*line_option=*/0);
}

}  // namespace moraine
