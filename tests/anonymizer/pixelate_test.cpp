// Pixelate against the plain way of pixelating with OpenCV: the mean of each block filled into it.

#include "anonymizer/anonymizer_helper.h"

#include <gtest/gtest.h>

namespace moraine::anonymizer {
namespace {

cv::Mat ReferencePixelate(const cv::Mat& source, int block) {
  cv::Mat result = source.clone();
  for (int y = 0; y < source.rows; y += block) {
    for (int x = 0; x < source.cols; x += block) {
      const cv::Rect area(x, y, std::min(block, source.cols - x), std::min(block, source.rows - y));
      result(area).setTo(cv::mean(source(area)));
    }
  }
  return result;
}

TEST(PixelateTest, SameAsTheMeanOfEachBlockOnRandomPictures) {
  struct Case {
    int columns, rows, block;
  };
  const Case cases[] = {{64, 48, 2}, {71, 53, 3}, {70, 70, 17}, {1920, 1080, 7}, {33, 9, 40}, {5, 5, 1 << 30}};
  cv::RNG random(20260101);
  for (const Case& c : cases) {
    cv::Mat picture(c.rows, c.columns, CV_8UC3);
    random.fill(picture, cv::RNG::UNIFORM, 0, 256);
    const cv::Mat expected = ReferencePixelate(picture, c.block);
    cv::Mat separate;
    Pixelate(picture, separate, c.block);
    Pixelate(picture, picture, c.block);
    EXPECT_EQ(cv::norm(separate, expected, cv::NORM_INF), 0) << c.columns << "x" << c.rows << " block " << c.block;
    EXPECT_EQ(cv::norm(picture, expected, cv::NORM_INF), 0) << c.columns << "x" << c.rows << " block " << c.block;
  }
}

}  // namespace
}  // namespace moraine::anonymizer
