#pragma once

// The privacy path's work image: a 24-bit bitmap file in memory, a 54-byte header (file header,
// then the 40-byte information header at offset 14, height negative for rows stored from the top)
// followed by width × height B, G, R pixels, 3 × width bytes a row. It keeps its own size, so
// nobody converts a picture into an image made for another one.

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace moraine {

class WorkImage {
 public:
  static constexpr std::int64_t kHeaderBytes = 54;
  static constexpr std::int64_t kInfoHeaderOffset = 14;

  // Makes the image width × height, zero-filled with its header written, unless it already has that
  // size. False, with no image left, when a side is below 1, when the image would not fit the
  // header's 32-bit sizes, or when memory runs out.
  bool Prepare(std::int32_t width, std::int32_t height);
  void Free();

  bool Matches(std::int32_t width, std::int32_t height) const {
    return bytes_ != nullptr && width == width_ && height == height_;
  }
  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  // Header and pixels; 0 without an image.
  std::int64_t length() const { return length_; }
  std::int64_t pixel_bytes() const { return length_ == 0 ? 0 : length_ - kHeaderBytes; }

  // Null without an image.
  std::uint8_t* data() { return bytes_.get(); }
  std::uint8_t* info_header() { return bytes_ ? bytes_.get() + kInfoHeaderOffset : nullptr; }
  std::uint8_t* pixels() { return bytes_ ? bytes_.get() + kHeaderBytes : nullptr; }

 private:
  // From calloc: large zero-filled blocks come straight from the system without a pass over them.
  struct Release {
    void operator()(std::uint8_t* bytes) const { std::free(bytes); }
  };
  std::unique_ptr<std::uint8_t[], Release> bytes_;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::int64_t length_ = 0;
};

}  // namespace moraine
