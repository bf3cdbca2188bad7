#include "mediacommon/surface_pool.h"

#include <gtest/gtest.h>

namespace moraine::mediacommon {
namespace {

mfxFrameInfo FrameInfo(mfxU16 width, mfxU16 height) {
  mfxFrameInfo info{};
  info.FourCC = MFX_FOURCC_NV12;
  info.Width = width;
  info.Height = height;
  info.CropW = width;
  info.CropH = height;
  return info;
}

TEST(SurfacePoolTest, SurfacesAreLaidOutInOneBlockWithPitchRoundedTo32) {
  // 1920 × 1088 (a 1080p frame): 1920 stays, 1088 becomes 1088 (already a multiple of 32).
  const auto pool = SurfacePool::Create(FrameInfo(1920, 1088), 1920, 1088, 3);
  ASSERT_TRUE(pool);
  EXPECT_EQ(pool->Count(), 3);
  const std::size_t surface_bytes = 1920 * 1088 * 12 / 8;
  for (int i = 0; i < 3; ++i) {
    const mfxFrameSurface1* surface = pool->Surface(i);
    EXPECT_EQ(surface->Data.Pitch, 1920);
    EXPECT_EQ(surface->Data.Y, pool->Surface(0)->Data.Y + i * surface_bytes);
    EXPECT_EQ(surface->Data.UV, surface->Data.Y + 1920 * 1088);
    EXPECT_EQ(surface->Data.V, surface->Data.UV + 1);
    EXPECT_EQ(surface->Info.Width, 1920);
    EXPECT_EQ(surface->Info.CropH, 1088);
  }
}

TEST(SurfacePoolTest, OddSizesRoundUp) {
  const auto pool = SurfacePool::Create(FrameInfo(176, 144), 176, 144, 2);
  ASSERT_TRUE(pool);
  EXPECT_EQ(pool->Surface(0)->Data.Pitch, 192);
  EXPECT_EQ(pool->Surface(0)->Data.UV - pool->Surface(0)->Data.Y, 192 * 160);
  EXPECT_EQ(pool->Surface(1)->Data.Y - pool->Surface(0)->Data.Y, 192 * 160 * 12 / 8);
}

TEST(SurfacePoolTest, FreeSurfaceSearchTakesTheLowestUnlocked) {
  const auto pool = SurfacePool::Create(FrameInfo(64, 64), 64, 64, 3);
  ASSERT_TRUE(pool);
  EXPECT_EQ(pool->FindFreeSurface(), 0);
  pool->Surface(0)->Data.Locked = 1;
  pool->Surface(2)->Data.Locked = 1;
  EXPECT_EQ(pool->FindFreeSurface(), 1);
  pool->Surface(1)->Data.Locked = 2;
  EXPECT_EQ(pool->FindFreeSurface(), kNoFreeSurface);
}

TEST(SurfacePoolTest, PixelsStartZeroAndCanBeFilled) {
  const auto pool = SurfacePool::Create(FrameInfo(32, 32), 32, 32, 2);
  ASSERT_TRUE(pool);
  EXPECT_EQ(pool->Surface(1)->Data.Y[5], 0);
  pool->FillPixels(100, 50);
  const mfxFrameSurface1* last = pool->Surface(1);
  EXPECT_EQ(last->Data.Y[0], 100);
  EXPECT_EQ(last->Data.Y[32 * 32 - 1], 100);
  EXPECT_EQ(last->Data.UV[0], 50);
  EXPECT_EQ(last->Data.UV[32 * 32 / 2 - 1], 50);
}

}  // namespace
}  // namespace moraine::mediacommon
