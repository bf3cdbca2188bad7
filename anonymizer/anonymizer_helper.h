#pragma once

// The two ways of making a whole picture unrecognisable. Each reports its own failures to the
// diagnostic output and leaves the destination as far as it got; neither throws.

#include <opencv2/core.hpp>

namespace moraine::anonymizer {

// Replaces every `block` × `block` square of the 8-bit B, G, R `source` (counted from the top left;
// smaller along the right and bottom edges) by its mean colour rounded to the nearest (ties to even),
// into `destination`, which is made the size and type of the source. Source and destination may be
// the same image. A block of 1 or less copies.
void Pixelate(const cv::Mat& source, cv::Mat& destination, int block);

// Normalised box filter with a `kernel` × `kernel` window centred on each pixel, borders mirrored
// without repeating the edge pixel. A kernel below 1 fails (reported).
void Blur(const cv::Mat& source, cv::Mat& destination, int kernel);

}  // namespace moraine::anonymizer
