#pragma once

// The colour rule that marks pixels that may be human skin.

#include <opencv2/core.hpp>

namespace moraine::anonymizer {

// One byte per pixel of the 8-bit B, G, R `picture`: 255 where red is above blue, red is not at or
// below green by 15 or more, and the HSV saturation lies strictly between 0.15 and 0.8 of 255; else 0.
cv::Mat SkinMask(const cv::Mat& picture);

}  // namespace moraine::anonymizer
