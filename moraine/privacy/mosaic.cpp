#include "moraine/privacy/mosaic.h"

#include <algorithm>
#include <cstring>

namespace moraine {
namespace {

constexpr std::int32_t kBlockGranularity = 4;
constexpr std::int32_t kCoarseBlocksPerSide = 20;
constexpr std::size_t kBgrPixelBytes = 3;
constexpr std::size_t kChromaPairBytes = 2;

// A plane of pixels of `pixel_bytes` bytes each, `stride` bytes from one row to the next.
struct Plane {
  std::uint8_t* pixels;
  std::size_t width;
  std::size_t height;
  std::size_t stride;
  std::size_t pixel_bytes;
};

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

// `block` is at least 1 and at most the plane's smaller side.
void MosaicPlane(const Plane& plane, std::size_t block) {
  const std::size_t row_bytes = plane.pixel_bytes * plane.width;
  const std::size_t covered_rows = plane.height / block * block;
  const std::size_t covered_columns = plane.width / block * block;
  const std::size_t block_bytes = plane.pixel_bytes * block;

  for (std::size_t band = 0; band < covered_rows; band += block) {
    std::uint8_t* row = plane.pixels + band * plane.stride;
    for (std::size_t column = 0; column < covered_columns; column += block) {
      Replicate(row + plane.pixel_bytes * column, plane.pixel_bytes, block_bytes);
    }
    // The columns right of the whole blocks take the colour of the last one.
    const std::size_t last_block = plane.pixel_bytes * (covered_columns - block);
    for (std::size_t column = covered_columns; column < plane.width; ++column) {
      std::memcpy(row + plane.pixel_bytes * column, row + last_block, plane.pixel_bytes);
    }
    for (std::size_t copy = band + 1; copy < band + block; ++copy) {
      std::memcpy(plane.pixels + copy * plane.stride, row, row_bytes);
    }
  }
  for (std::size_t copy = covered_rows; copy < plane.height; ++copy) {
    std::memcpy(plane.pixels + copy * plane.stride, plane.pixels + (covered_rows - 1) * plane.stride, row_bytes);
  }
}

}  // namespace

std::int32_t MosaicBlockSize(std::int32_t level, std::int32_t width, std::int32_t height) {
  const std::int32_t rounded = std::max(level / kBlockGranularity * kBlockGranularity, kBlockGranularity);
  return std::min({rounded, width, height});
}

void ApplyMosaic(std::uint8_t* pixels, std::int32_t width, std::int32_t height, std::int32_t level) {
  if (width < 1 || height < 1) return;
  const auto w = static_cast<std::size_t>(width);
  MosaicPlane({pixels, w, static_cast<std::size_t>(height), kBgrPixelBytes * w, kBgrPixelBytes},
              static_cast<std::size_t>(MosaicBlockSize(level, width, height)));
}

std::int32_t CoarseMosaicBlockSize(std::int32_t level, std::int32_t width, std::int32_t height) {
  const std::int32_t smaller_side = std::min(width, height);
  const std::int32_t twentieth = (smaller_side / kCoarseBlocksPerSide + kBlockGranularity - 1) /
                                 kBlockGranularity * kBlockGranularity;
  return std::min(std::max(twentieth, MosaicBlockSize(level, width, height)), smaller_side);
}

void ApplyCoarseNv12Mosaic(std::uint8_t* picture, std::int32_t width, std::int32_t height, std::int32_t level) {
  if (width < 1 || height < 1) return;
  const auto w = static_cast<std::size_t>(width);
  const auto h = static_cast<std::size_t>(height);
  const auto block = static_cast<std::size_t>(CoarseMosaicBlockSize(level, width, height));
  MosaicPlane({picture, w, h, w, 1}, block);
  // One U, V pair for each complete 2 × 2 block of luma; a picture without any has no chroma to hide.
  const Plane chroma{picture + w * h, w / 2, h / 2, w, kChromaPairBytes};
  if (chroma.width == 0 || chroma.height == 0) return;
  MosaicPlane(chroma, std::clamp<std::size_t>(block / 2, 1, std::min(chroma.width, chroma.height)));
}

}  // namespace moraine
