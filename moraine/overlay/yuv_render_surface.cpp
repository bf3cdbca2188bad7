#include "moraine/overlay/yuv_render_surface.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "moraine/overlay/bitmap_font.h"

namespace moraine {
namespace {

std::uint8_t TruncateToByte(float value) {
  return static_cast<std::uint8_t>(static_cast<std::int32_t>(std::clamp(value, 0.0f, 255.0f)));
}

// The canvas's inks as picture colours, converted once for the whole run.
const YuvColour& InkColour(std::int32_t ink) {
  static const std::array<YuvColour, 3> colours = {
      RgbToYuv({0, 0, 0}), RgbToYuv({255, 255, 255}), RgbToYuv({255, 0, 0})};
  if (ink == kInkWhite || ink == kInkRed) return colours[static_cast<std::size_t>(ink)];
  return colours[kInkBlack];
}

}  // namespace

// Each product and sum is a statement of its own so that no compiler fuses a multiply and an add:
// one rounding less would move some colours across a truncation step.
YuvColour RgbToYuv(const RgbColour& colour) {
  const float red = colour.red;
  const float green = colour.green;
  const float blue = colour.blue;
  const float green_part = green * 0.587f;
  const float red_part = red * 0.299f;
  const float blue_part = blue * 0.114f;
  const float green_red = green_part + red_part;
  const float luma = green_red + blue_part;
  // The unclamped integer luma enters both chroma differences.
  const std::int32_t luma_integer = static_cast<std::int32_t>(luma);
  const float blue_difference = (blue - static_cast<float>(luma_integer)) * 0.565f;
  const float red_difference = (red - static_cast<float>(luma_integer)) * 0.713f;
  return YuvColour{static_cast<std::uint8_t>(std::clamp(luma_integer, 0, 255)),
                   TruncateToByte(blue_difference + 128.0f), TruncateToByte(red_difference + 128.0f)};
}

YUVRenderSurface::YUVRenderSurface(const FrameView& frame, std::int32_t width, std::int32_t height,
                                   bool interleaved_chroma)
    : frame_(frame), width_(width), height_(height), interleaved_chroma_(interleaved_chroma) {
  if (width <= 0 || height <= 0) return;  // every size stays 0: no pixel passes the bounds test
  luma_size_ = static_cast<std::int64_t>(width) * height;
  chroma_stride_ = width / 2;
  chroma_plane_size_ = chroma_stride_ * (height / 2);
}

void YUVRenderSurface::DrawText(Point point, std::string_view text, const RgbColour& /*colour*/,
                                std::int32_t /*option*/, std::int32_t /*layout_code_a*/,
                                std::int32_t /*layout_code_b*/) {
  const GlyphCanvas canvas = Canvas();
  const BitmapFont& font = BuiltInFont();
  const TextExtent extent = MeasureText(font, text);
  // The fill leaves out its far column and row, so the box covers x to x + width, y to y + height.
  FillCanvasRect(canvas, point.x, point.y, point.x + extent.width + 1, point.y + extent.height + 1, kInkBlack);
  RenderText(canvas, font, text, point.x, point.y, kInkWhite);
}

void YUVRenderSurface::DrawPolyline(std::span<const Point> points, const RgbColour& colour, std::int32_t /*width*/,
                                    std::int32_t /*line_option*/) {
  if (points.size() < 2) return;
  const YuvColour yuv = RgbToYuv(colour);
  for (std::size_t i = 1; i < points.size(); ++i) DrawLine(points[i - 1], points[i], yuv);
}

void YUVRenderSurface::DrawMarker(Point point, std::int32_t /*marker_code*/, std::int32_t /*layout_code_a*/,
                                  std::int32_t /*layout_code_b*/) {
  constexpr std::int64_t kMarkerSize = 8;
  const std::int64_t left = static_cast<std::int64_t>(point.x) + 1;
  const std::int64_t top = static_cast<std::int64_t>(point.y) + 1;
  FillCanvasRect(Canvas(), left, top, left + kMarkerSize, top + kMarkerSize, kInkRed);
}

void YUVRenderSurface::DrawPolygon(std::span<const Point> points, const RgbColour& line_colour,
                                   std::int32_t line_width, std::int32_t line_option,
                                   const RgbColour& /*secondary_colour*/, std::int32_t /*secondary_option*/) {
  DrawPolyline(points, line_colour, line_width, line_option);
}

void YUVRenderSurface::FillPolygon(std::span<const Point> /*points*/, std::int32_t /*fill_option*/,
                                   const RgbColour& /*fill_colour*/) {}

void YUVRenderSurface::DrawLine(Point from, Point to, const YuvColour& colour) {
  // 64-bit steps: the distance between two 32-bit coordinates does not fit in 32 bits.
  const std::int64_t step_x = to.x < from.x ? -1 : 1;
  const std::int64_t step_y = to.y >= from.y ? 1 : -1;
  const std::int64_t distance_x = std::abs(static_cast<std::int64_t>(to.x) - from.x);
  const std::int64_t distance_y = std::abs(static_cast<std::int64_t>(to.y) - from.y);
  const bool steep = distance_x < distance_y;
  const std::int64_t long_distance = steep ? distance_y : distance_x;
  const std::int64_t short_distance = steep ? distance_x : distance_y;
  std::int64_t error = long_distance / 2;
  std::int64_t x = from.x;
  std::int64_t y = from.y;
  for (std::int64_t step = 0; step <= long_distance; ++step) {
    // Every drawn pixel lies between the end points, so it fits in 32 bits.
    WritePixel(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), colour);
    error += short_distance;
    if (error >= long_distance) {
      if (steep) {
        x += step_x;
      } else {
        y += step_y;
      }
      error -= long_distance;
    }
    if (steep) {
      y += step_y;
    } else {
      x += step_x;
    }
  }
}

void YUVRenderSurface::WritePixel(std::int32_t x, std::int32_t y, const YuvColour& colour) {
  // Shifts of negative coordinates are arithmetic, as the recorder computes them.
  const std::int64_t chroma_row = y >> 1;
  const std::int64_t chroma_column = x >> 1;
  const std::int64_t luma = static_cast<std::int64_t>(width_) * y + x;
  std::int64_t u = 0;
  std::int64_t v = 0;
  if (interleaved_chroma_) {
    u = luma_size_ + width_ * chroma_row + 2 * chroma_column;
    v = u + 1;
  } else {
    v = luma_size_ + chroma_stride_ * chroma_row + chroma_column;
    u = v + chroma_plane_size_;
  }
  const std::int64_t length = frame_.length;
  const auto in_chroma = [&](std::int64_t index) { return index >= luma_size_ && index < length; };
  if (luma < 0 || luma >= luma_size_ || luma >= length || !in_chroma(u) || !in_chroma(v)) return;
  frame_.data[luma] = colour.y;
  frame_.data[v] = colour.v;
  frame_.data[u] = colour.u;
}

bool YUVRenderSurface::SinkPixel(void* context, std::int32_t x, std::int32_t y, std::int32_t ink,
                                 std::uint8_t /*character*/) {
  static_cast<YUVRenderSurface*>(context)->WritePixel(x, y, InkColour(ink));
  return true;
}

}  // namespace moraine
