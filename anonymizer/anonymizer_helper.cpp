#include "anonymizer/anonymizer_helper.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "anonymizer/module_diagnostics.h"

namespace moraine::anonymizer {
namespace {

constexpr int kChannels = 3;

// Adds the pixels of `row` in each block's columns to that block's channel sums.
void AddRowToBlockSums(const std::uint8_t* row, int columns, int block, std::vector<std::uint64_t>& sums) {
  for (int left = 0, index = 0; left < columns; left += block, index += kChannels) {
    const int right = std::min(left + block, columns);
    std::uint32_t b = 0, g = 0, r = 0;
    for (int x = left; x < right; ++x) {
      b += row[kChannels * x];
      g += row[kChannels * x + 1];
      r += row[kChannels * x + 2];
    }
    sums[index] += b;
    sums[index + 1] += g;
    sums[index + 2] += r;
  }
}

}  // namespace

// Summing a band of blocks in one pass over its rows is many times faster than a mean per block
// for small blocks. The means are computed and rounded as cv::mean and Mat::setTo do (sum times the
// reciprocal of the count, then saturate_cast), so the picture is the same as filling block by block
// with them.
void Pixelate(const cv::Mat& source, cv::Mat& destination, int block) {
  try {
    CV_Assert(source.type() == CV_8UC3);
    // One-pixel blocks are their own mean.
    if (block <= 1) {
      if (destination.data != source.data) source.copyTo(destination);
      return;
    }
    destination.create(source.size(), source.type());
    const int blocks_across = source.cols / block + (source.cols % block != 0 ? 1 : 0);
    std::vector<std::uint64_t> sums(static_cast<std::size_t>(blocks_across) * kChannels);
    // One row of the band's block means, copied into every row of the band.
    std::vector<std::uint8_t> band_row(static_cast<std::size_t>(source.cols) * kChannels);
    for (int top = 0; top < source.rows; top += block) {
      const int bottom = std::min(top + block, source.rows);
      std::fill(sums.begin(), sums.end(), 0);
      for (int y = top; y < bottom; ++y) AddRowToBlockSums(source.ptr<std::uint8_t>(y), source.cols, block, sums);
      for (int left = 0, index = 0; left < source.cols; left += block, index += kChannels) {
        const int right = std::min(left + block, source.cols);
        const double reciprocal = 1.0 / (static_cast<double>(right - left) * (bottom - top));
        std::uint8_t mean[kChannels];
        for (int c = 0; c < kChannels; ++c) {
          mean[c] = cv::saturate_cast<std::uint8_t>(static_cast<double>(sums[index + c]) * reciprocal);
        }
        for (int x = left; x < right; ++x) std::copy_n(mean, kChannels, &band_row[kChannels * x]);
      }
      // Written only after the whole band was read, so the source may be the destination.
      for (int y = top; y < bottom; ++y) std::copy(band_row.begin(), band_row.end(), destination.ptr<std::uint8_t>(y));
    }
  } catch (const std::exception& exception) {
    DebugException("AnonymizerHelper:Pixelate:Exception:", exception);
  }
}

void Blur(const cv::Mat& source, cv::Mat& destination, int kernel) {
  try {
    cv::blur(source, destination, cv::Size(kernel, kernel), cv::Point(-1, -1), cv::BORDER_DEFAULT);
  } catch (const std::exception& exception) {
    DebugException("AnonymizerHelper:Blur:Exception:", exception);
  }
}

}  // namespace moraine::anonymizer
