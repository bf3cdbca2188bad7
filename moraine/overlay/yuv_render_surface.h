#pragma once

// Drawing straight into a decoded YUV 4:2:0 picture: one-pixel lines, red marker squares and
// white-on-black text. Every pixel a primitive touches is overwritten, luma and chroma together.

#include <cstdint>
#include <span>
#include <string_view>

#include "moraine/overlay/drawing_types.h"
#include "moraine/overlay/glyph_canvas.h"
#include "moraine/overlay/render_surface.h"

namespace moraine {

// The recorder's colour conversion, in single precision with truncation toward zero.
YuvColour RgbToYuv(const RgbColour& colour);

class YUVRenderSurface final : public RenderSurface {
 public:
  // Draws into the buffer `frame` points at (not owned; must outlive the surface), holding a
  // width x height picture: the Y plane, then NV12 chroma (U,V pairs) when interleaved_chroma, else
  // a V plane and a U plane of (width / 2) x (height / 2). A picture without pixels draws nothing.
  YUVRenderSurface(const FrameView& frame, std::int32_t width, std::int32_t height, bool interleaved_chroma);

  // White glyphs on a black box one column and one row larger than the measured text; the colour,
  // option and layout codes are not read.
  void DrawText(Point point, std::string_view text, const RgbColour& colour, std::int32_t option,
                std::int32_t layout_code_a, std::int32_t layout_code_b) override;
  // One-pixel lines from each point to the next; the line is not closed. Fewer than two points draw
  // nothing. Width and line option are not read.
  void DrawPolyline(std::span<const Point> points, const RgbColour& colour, std::int32_t width,
                    std::int32_t line_option) override;
  // A red 8 x 8 square whose top-left pixel is (x + 1, y + 1), clamped like every canvas fill.
  // The codes are not read.
  void DrawMarker(Point point, std::int32_t marker_code, std::int32_t layout_code_a,
                  std::int32_t layout_code_b) override;
  // The same open line as DrawPolyline in the line colour; the other arguments are not read.
  void DrawPolygon(std::span<const Point> points, const RgbColour& line_colour, std::int32_t line_width,
                   std::int32_t line_option, const RgbColour& secondary_colour,
                   std::int32_t secondary_option) override;
  // Draws nothing: the recorder's pictures show outlines only.
  void FillPolygon(std::span<const Point> points, std::int32_t fill_option, const RgbColour& fill_colour) override;

  // A one-pixel line with both end points; a zero-length line is one pixel.
  void DrawLine(Point from, Point to, const YuvColour& colour);
  // Overwrites the Y, V and U bytes of pixel (x, y). The coordinates are not checked against the
  // picture: an x beyond the right edge lands in the following row. The pixel is skipped whole
  // unless its Y byte lies in the Y plane and its chroma bytes lie after it inside the buffer.
  void WritePixel(std::int32_t x, std::int32_t y, const YuvColour& colour);

 private:
  static bool SinkPixel(void* context, std::int32_t x, std::int32_t y, std::int32_t ink, std::uint8_t character);
  GlyphCanvas Canvas() { return GlyphCanvas{width_, height_, &SinkPixel, this}; }

  FrameView frame_;
  // Sizes in bytes, 64 bits wide so that no index computed from them wraps.
  std::int64_t luma_size_ = 0;
  std::int64_t chroma_plane_size_ = 0;
  std::int64_t chroma_stride_ = 0;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  bool interleaved_chroma_ = true;
};

}  // namespace moraine
