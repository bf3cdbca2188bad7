#include "moraine/privacy/work_image.h"

#include <cstring>
#include <limits>

namespace moraine {
namespace {

constexpr std::int64_t kBytesPerPixel = 3;
constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr std::uint16_t kPlanes = 1;
constexpr std::uint16_t kBitsPerPixel = 24;
constexpr std::uint32_t kNoCompression = 0;

// The information header starts at an odd multiple of two: fields go in through memcpy, never
// through a cast pointer.
template <typename Field>
void Put(std::uint8_t* image, std::size_t offset, Field value) {
  std::memcpy(image + offset, &value, sizeof value);
}

}  // namespace

bool WorkImage::Prepare(std::int32_t width, std::int32_t height) {
  if (Matches(width, height)) return true;
  Free();
  if (width < 1 || height < 1) return false;
  const std::int64_t pixel_bytes = std::int64_t{width} * height * kBytesPerPixel;
  const std::int64_t length = pixel_bytes + kHeaderBytes;
  // The module takes the pixel count as a signed 32-bit number.
  if (length > std::numeric_limits<std::int32_t>::max()) return false;
  bytes_.reset(static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(length), 1)));
  if (!bytes_) return false;
  width_ = width;
  height_ = height;
  length_ = length;

  std::uint8_t* image = bytes_.get();
  image[0] = 'B';
  image[1] = 'M';
  Put(image, 2, static_cast<std::uint32_t>(length));
  Put(image, 6, std::uint32_t{0});
  Put(image, 10, static_cast<std::uint32_t>(kHeaderBytes));
  Put(image, 14, kInfoHeaderBytes);
  Put(image, 18, width);
  Put(image, 22, -height);  // rows stored from the top
  Put(image, 26, kPlanes);
  Put(image, 28, kBitsPerPixel);
  Put(image, 30, kNoCompression);
  Put(image, 34, static_cast<std::uint32_t>(pixel_bytes));
  // Bytes 38 to 53 (resolution and palette counts) stay zero.
  return true;
}

void WorkImage::Free() {
  bytes_.reset();
  width_ = 0;
  height_ = 0;
  length_ = 0;
}

}  // namespace moraine
