// The colour conversions one pixel at a time: the yardstick of the fast forms.

#include <algorithm>
#include <cstddef>
#include <utility>

#include "moraine/privacy/nv12_bgr_conversion.h"
#include "moraine/privacy/nv12_bgr_pixel.h"

namespace moraine {

using namespace nv12_bgr;

std::int64_t Nv12PictureBytes(std::int32_t width, std::int32_t height) {
  if (width < 1 || height < 1) return 0;
  return std::int64_t{width} * height + std::int64_t{width} * (height / 2);
}

void Nv12ToBgrReference(const std::uint8_t* nv12, std::int32_t width, std::int32_t height, std::uint8_t* bgr) {
  const std::size_t w = static_cast<std::size_t>(width);
  const std::size_t h = static_cast<std::size_t>(height);
  const std::size_t pairs = w / 2;
  const std::size_t chroma_rows = h / 2;
  const std::uint8_t* chroma = nv12 + w * h;
  for (std::size_t y = 0; y < h; ++y) {
    for (std::size_t x = 0; x < w; ++x) {
      std::uint8_t u = kNeutralChroma;
      std::uint8_t v = kNeutralChroma;
      // The last row of an odd height and the last column of an odd width borrow the nearest pair.
      if (pairs > 0 && chroma_rows > 0) {
        const std::uint8_t* pair = chroma + std::min(y / 2, chroma_rows - 1) * w + 2 * std::min(x / 2, pairs - 1);
        u = pair[0];
        v = pair[1];
      }
      ForwardPixel(nv12[y * w + x], u, v, bgr + 3 * (y * w + x));
    }
  }
}

void BgrToNv12Reference(const std::uint8_t* bgr, std::int32_t width, std::int32_t height, std::uint8_t* nv12) {
  const std::size_t w = static_cast<std::size_t>(width);
  const std::size_t h = static_cast<std::size_t>(height);
  const std::size_t stride = 3 * w;
  std::uint8_t* chroma = nv12 + w * h;
  for (std::size_t y = 0; y < h; ++y) {
    for (std::size_t x = 0; x < w; ++x) nv12[y * w + x] = BackLuma(bgr + y * stride + 3 * x);
  }
  for (std::size_t k = 0; k < h / 2; ++k) {
    const std::uint8_t* top = bgr + 2 * k * stride;
    const std::uint8_t* bottom = top + stride;
    for (std::size_t j = 0; j < w / 2; ++j) {
      std::int32_t sums[3];
      SumBlock(top + 6 * j, bottom + 6 * j, sums);
      chroma[k * w + 2 * j] = BackV(sums[0], sums[1], sums[2]);
      chroma[k * w + 2 * j + 1] = BackU(sums[0], sums[1], sums[2]);
    }
  }
  // The pairs were computed V first; NV12 wants U first. Row by row, so that an odd width never
  // pairs bytes of two rows.
  for (std::size_t k = 0; k < h / 2; ++k) {
    for (std::size_t j = 0; j < w / 2; ++j) std::swap(chroma[k * w + 2 * j], chroma[k * w + 2 * j + 1]);
  }
}

}  // namespace moraine
