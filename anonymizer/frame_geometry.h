#pragma once

// The sizes AnonymizeFrame works with: the picture a frame record describes, the size it is
// processed at, and the size of the replacement blocks and blur window.

#include <cstdint>

#include "anonymizer/anonymizer_records.h"

namespace moraine::anonymizer {

inline constexpr int kWorkingWidthLimit = 1920;

struct FrameLayout {
  int rows = 0;
  int columns = 0;
  int channels = 0;  // 3 (B, G, R) or 4 (B, G, R, A)
};

enum class FrameCheck {
  kAccepted,
  kUnsupportedBitCount,  // no header, or a bit count other than 24 or 32
  kBadSize,              // no pixels, a size below 1, or a data size other than rows × columns × channels
};

// Checks `record` and on acceptance fills `layout` from its header (rows are |biHeight|).
FrameCheck CheckFrame(const AnonymizerFrame& record, FrameLayout& layout);

struct WorkingSize {
  double aspect_ratio = 0;  // record width / record height
  int rows = 0;             // rows of a kWorkingWidthLimit-wide picture of that aspect ratio, at least 1
  bool scaled = false;      // the picture has more pixels than kWorkingWidthLimit × rows
};

// The size a picture of `layout` is processed at, from the record's width and height (both above 0).
// A picture exactly 1920 wide can come out one row short, where 1920 / aspect ratio falls just below
// its height: it is then scaled by that row, as stored recordings have always been.
WorkingSize LimitWorkingSize(const AnonymizerFrame& record, const FrameLayout& layout);

// The pixelation block for a working picture of `rows` × `columns`: 40 when `pixel_block_size` is 0,
// else |(columns / p + rows / p) / 4| for a grey picture and / 2 for a colour one, at least 4.
int PixelationBlockSize(std::int32_t pixel_block_size, int rows, int columns, bool grey);

// The blur window: 40 when `blur_intensity` is 0, else |rows / b| for a grey picture and twice that
// for a colour one.
int BlurKernelSize(std::int32_t blur_intensity, int rows, bool grey);

}  // namespace moraine::anonymizer
