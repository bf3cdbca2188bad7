#include "moraine/overlay/bitmap_font.h"

#include <string_view>

#include "moraine/overlay/bitmap_font_glyphs.h"

namespace moraine {
namespace {

constexpr bool IsWellFormed(const GlyphDrawing& glyph) {
  if (glyph.code == 0) return false;  // a code of 0 ends the records
  if (glyph.height == 0) {
    for (const std::string_view& row : glyph.rows) {
      if (!row.empty()) return false;
    }
    return true;
  }
  if (glyph.height != kVisibleGlyphHeight) return false;
  for (const std::string_view& row : glyph.rows) {
    if (!row.empty() && row.size() != glyph.width) return false;
    for (char pixel : row) {
      if (pixel != '.' && pixel != '#') return false;
    }
  }
  return true;
}

constexpr bool AllWellFormed() {
  for (const GlyphDrawing& glyph : kGlyphDrawings) {
    if (!IsWellFormed(glyph)) return false;
  }
  return true;
}
static_assert(AllWellFormed(), "every glyph row must be `width` pixels of '.' and '#'");

constexpr std::size_t PackedFontSize() {
  std::size_t size = 1;  // the terminating code byte
  for (const GlyphDrawing& glyph : kGlyphDrawings) size += GlyphRecordSize(glyph.width, glyph.height);
  return size;
}

constexpr bool InkAt(const GlyphDrawing& glyph, std::size_t column, std::size_t row) {
  return row < glyph.rows.size() && column < glyph.rows[row].size() && glyph.rows[row][column] == '#';
}

// Packed at compile time, so the program carries the records exactly as the recorder stores them.
constexpr std::array<std::uint8_t, PackedFontSize()> PackFont() {
  std::array<std::uint8_t, PackedFontSize()> packed{};
  std::size_t at = 0;
  for (const GlyphDrawing& glyph : kGlyphDrawings) {
    packed[at] = glyph.code;
    packed[at + 1] = glyph.width;
    packed[at + 2] = glyph.height;
    std::size_t bit = 0;
    for (std::size_t row = 0; row < glyph.height; ++row) {
      for (std::size_t column = 0; column < glyph.width; ++column, ++bit) {
        if (InkAt(glyph, column, row)) packed[at + 3 + bit / 8] |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
      }
    }
    at += GlyphRecordSize(glyph.width, glyph.height);
  }
  packed[at] = 0;
  return packed;
}

constexpr std::array<std::uint8_t, PackedFontSize()> kPackedFont = PackFont();

}  // namespace

bool GlyphRecord::Ink(std::int32_t column, std::int32_t row) const {
  const std::size_t bit = static_cast<std::size_t>(row) * static_cast<std::size_t>(width()) +
                          static_cast<std::size_t>(column);
  return ((record_[3 + bit / 8] >> (7 - bit % 8)) & 1) != 0;
}

std::span<const std::uint8_t> GlyphRecord::bytes() const {
  if (record_ == nullptr) return {};
  return {record_, GlyphRecordSize(record_[1], record_[2])};
}

BitmapFont::BitmapFont(std::span<const std::uint8_t> records) {
  std::size_t at = 0;
  while (at + 3 <= records.size() && records[at] != 0) {
    const std::size_t size = GlyphRecordSize(records[at + 1], records[at + 2]);
    if (size > records.size() - at) break;
    const GlyphRecord glyph(records.data() + at);
    if (at == 0) table_.fill(glyph);
    table_[glyph.code()] = glyph;
    at += size;
  }
}

std::span<const std::uint8_t> BuiltInFontRecords() { return kPackedFont; }

const BitmapFont& BuiltInFont() {
  static const BitmapFont font(kPackedFont);
  return font;
}

}  // namespace moraine
