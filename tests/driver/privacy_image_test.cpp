// The privacy path's picture work: NV12 to BGR and back, the built-in mosaic and the work image.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "moraine/privacy/mosaic.h"
#include "moraine/privacy/nv12_bgr_conversion.h"
#include "moraine/privacy/work_image.h"

namespace moraine {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t kSpare = 0xEE;  // bytes of no pair (odd widths)

Bytes UniformNv12(int w, int h, std::uint8_t y, std::uint8_t u, std::uint8_t v) {
  Bytes picture(static_cast<std::size_t>(Nv12PictureBytes(w, h)), kSpare);
  std::memset(picture.data(), y, static_cast<std::size_t>(w) * h);
  for (int pair = 0; pair < w / 2 * (h / 2); ++pair) {
    picture[w * h + pair / (w / 2) * w + pair % (w / 2) * 2] = u;
    picture[w * h + pair / (w / 2) * w + pair % (w / 2) * 2 + 1] = v;
  }
  return picture;
}

Bytes RandomBytes(std::size_t size, std::mt19937& random) {
  Bytes bytes(size);
  for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

TEST(PrivacyColourConversion, KnownColoursSurviveTheRoundTrip) {
  struct Case {
    std::uint8_t y, u, v;
    Bytes bgr;  // empty: not checked
  };
  const Case cases[] = {{0, 128, 128, {0, 0, 0}},     {255, 128, 128, {255, 255, 255}}, {76, 85, 255, {0, 0, 255}},
                        {29, 255, 107, {}},           {150, 44, 21, {}},               {160, 110, 155, {}},
                        {60, 140, 100, {}}};
  // Odd sizes borrow pairs at their edges and must leave the spare bytes alone.
  for (const auto& [w, h] : {std::pair{4, 4}, std::pair{5, 3}, std::pair{17, 2}}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << +c.y << "," << +c.u << "," << +c.v << " at " << w << "x" << h);
      const Bytes original = UniformNv12(w, h, c.y, c.u, c.v);
      Bytes picture = original;
      Bytes bgr(3 * w * h);
      Nv12ToBgr(picture.data(), w, h, bgr.data());
      if (!c.bgr.empty()) {
        EXPECT_EQ(Bytes(bgr.end() - 3, bgr.end()), c.bgr);
      }
      BgrToNv12(bgr.data(), w, h, picture.data());
      for (std::size_t i = 0; i < picture.size(); ++i) {
        EXPECT_LE(std::abs(picture[i] - original[i]), original[i] == kSpare ? 0 : 2) << "byte " << i;
      }
    }
  }
}

TEST(PrivacyColourConversion, FastFormsGiveTheReferenceBytes) {
  std::mt19937 random(7);
  for (const auto& [w, h] : {std::pair{1, 1}, std::pair{2, 2}, std::pair{3, 5}, std::pair{17, 3}, std::pair{33, 7},
                             std::pair{48, 1}, std::pair{70, 70}, std::pair{1920, 1080}}) {
    SCOPED_TRACE(::testing::Message() << w << "x" << h);
    const Bytes nv12 = RandomBytes(static_cast<std::size_t>(Nv12PictureBytes(w, h)), random);
    Bytes fast(3 * w * h), reference(3 * w * h);
    Nv12ToBgr(nv12.data(), w, h, fast.data());
    Nv12ToBgrReference(nv12.data(), w, h, reference.data());
    EXPECT_EQ(fast, reference);
    // Random pixels give 2 × 2 blocks far from uniform; bytes of no pair keep their random values.
    const Bytes bgr = RandomBytes(3 * w * h, random);
    Bytes fast_nv12 = nv12, reference_nv12 = nv12;
    BgrToNv12(bgr.data(), w, h, fast_nv12.data());
    BgrToNv12Reference(bgr.data(), w, h, reference_nv12.data());
    EXPECT_EQ(fast_nv12, reference_nv12);
  }
}

