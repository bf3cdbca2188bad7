#include "moraine/driver/mosaic.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace moraine {
namespace {

constexpr std::int32_t kBlockGranularity = 4;
constexpr std::size_t kBytesPerPixel = 3;

// Repeats the `pattern_bytes` bytes at `to` until `total_bytes` are filled, doubling the copied
// run each time.
void Replicate(std::uint8_t* to, std::size_t pattern_bytes, std::size_t total_bytes) {
  std::size_t filled = pattern_bytes;
  while (filled < total_bytes) {
    const std::size_t run = std::min(filled, total_bytes - filled);
    std::memcpy(to + filled, to, run);
    filled += run;
  }
}

}  // namespace

std::int32_t MosaicBlockSize(std::int32_t level, std::int32_t width, std::int32_t height) {
  const std::int32_t rounded = std::max(level / kBlockGranularity * kBlockGranularity, kBlockGranularity);
  return std::min({rounded, width, height});
}

void ApplyMosaic(std::uint8_t* pixels, std::int32_t width, std::int32_t height, std::int32_t level) {
  if (width < 1 || height < 1) return;
  const auto block = static_cast<std::size_t>(MosaicBlockSize(level, width, height));
  const auto w = static_cast<std::size_t>(width);
  const auto h = static_cast<std::size_t>(height);
  const std::size_t stride = kBytesPerPixel * w;
  const std::size_t covered_rows = h / block * block;
  const std::size_t covered_columns = w / block * block;
  const std::size_t block_bytes = kBytesPerPixel * block;

  for (std::size_t band = 0; band < covered_rows; band += block) {
    std::uint8_t* row = pixels + band * stride;
    for (std::size_t column = 0; column < covered_columns; column += block) {
      Replicate(row + kBytesPerPixel * column, kBytesPerPixel, block_bytes);
    }
    // The columns right of the whole blocks take the colour of the last one.
    const std::size_t last_block = kBytesPerPixel * (covered_columns - block);
    for (std::size_t column = covered_columns; column < w; ++column) {
      std::memcpy(row + kBytesPerPixel * column, row + last_block, kBytesPerPixel);
    }
    for (std::size_t copy = band + 1; copy < band + block; ++copy) std::memcpy(pixels + copy * stride, row, stride);
  }
  for (std::size_t copy = covered_rows; copy < h; ++copy) {
    std::memcpy(pixels + copy * stride, pixels + (covered_rows - 1) * stride, stride);
  }
}

}  // namespace moraine
