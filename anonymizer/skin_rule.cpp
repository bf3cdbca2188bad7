#include "anonymizer/skin_rule.h"

#include <cstdint>
#include <cstdlib>

#include <opencv2/imgproc.hpp>

namespace moraine::anonymizer {
namespace {

constexpr double kMinSaturation = 0.15 * 255;
constexpr double kMaxSaturation = 0.8 * 255;
constexpr int kRedGreenMargin = 15;

bool IsSkin(int blue, int green, int red, int saturation) {
  const bool red_well_below_green = std::abs(red - green) >= kRedGreenMargin && red <= green;
  return red > blue && !red_well_below_green && saturation > kMinSaturation && saturation < kMaxSaturation;
}

}  // namespace

cv::Mat SkinMask(const cv::Mat& picture) {
  cv::Mat hsv;
  cv::cvtColor(picture, hsv, cv::COLOR_BGR2HSV);
  cv::Mat mask(picture.size(), CV_8UC1);
  for (int y = 0; y < picture.rows; ++y) {
    const std::uint8_t* bgr = picture.ptr<std::uint8_t>(y);
    const std::uint8_t* hsv_row = hsv.ptr<std::uint8_t>(y);
    std::uint8_t* out = mask.ptr<std::uint8_t>(y);
    for (int x = 0; x < picture.cols; ++x) {
      out[x] = IsSkin(bgr[3 * x], bgr[3 * x + 1], bgr[3 * x + 2], hsv_row[3 * x + 1]) ? 255 : 0;
    }
  }
  return mask;
}

}  // namespace moraine::anonymizer
