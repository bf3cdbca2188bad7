// The encoder module's building blocks, linked directly.

#include <gtest/gtest.h>

#include <vector>

#include "fell/utils/picture_copy_in.h"

namespace moraine::fell {
namespace {

// A surface of 16 × 8 with pitch 16, cropped to 5 × 3 at (1, 2), pixels preset to 0xEE.
class PictureCopyInTest : public ::testing::Test {
 protected:
  PictureCopyInTest() : memory_(16 * 8 * 3 / 2, 0xEE) {
    surface_.Info.Width = 16;
    surface_.Info.Height = 8;
    surface_.Info.CropX = 1;
    surface_.Info.CropY = 2;
    surface_.Info.CropW = 5;
    surface_.Info.CropH = 3;
    surface_.Data.Y = memory_.data();
    surface_.Data.UV = memory_.data() + 16 * 8;
    surface_.Data.Pitch = 16;
  }
  std::vector<mfxU8> memory_;
  mfxFrameSurface1 surface_{};
};

TEST_F(PictureCopyInTest, RowsOfCropWidthLandInTheCropRectangle) {
  // 5 × 3 picture: 15 luma bytes 1..15, then one chroma row (3 / 2 rows) of 5 bytes 101..105; the
  // size is 5 × 3 × 3 / 2 = 22, of which 20 are read.
  std::vector<std::uint8_t> picture(22);
  for (int i = 0; i < 15; ++i) picture[i] = static_cast<std::uint8_t>(1 + i);
  for (int i = 0; i < 5; ++i) picture[15 + i] = static_cast<std::uint8_t>(101 + i);
  ASSERT_EQ(CopyPictureIntoSurface(surface_, picture.data(), 22), MFX_ERR_NONE);

  EXPECT_EQ(memory_[2 * 16 + 0], 0xEE);  // left of the crop
  EXPECT_EQ(memory_[2 * 16 + 1], 1);
  EXPECT_EQ(memory_[2 * 16 + 5], 5);
  EXPECT_EQ(memory_[2 * 16 + 6], 0xEE);  // right of the crop
  EXPECT_EQ(memory_[4 * 16 + 1], 11);
  EXPECT_EQ(memory_[5 * 16 + 1], 0xEE);  // below the crop
  const mfxU8* chroma = memory_.data() + 16 * 8;
  EXPECT_EQ(chroma[1 * 16 + 1], 101);  // chroma row CropY / 2
  EXPECT_EQ(chroma[1 * 16 + 5], 105);
  EXPECT_EQ(chroma[2 * 16 + 1], 0xEE);
}

TEST_F(PictureCopyInTest, ShortPictureIsRefusedWithoutReading) {
  const std::vector<mfxU8> untouched = memory_;
  std::vector<std::uint8_t> picture(21, 7);
  EXPECT_EQ(PackedPictureSize(surface_.Info), 22u);
  EXPECT_EQ(CopyPictureIntoSurface(surface_, picture.data(), 21), MFX_ERR_NOT_ENOUGH_BUFFER);
  EXPECT_EQ(CopyPictureIntoSurface(surface_, picture.data(), -3), MFX_ERR_NOT_ENOUGH_BUFFER);
  EXPECT_EQ(memory_, untouched);
}

TEST_F(PictureCopyInTest, NullOrEmptyPictureAsksToFlush) {
  std::vector<std::uint8_t> picture(22);
  EXPECT_EQ(CopyPictureIntoSurface(surface_, nullptr, 22), MFX_ERR_MORE_DATA);
  EXPECT_EQ(CopyPictureIntoSurface(surface_, picture.data(), 0), MFX_ERR_MORE_DATA);
}

TEST_F(PictureCopyInTest, UnsetCropUsesTheFullFrame) {
  surface_.Info.CropW = 0;
  EXPECT_EQ(PackedPictureSize(surface_.Info), 16u * 8 * 3 / 2);
}

}  // namespace
}  // namespace moraine::fell
