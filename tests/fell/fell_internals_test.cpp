// The encoder module's building blocks, linked directly.

#include <gtest/gtest.h>

#include <cstring>
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
  mfxFrameSurface1 submitted_{};
};

TEST_F(PictureCopyInTest, RowsOfCropWidthLandInTheCropRectangle) {
  // 5 × 3 picture: 15 luma bytes 1..15, then one chroma row (3 / 2 rows) of 5 bytes 101..105; the
  // size is 5 × 3 × 3 / 2 = 22, of which 20 are read.
  std::vector<std::uint8_t> picture(22);
  for (int i = 0; i < 15; ++i) picture[i] = static_cast<std::uint8_t>(1 + i);
  for (int i = 0; i < 5; ++i) picture[15 + i] = static_cast<std::uint8_t>(101 + i);
  ASSERT_EQ(PrepareInputSurface(surface_, picture.data(), 22, submitted_), MFX_ERR_NONE);
  EXPECT_EQ(submitted_.Data.Y, surface_.Data.Y);  // a crop away from the origin is always copied
  EXPECT_EQ(submitted_.Data.UV, surface_.Data.UV);

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
  EXPECT_EQ(PrepareInputSurface(surface_, picture.data(), 21, submitted_), MFX_ERR_NOT_ENOUGH_BUFFER);
  EXPECT_EQ(PrepareInputSurface(surface_, picture.data(), -3, submitted_), MFX_ERR_NOT_ENOUGH_BUFFER);
  EXPECT_EQ(memory_, untouched);
}

TEST_F(PictureCopyInTest, NullOrEmptyPictureAsksToFlush) {
  std::vector<std::uint8_t> picture(22);
  EXPECT_EQ(PrepareInputSurface(surface_, nullptr, 22, submitted_), MFX_ERR_MORE_DATA);
  EXPECT_EQ(PrepareInputSurface(surface_, picture.data(), 0, submitted_), MFX_ERR_MORE_DATA);
}

TEST_F(PictureCopyInTest, UnsetCropUsesTheFullFrame) {
  surface_.Info.CropW = 0;
  EXPECT_EQ(PackedPictureSize(surface_.Info), 16u * 8 * 3 / 2);
}

// A surface declares whole 16-row units; the picture stands in for a plane only where its block
// holds every row the encoder may read there. 1080 rows make a surface of 1088: the luma rows read
// beyond the picture fall into its chroma, but the chroma rows would run past the block's end.
TEST(PrepareInputSurface, ReadsThePlanesInPlaceThatThePictureCovers) {
  const struct {
    mfxU16 crop_width, crop_height, surface_height, pool_pitch;
    bool luma_in_place, chroma_in_place;
  } cases[] = {
      {32, 16, 16, 32, true, true},    // the surface's own size
      {32, 14, 16, 32, true, false},   // like 1080 in 1088: the chroma is copied
      {32, 14, 16, 64, false, false},  // a copied chroma plane would need another pitch
      {24, 16, 16, 32, false, false},  // a width below the surface's is no pitch for it
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.crop_width << "x" << c.crop_height << " pitch " << c.pool_pitch);
    std::vector<mfxU8> pool(std::size_t{c.pool_pitch} * c.surface_height * 3 / 2, 0xEE);
    mfxFrameSurface1 surface{};
    surface.Info.Width = 32;
    surface.Info.Height = c.surface_height;
    surface.Info.CropW = c.crop_width;
    surface.Info.CropH = c.crop_height;
    surface.Data.Y = pool.data();
    surface.Data.UV = pool.data() + std::size_t{c.pool_pitch} * c.surface_height;
    surface.Data.Pitch = c.pool_pitch;
    const std::size_t luma_size = std::size_t{c.crop_width} * c.crop_height;
    std::vector<std::uint8_t> picture(luma_size * 3 / 2);
    for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<std::uint8_t>(i * 7);
    mfxFrameSurface1 submitted{};
    ASSERT_EQ(PrepareInputSurface(surface, picture.data(), static_cast<std::int32_t>(picture.size()), submitted),
              MFX_ERR_NONE);

    EXPECT_EQ(submitted.Data.Y == picture.data(), c.luma_in_place);
    EXPECT_EQ(submitted.Data.UV == picture.data() + luma_size, c.chroma_in_place);
    // Whichever way, the encoder sees the picture's rows at the submitted pitch.
    for (std::size_t row = 0; row < c.crop_height; ++row) {
      ASSERT_EQ(std::memcmp(submitted.Data.Y + row * submitted.Data.Pitch, &picture[row * c.crop_width], c.crop_width), 0);
    }
    for (std::size_t row = 0; row < c.crop_height / 2u; ++row) {
      ASSERT_EQ(std::memcmp(submitted.Data.UV + row * submitted.Data.Pitch,
                            &picture[luma_size + row * c.crop_width], c.crop_width),
                0);
    }
  }
}

// After the call the picture may be freed: the surface leads back to its own planes, and when the
// encoder still holds it they carry the picture, at the surface's own pitch.
TEST(DetachFromPicture, PointsTheSurfaceBackAtItsOwnPlanes) {
  for (const bool keep_pixels : {false, true}) {
    SCOPED_TRACE(keep_pixels ? "held" : "done with");
    constexpr std::size_t kPitch = 48, kWidth = 32, kHeight = 16;
    std::vector<mfxU8> pool(kPitch * kHeight * 3 / 2, 0xEE);
    mfxFrameSurface1 surface{};
    surface.Info.Width = surface.Info.CropW = kWidth;
    surface.Info.Height = surface.Info.CropH = kHeight;
    const SurfacePlanes own{pool.data(), pool.data() + kPitch * kHeight, kPitch};
    PointAt(surface, own);
    std::vector<std::uint8_t> picture(kWidth * kHeight * 3 / 2);
    for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_EQ(PrepareInputSurface(surface, picture.data(), static_cast<std::int32_t>(picture.size()), surface),
              MFX_ERR_NONE);
    ASSERT_EQ(surface.Data.Y, picture.data());
    ASSERT_EQ(surface.Data.V, picture.data() + kWidth * kHeight + 1);

    DetachFromPicture(surface, own, keep_pixels);
    EXPECT_EQ(surface.Data.Y, own.y);
    EXPECT_EQ(surface.Data.UV, own.uv);
    EXPECT_EQ(surface.Data.V, own.uv + 1);
    EXPECT_EQ(surface.Data.Pitch, kPitch);
    for (std::size_t row = 0; row < kHeight * 3 / 2; ++row) {
      const mfxU8* kept = pool.data() + row * kPitch;
      EXPECT_EQ(std::memcmp(kept, &picture[row * kWidth], kWidth) == 0, keep_pixels) << row;
      EXPECT_EQ(kept[kWidth], 0xEE) << row;  // the padding right of the picture
    }
  }
}

}  // namespace
}  // namespace moraine::fell