// Every pixel of a plane of `image` holds the pixel of `original` at the top-left of its block, the
// blocks past the last whole one counting as part of it.
::testing::AssertionResult MadeOfBlocks(const Bytes& original, const Bytes& image, std::size_t offset, int width,
                                        int height, int stride, int pixel_bytes, int block) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int source_y = std::min(y, height / block * block - 1) / block * block;
      const int source_x = std::min(x, width / block * block - 1) / block * block;
      if (std::memcmp(&image[offset + y * stride + x * pixel_bytes],
                      &original[offset + source_y * stride + source_x * pixel_bytes], pixel_bytes) != 0) {
        return ::testing::AssertionFailure() << "pixel " << x << "," << y << " of blocks of " << block;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(PrivacyMosaic, EveryPixelTakesItsBlocksTopLeftColour) {
  struct Case {
    std::int32_t width, height, level, block;
  };
  std::mt19937 random(3);
  // Whole blocks; edges; 18 rounded down; levels below 4; a level larger than the picture.
  for (const Case& c : {Case{64, 64, 16, 16}, Case{70, 70, 16, 16}, Case{70, 70, 18, 16}, Case{9, 10, 2, 4},
                        Case{9, 10, 0, 4}, Case{40, 5, 100, 5}}) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " level " << c.level);
    ASSERT_EQ(MosaicBlockSize(c.level, c.width, c.height), c.block);
    const Bytes original = RandomBytes(3 * c.width * c.height, random);
    Bytes image = original;
    ApplyMosaic(image.data(), c.width, c.height, c.level);
    EXPECT_TRUE(MadeOfBlocks(original, image, 0, c.width, c.height, 3 * c.width, 3, c.block));
  }
}

// The mosaic that covers a picture which cannot be masked as asked: luma blocks of a twentieth of
// the smaller side or the level's mosaic block, chroma pairs in blocks half as large, bytes of no
// pair untouched, nothing outside the picture's bytes written (the sanitizer build sees to that).
TEST(PrivacyMosaic, CoarseMosaicCoversTheWholeNv12Picture) {
  struct Case {
    std::int32_t width, height, level, block;
  };
  std::mt19937 random(5);
  // 1080 / 20 = 54 rounded up; the level's block is larger; sides too small for either; odd sides.
  for (const Case& c : {Case{1920, 1080, 16, 56}, Case{1920, 1080, 100, 100}, Case{33, 7, 4, 4}, Case{5, 3, 16, 3},
                        Case{1, 1, 16, 1}, Case{641, 361, 8, 20}}) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " level " << c.level);
    ASSERT_EQ(CoarseMosaicBlockSize(c.level, c.width, c.height), c.block);
    const Bytes original = RandomBytes(static_cast<std::size_t>(Nv12PictureBytes(c.width, c.height)), random);
    Bytes picture = original;
    ApplyCoarseNv12Mosaic(picture.data(), c.width, c.height, c.level);
    EXPECT_TRUE(MadeOfBlocks(original, picture, 0, c.width, c.height, c.width, 1, c.block));
    const std::size_t chroma = static_cast<std::size_t>(c.width) * c.height;
    const int pairs = c.width / 2, rows = c.height / 2;
    if (pairs == 0 || rows == 0) {
      EXPECT_EQ(picture, original);
      continue;
    }
    EXPECT_TRUE(MadeOfBlocks(original, picture, chroma, pairs, rows, c.width, 2, std::max(1, c.block / 2)));
    for (int row = 0; row < rows && c.width % 2 == 1; ++row) {
      EXPECT_EQ(picture[chroma + row * c.width + c.width - 1], original[chroma + row * c.width + c.width - 1]);
    }
  }
}

TEST(PrivacyWorkImage, HeaderDescribesATopDownImageOfItsOwnSize) {
  WorkImage image;
  ASSERT_TRUE(image.Prepare(3, 2));
  const Bytes expected_header = {
      'B', 'M',                // file type
      72, 0, 0, 0,             // file size: 3 × 2 × 3 + 54
      0, 0, 0, 0,              // reserved
      54, 0, 0, 0,             // offset of the pixels
      40, 0, 0, 0,             // information header size
      3, 0, 0, 0,              // width
      0xFE, 0xFF, 0xFF, 0xFF,  // height -2: rows from the top
      1, 0, 24, 0,             // planes, bits per pixel
      0, 0, 0, 0,              // no compression
      18, 0, 0, 0,             // pixel bytes
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
  };
  EXPECT_EQ(Bytes(image.data(), image.data() + 54), expected_header);
  // Another size gets a new image; sizes the header cannot describe leave none.
  ASSERT_TRUE(image.Prepare(4, 4));
  EXPECT_EQ(image.pixel_bytes(), 48);
  for (const auto& [w, h] : {std::pair{0, 4}, std::pair{4, -1}, std::pair{16384, 65536}}) {
    EXPECT_FALSE(image.Prepare(w, h));
    EXPECT_EQ(image.data(), nullptr);
  }
}

}  // namespace
}  // namespace moraine
