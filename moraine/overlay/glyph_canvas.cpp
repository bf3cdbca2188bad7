#include "moraine/overlay/glyph_canvas.h"

#include <algorithm>

namespace moraine {
namespace {

constexpr char kLineFeed = '\n';
constexpr char kCarriageReturn = '\r';
constexpr std::int64_t kGlyphGap = 2;

bool HasPixels(const GlyphCanvas& canvas) { return canvas.width > 0 && canvas.height > 0; }

const GlyphRecord& GlyphOf(const BitmapFont& font, char character) {
  return font.Glyph(static_cast<std::uint8_t>(character));
}

bool FitsWhole(const GlyphCanvas& canvas, const GlyphRecord& glyph, std::int64_t x, std::int64_t y) {
  return x >= 0 && x + glyph.width() < canvas.width && y >= 0 && y + glyph.height() < canvas.height;
}

void DrawGlyph(const GlyphCanvas& canvas, const GlyphRecord& glyph, std::int32_t x, std::int32_t y,
               std::int32_t ink) {
  for (std::int32_t row = 0; row < glyph.height(); ++row) {
    for (std::int32_t column = 0; column < glyph.width(); ++column) {
      if (!glyph.Ink(column, row)) continue;
      if (!canvas.sink(canvas.context, x + column, y + row, ink, glyph.code())) return;
    }
  }
}

}  // namespace

void FillCanvasRect(const GlyphCanvas& canvas, std::int64_t x0, std::int64_t y0, std::int64_t x1,
                    std::int64_t y1, std::int32_t ink) {
  if (!HasPixels(canvas)) return;
  const std::int64_t last_column = canvas.width - 1;
  const std::int64_t last_row = canvas.height - 1;
  const std::int64_t left = std::clamp<std::int64_t>(std::min(x0, x1), 0, last_column);
  const std::int64_t right = std::clamp<std::int64_t>(std::max(x0, x1), 0, last_column);
  const std::int64_t top = std::clamp<std::int64_t>(std::min(y0, y1), 0, last_row);
  const std::int64_t bottom = std::clamp<std::int64_t>(std::max(y0, y1), 0, last_row);
  // The far edges are left out after clamping: stored recordings show boxes and markers that stop
  // one short of the picture's last column and row.
  for (std::int64_t row = top; row < bottom; ++row) {
    for (std::int64_t column = left; column < right; ++column) {
      if (!canvas.sink(canvas.context, static_cast<std::int32_t>(column), static_cast<std::int32_t>(row), ink,
                       0)) {
        return;
      }
    }
  }
}

TextExtent MeasureText(const BitmapFont& font, std::string_view text) {
  TextExtent extent;
  std::int64_t line_width = 0;
  std::int64_t line_height = 0;
  bool line_has_glyph = false;
  for (char character : text) {
    if (character == kLineFeed || character == kCarriageReturn) {
      extent.width = std::max(extent.width, line_width);
      // A carriage return starts the line over, so the height of what it ends is not counted.
      if (character == kLineFeed) extent.height += line_height;
      line_width = 0;
      line_height = 0;
      line_has_glyph = false;
      continue;
    }
    const GlyphRecord& glyph = GlyphOf(font, character);
    line_width += glyph.width() + (line_has_glyph ? kGlyphGap : 0);
    line_height = std::max<std::int64_t>(line_height, glyph.height());
    line_has_glyph = true;
  }
  extent.width = std::max(extent.width, line_width);
  extent.height += line_height;
  return extent;
}

void RenderText(const GlyphCanvas& canvas, const BitmapFont& font, std::string_view text, std::int64_t x,
                std::int64_t y, std::int32_t ink) {
  std::int64_t pen_x = x;
  std::int64_t pen_y = y;
  std::int64_t line_height = 0;
  for (char character : text) {
    if (character == kCarriageReturn) {
      pen_x = x;
      continue;
    }
    if (character == kLineFeed) {
      // One row more than the line's height: multi-line text runs one row past its measured box
      // per line, as the recorder draws it.
      pen_x = x;
      pen_y += line_height + 1;
      line_height = 0;
      continue;
    }
    const GlyphRecord& glyph = GlyphOf(font, character);
    if (glyph.width() > 0 && glyph.height() > 0 && FitsWhole(canvas, glyph, pen_x, pen_y)) {
      DrawGlyph(canvas, glyph, static_cast<std::int32_t>(pen_x), static_cast<std::int32_t>(pen_y), ink);
    }
    pen_x += glyph.width() + kGlyphGap;
    line_height = std::max<std::int64_t>(line_height, glyph.height());
  }
}

}  // namespace moraine
