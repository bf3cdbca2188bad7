#include "anonymizer/frame_geometry.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace moraine::anonymizer {
namespace {

constexpr int kFixedReplacementSize = 40;
// Blocks of 1 to 3 pixels keep a face recognisable; 4 is also the smallest block of the caller's
// own mosaic.
constexpr int kSmallestPixelationBlock = 4;

// The header may sit unaligned inside a bitmap file image.
template <typename Field>
Field ReadHeaderField(const std::uint8_t* header, std::size_t offset) {
  Field value;
  std::memcpy(&value, header + offset, sizeof value);
  return value;
}

}  // namespace

FrameCheck CheckFrame(const AnonymizerFrame& record, FrameLayout& layout) {
  if (record.info_header == nullptr) return FrameCheck::kUnsupportedBitCount;
  const auto bit_count = ReadHeaderField<std::uint16_t>(record.info_header, offsetof(BitmapInfoHeader, biBitCount));
  if (bit_count != 24 && bit_count != 32) return FrameCheck::kUnsupportedBitCount;

  const std::int64_t columns = ReadHeaderField<std::int32_t>(record.info_header, offsetof(BitmapInfoHeader, biWidth));
  const std::int64_t height = ReadHeaderField<std::int32_t>(record.info_header, offsetof(BitmapInfoHeader, biHeight));
  // The sign of the height only marks rows stored from the top.
  const std::int64_t rows = std::abs(height);
  const int channels = bit_count / 8;
  if (record.pixels == nullptr || columns < 1 || rows < 1 || record.width < 1 || record.height < 1) {
    return FrameCheck::kBadSize;
  }
  // Both sides below 2^31, so neither product can overflow once the first is bounded.
  if (rows * columns > INT32_MAX || rows * columns * channels != record.data_size) return FrameCheck::kBadSize;
  layout = {static_cast<int>(rows), static_cast<int>(columns), channels};
  return FrameCheck::kAccepted;
}

WorkingSize LimitWorkingSize(const AnonymizerFrame& record, const FrameLayout& layout) {
  WorkingSize size;
  size.aspect_ratio = static_cast<double>(record.width) / static_cast<double>(record.height);
  // Truncated toward zero exactly so; kept within 1 .. INT_MAX for extreme aspect ratios.
  const double rows = std::clamp(std::trunc(kWorkingWidthLimit / size.aspect_ratio), 1.0, static_cast<double>(INT_MAX));
  size.rows = static_cast<int>(rows);
  size.scaled = static_cast<std::int64_t>(layout.rows) * layout.columns >
                static_cast<std::int64_t>(kWorkingWidthLimit) * size.rows;
  return size;
}

int PixelationBlockSize(std::int32_t pixel_block_size, int rows, int columns, bool grey) {
  if (pixel_block_size == 0) return kFixedReplacementSize;
  const int sum = columns / pixel_block_size + rows / pixel_block_size;
  return std::max(std::abs(grey ? sum / 4 : sum / 2), kSmallestPixelationBlock);
}

int BlurKernelSize(std::int32_t blur_intensity, int rows, bool grey) {
  if (blur_intensity == 0) return kFixedReplacementSize;
  const int kernel = std::abs(rows / blur_intensity);
  return grey ? kernel : 2 * kernel;
}

}  // namespace moraine::anonymizer
