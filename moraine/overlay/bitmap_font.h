#pragma once

// The overlay's bitmap font: glyph records packed the way the recorder stores them, and the table
// that finds the record of every byte value.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace moraine {

// Bytes of one packed glyph record: code, width, height, then the width x height pixels.
constexpr std::size_t GlyphRecordSize(std::uint8_t width, std::uint8_t height) {
  return 3 + (static_cast<std::size_t>(width) * height + 7) / 8;
}

// A view of one packed record (not owned). Its pixels are one continuous bit stream, row by row,
// most significant bit first, with no padding at row ends. A default record has no pixels.
class GlyphRecord {
 public:
  GlyphRecord() = default;
  explicit GlyphRecord(const std::uint8_t* record) : record_(record) {}

  std::uint8_t code() const { return record_ == nullptr ? 0 : record_[0]; }
  std::int32_t width() const { return record_ == nullptr ? 0 : record_[1]; }
  std::int32_t height() const { return record_ == nullptr ? 0 : record_[2]; }
  // Whether the pixel at `column` < width, `row` < height carries ink.
  bool Ink(std::int32_t column, std::int32_t row) const;
  // The whole record, code byte included.
  std::span<const std::uint8_t> bytes() const;

 private:
  const std::uint8_t* record_ = nullptr;
};

class BitmapFont {
 public:
  // Indexes `records` (not owned; must outlive the font): records back to back, ending with a code
  // byte 0 or a record cut short. Every byte value first gets the first record, then each record
  // claims its own code, so a character without a record draws as the first one.
  explicit BitmapFont(std::span<const std::uint8_t> records);

  const GlyphRecord& Glyph(std::uint8_t character) const { return table_[character]; }

 private:
  std::array<GlyphRecord, 256> table_{};
};

// The packed records of the built-in font, terminating code byte included.
std::span<const std::uint8_t> BuiltInFontRecords();

// The built-in font, indexed on first use and shared from then on.
const BitmapFont& BuiltInFont();

}  // namespace moraine
