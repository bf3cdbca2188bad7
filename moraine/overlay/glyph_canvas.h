#pragma once

// The one-bit canvas that text and marker squares are drawn on. It holds no pixels of its own:
// every pixel it sets goes straight to its sink, which draws it into the picture.

#include <cstdint>
#include <string_view>

#include "moraine/overlay/bitmap_font.h"

namespace moraine {

// Ink codes of the canvas; a sink draws any other code black.
inline constexpr std::int32_t kInkBlack = 0;
inline constexpr std::int32_t kInkWhite = 1;
inline constexpr std::int32_t kInkRed = 2;

// Receives every pixel the canvas sets, with the character being drawn (0 for fills). Returning
// false stops the fill, or the glyph, under way.
using PixelSink = bool (*)(void* context, std::int32_t x, std::int32_t y, std::int32_t ink,
                           std::uint8_t character);

// A canvas of the picture's size. The sink's context belongs to the caller.
struct GlyphCanvas {
  std::int32_t width = 0;
  std::int32_t height = 0;
  PixelSink sink = nullptr;
  void* context = nullptr;
};

// Sets the rectangle between the two corners (in any order) after clamping them into the canvas,
// without the far column and row: a fill never reaches the canvas's last column or last row. A
// canvas without pixels draws nothing.
void FillCanvasRect(const GlyphCanvas& canvas, std::int64_t x0, std::int64_t y0, std::int64_t x1,
                    std::int64_t y1, std::int32_t ink);

struct TextExtent {
  std::int64_t width = 0;
  std::int64_t height = 0;
  friend bool operator==(const TextExtent&, const TextExtent&) = default;
};

// The space text takes: the widest line (glyph widths plus 2 between neighbouring glyphs) and the
// sum of line heights. A line feed starts a new line; a carriage return starts the line again and
// its height no longer counts. Spaces and tabs have no height.
TextExtent MeasureText(const BitmapFont& font, std::string_view text);

// Draws the text's glyphs with `ink`, the first line's top-left at (x, y). A carriage return takes
// the pen back to x; a line feed also moves it down by the tallest glyph of the line plus one row.
// A glyph is drawn only when it lies wholly inside the canvas with its right and bottom edges short
// of the canvas's; otherwise it is skipped, never clipped.
void RenderText(const GlyphCanvas& canvas, const BitmapFont& font, std::string_view text, std::int64_t x,
                std::int64_t y, std::int32_t ink);

}  // namespace moraine
