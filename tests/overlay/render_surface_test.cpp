// The YUV drawing surface pixel by pixel (lines, rectangles, markers, text boxes, pixel indices and
// bounds), the colour conversion, text measuring and the packed built-in font.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "moraine/overlay/bitmap_font.h"
#include "moraine/overlay/glyph_canvas.h"
#include "moraine/overlay/yuv_render_surface.h"

namespace moraine {
namespace {

using PixelSet = std::set<std::pair<std::int32_t, std::int32_t>>;

constexpr std::uint8_t kBackground = 0x40;
constexpr RgbColour kRed{255, 0, 0};
constexpr std::uint8_t kRedLuma = 76;
constexpr std::uint8_t kWhiteLuma = 255;
constexpr std::uint8_t kBlackLuma = 0;

// An NV12 picture filled with kBackground. The buffer holds exactly the picture, so that the address
// sanitizer stops any write past it.
struct Picture {
  Picture(std::int32_t w, std::int32_t h)
      : width(w), height(h), bytes(static_cast<std::size_t>(w * h * 3 / 2), kBackground) {}
  YUVRenderSurface Surface() {
    return YUVRenderSurface({bytes.data(), static_cast<std::uint32_t>(bytes.size())}, width, height, true);
  }
  PixelSet LumaPixels(std::uint8_t value) const {
    PixelSet pixels;
    for (std::int32_t y = 0; y < height; ++y) {
      for (std::int32_t x = 0; x < width; ++x) {
        if (bytes[static_cast<std::size_t>(y * width + x)] == value) pixels.insert({x, y});
      }
    }
    return pixels;
  }
  std::int32_t width;
  std::int32_t height;
  std::vector<std::uint8_t> bytes;
};

PixelSet Area(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
  PixelSet pixels;
  for (std::int32_t y = top; y <= bottom; ++y) {
    for (std::int32_t x = left; x <= right; ++x) pixels.insert({x, y});
  }
  return pixels;
}

TEST(YuvRenderSurface, PrimitivesSetExactlyTheirPixels) {
  using Draw = std::function<void(YUVRenderSurface&)>;
  const struct {
    const char* name;
    Draw draw;
    PixelSet expected;
  } cases[] = {
      {"line right and down", [](auto& s) { s.DrawPolyline(std::array{Point{0, 0}, Point{3, 1}}, kRed, 1, 0); },
       {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
      {"line left and up", [](auto& s) { s.DrawPolyline(std::array{Point{3, 1}, Point{0, 0}}, kRed, 1, 0); },
       {{3, 1}, {2, 1}, {1, 0}, {0, 0}}},
      // With an odd long side the error term rounds toward the starting point, so direction matters.
      {"short line forward", [](auto& s) { s.DrawPolyline(std::array{Point{0, 0}, Point{2, 1}}, kRed, 1, 0); },
       {{0, 0}, {1, 1}, {2, 1}}},
      {"short line backward", [](auto& s) { s.DrawPolyline(std::array{Point{2, 1}, Point{0, 0}}, kRed, 1, 0); },
       {{2, 1}, {1, 0}, {0, 0}}},
      {"steep line", [](auto& s) { s.DrawPolyline(std::array{Point{0, 0}, Point{1, 3}}, kRed, 1, 0); },
       {{0, 0}, {0, 1}, {1, 2}, {1, 3}}},
      {"single-pixel rectangle", [](auto& s) { s.DrawRect(10, 10, 10, 10, kRed); }, {{10, 10}}},
      {"inclusive rectangle", [](auto& s) { s.DrawRect(1, 1, 3, 2, kRed); }, Area(1, 1, 3, 2)},
      {"open polygon",
       [](auto& s) { s.DrawPolygon(std::array{Point{0, 0}, Point{3, 0}, Point{3, 3}}, kRed, 5, 1, kRed, 1); },
       {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}, {3, 2}, {3, 3}}},
      {"marker", [](auto& s) { s.DrawMarker({10, 5}, 7, 2, 0); }, Area(11, 6, 18, 13)},
      {"marker clamped at the top left", [](auto& s) { s.DrawMarker({-4, -4}, 0, 0, 0); }, Area(0, 0, 4, 4)},
      {"marker short of the last column and row", [](auto& s) { s.DrawMarker({13, 9}, 0, 0, 0); },
       Area(14, 10, 18, 14)},
      {"marker at the bottom-right pixel", [](auto& s) { s.DrawMarker({19, 15}, 0, 0, 0); }, {}},
  };
  for (const auto& c : cases) {
    Picture picture(20, 16);
    YUVRenderSurface surface = picture.Surface();
    c.draw(surface);
    EXPECT_EQ(picture.LumaPixels(kRedLuma), c.expected) << c.name;
    EXPECT_EQ(picture.LumaPixels(kBackground).size(), 20u * 16u - c.expected.size()) << c.name;
  }
}

TEST(YuvRenderSurface, PixelIndicesAndBounds) {
  const struct {
    const char* name;
    std::int32_t width, height;
    bool interleaved;
    std::size_t length;
    std::int32_t x, y;
    std::optional<std::array<std::size_t, 3>> y_u_v;  // nullopt: nothing written
  } cases[] = {
      {"interleaved", 4, 2, true, 12, 3, 1, {{7, 10, 11}}},
      {"planar, V plane first", 4, 2, false, 12, 3, 1, {{7, 11, 9}}},
      {"past the right edge into the next row", 4, 4, true, 24, 5, 0, {{5, 20, 21}}},
      {"interleaved, V byte would be the last", 4, 2, true, 11, 3, 1, std::nullopt},
      {"interleaved, one byte short, first pixel", 4, 2, true, 11, 0, 0, {{0, 8, 9}}},
      {"planar, U byte would be the last", 4, 2, false, 11, 3, 1, std::nullopt},
      {"Y byte past the Y plane", 4, 2, true, 12, -8, 4, std::nullopt},
      {"index that wraps at 32 bits", 16, 2, true, 48, 1, 1 << 29, std::nullopt},
      {"largest coordinates", 4, 2, true, 12, INT32_MAX, INT32_MAX, std::nullopt},
      {"smallest coordinates", 4, 2, false, 12, INT32_MIN, INT32_MIN, std::nullopt},
      {"empty frame", 4, 2, true, 0, 0, 0, std::nullopt},
  };
  constexpr YuvColour kColour{200, 10, 20};
  for (const auto& c : cases) {
    std::vector<std::uint8_t> bytes(c.length, kBackground);
    std::vector<std::uint8_t> expected = bytes;
    if (c.y_u_v) {
      expected[(*c.y_u_v)[0]] = kColour.y;
      expected[(*c.y_u_v)[1]] = kColour.u;
      expected[(*c.y_u_v)[2]] = kColour.v;
    }
    YUVRenderSurface surface({bytes.data(), static_cast<std::uint32_t>(c.length)}, c.width, c.height, c.interleaved);
    surface.WritePixel(c.x, c.y, kColour);
    EXPECT_EQ(bytes, expected) << c.name;
  }
}

TEST(YuvRenderSurface, FarOutsideOrEmptyDrawsNothing) {
  const struct {
    const char* name;
    std::int32_t width, height;
    std::function<void(YUVRenderSurface&)> draw;
  } cases[] = {
      {"one-point polyline", 16, 4, [](auto& s) { s.DrawPolyline(std::array{Point{1, 1}}, kRed, 1, 0); }},
      {"fill", 16, 4, [](auto& s) { s.FillPolygon(std::array{Point{0, 0}, Point{9, 0}, Point{0, 3}}, 1, kRed); }},
      {"text at the largest point", 16, 4, [](auto& s) { s.DrawText({INT32_MAX, INT32_MAX}, "AB", kRed, 0, 0, 0); }},
      {"text at the smallest point", 16, 4, [](auto& s) { s.DrawText({INT32_MIN, INT32_MIN}, "AB", kRed, 0, 0, 0); }},
      {"marker at the largest point", 16, 4, [](auto& s) { s.DrawMarker({INT32_MAX, INT32_MAX}, 0, 0, 0); }},
      {"line at the largest point", 16, 4,
       [](auto& s) { s.DrawLine({INT32_MAX, INT32_MAX}, {INT32_MAX - 3, INT32_MAX - 1}, {1, 2, 3}); }},
      {"rectangle at the corners of the plane", 16, 4,
       [](auto& s) { s.DrawRect(INT32_MAX - 2, INT32_MIN, INT32_MAX, INT32_MIN + 2, kRed); }},
      {"line that wraps at 32 bits", 16, 4, [](auto& s) { s.DrawLine({0, 1 << 29}, {3, 1 << 29}, {1, 2, 3}); }},
      {"text on a surface without columns", 0, 4, [](auto& s) { s.DrawText({0, 0}, "AB", kRed, 0, 0, 0); }},
      {"marker on a surface without rows", 16, 0, [](auto& s) { s.DrawMarker({0, 0}, 0, 0, 0); }},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> bytes(16 * 4 * 3 / 2, kBackground);
    YUVRenderSurface surface({bytes.data(), static_cast<std::uint32_t>(bytes.size())}, c.width, c.height, true);
    c.draw(surface);
    EXPECT_EQ(bytes, std::vector<std::uint8_t>(bytes.size(), kBackground)) << c.name;
  }
}

struct Placement {
  std::uint8_t glyph;
  std::int32_t x, y;
};

// Every pixel of the picture: white where a placed glyph has ink, black elsewhere in the box, the
// background outside it.
TEST(YuvRenderSurface, TextIsWhiteGlyphsOnABlackBox) {
  const struct {
    std::string text;
    std::int32_t width, height;
    Point at;
    std::array<std::int32_t, 4> box;  // left, top, right, bottom, inclusive
    std::vector<Placement> glyphs;
  } cases[] = {
      {"AB", 40, 30, {5, 5}, {5, 5, 19, 15}, {{'A', 5, 5}, {'B', 13, 5}}},
      {"AB", 30, 20, {16, 2}, {16, 2, 28, 12}, {{'A', 16, 2}}},  // 'B' would end on the right edge
      {"A", 30, 20, {0, 10}, {0, 10, 6, 18}, {}},                // would end on the bottom edge
      {"A\nB", 30, 30, {1, 1}, {1, 1, 7, 21}, {{'A', 1, 1}, {'B', 1, 12}}},
      {"A\rB", 30, 30, {1, 1}, {1, 1, 7, 11}, {{'A', 1, 1}, {'B', 1, 1}}},
      {"\x80", 20, 20, {1, 1}, {1, 1, 3, 11}, {{'.', 1, 1}}},
      {"  ", 20, 20, {2, 2}, {2, 2, 8, 2}, {}},
  };
  const BitmapFont& font = BuiltInFont();
  for (const auto& c : cases) {
    Picture picture(c.width, c.height);
    YUVRenderSurface surface = picture.Surface();
    surface.DrawText(c.at, c.text, kRed, 0, 0, 0);
    PixelSet ink;
    for (const Placement& p : c.glyphs) {
      const GlyphRecord& glyph = font.Glyph(p.glyph);
      for (std::int32_t row = 0; row < glyph.height(); ++row) {
        for (std::int32_t column = 0; column < glyph.width(); ++column) {
          if (glyph.Ink(column, row)) ink.insert({p.x + column, p.y + row});
        }
      }
    }
    const PixelSet box = Area(c.box[0], c.box[1], c.box[2], c.box[3]);
    PixelSet black;
    std::set_difference(box.begin(), box.end(), ink.begin(), ink.end(), std::inserter(black, black.end()));
    EXPECT_EQ(picture.LumaPixels(kWhiteLuma), ink) << c.text;
    EXPECT_EQ(picture.LumaPixels(kBlackLuma), black) << c.text;
    EXPECT_EQ(picture.LumaPixels(kBackground).size(), static_cast<std::size_t>(c.width * c.height) - box.size())
        << c.text;
  }
}

TEST(RgbToYuv, OverlayColours) {
  const struct {
    RgbColour rgb;
    YuvColour yuv;
  } cases[] = {
      {{255, 0, 0}, {76, 85, 255}},      {{0, 255, 0}, {149, 43, 21}},     {{255, 128, 0}, {151, 42, 202}},
      {{255, 255, 255}, {255, 128, 128}}, {{0, 0, 0}, {0, 128, 128}},
      // Luma sits next to a whole number here: summing in another order gives 164, double precision 10.
      {{1, 233, 245}, {165, 173, 11}},   {{4, 0, 86}, {11, 170, 123}},
  };
  for (const auto& c : cases) EXPECT_EQ(RgbToYuv(c.rgb), c.yuv) << int{c.rgb.red} << "," << int{c.rgb.green};
}

TEST(MeasureText, LineFeedsAddLinesAndCarriageReturnsRestartThem) {
  const struct {
    std::string text;
    TextExtent extent;
  } cases[] = {
      {"", {0, 0}},        {"AB", {14, 10}},     {"A\nAB", {14, 20}}, {"AB\rA", {14, 10}},
      {"A\n", {6, 10}},    {"A\r", {6, 0}},      {"A\nB\rC", {6, 20}}, {"g\n\nA", {6, 20}},
      {"\t ", {14, 0}},    {"i\xff", {5, 10}},
  };
  for (const auto& c : cases) EXPECT_EQ(MeasureText(BuiltInFont(), c.text), c.extent) << c.text;
}

TEST(BuiltInFont, PackedRecords) {
  const std::span<const std::uint8_t> records = BuiltInFontRecords();
  EXPECT_EQ(records.size(), 691u + 1u);
  EXPECT_EQ(records.back(), 0);
  std::string codes;
  for (std::size_t at = 0; at < records.size() - 1; at += GlyphRecordSize(records[at + 1], records[at + 2])) {
    codes += static_cast<char>(records[at]);
  }
  EXPECT_EQ(codes, ".\t !(),-/@$#%:^~0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");

  const BitmapFont& font = BuiltInFont();
  const std::vector<std::uint8_t> zero{'0', 5, 10, 0x74, 0x73, 0x59, 0xC5, 0xC0, 0x00, 0x00};
  const std::vector<std::uint8_t> letter_a{'A', 6, 10, 0x31, 0x28, 0x7F, 0x86, 0x18, 0x40, 0x00, 0x00};
  const std::span<const std::uint8_t> zero_record = font.Glyph('0').bytes();
  const std::span<const std::uint8_t> a_record = font.Glyph('A').bytes();
  EXPECT_EQ(std::vector<std::uint8_t>(zero_record.begin(), zero_record.end()), zero);
  EXPECT_EQ(std::vector<std::uint8_t>(a_record.begin(), a_record.end()), letter_a);
}

// The widths decide every text box's size, so they must match the recorder's glyph for glyph.
TEST(BuiltInFont, WidthsHeightsAndFallback) {
  const std::pair<std::int32_t, std::string> widths[] = {
      {1, "!i"}, {2, ".,:j "}, {3, "()-/^1ITlrt"}, {4, "Labcdefghknopqsuvyz"}, {5, "$~023456789KNPRXYmwx"},
      {6, "@#ABCDEFGHJMOQSUVZ"}, {7, "%W"}, {10, "\t"},
  };
  const BitmapFont& font = BuiltInFont();
  for (const auto& [width, characters] : widths) {
    for (char character : characters) {
      const GlyphRecord& glyph = font.Glyph(static_cast<std::uint8_t>(character));
      EXPECT_EQ(glyph.code(), static_cast<std::uint8_t>(character));
      EXPECT_EQ(glyph.width(), width) << character;
      EXPECT_EQ(glyph.height(), character == ' ' || character == '\t' ? 0 : 10) << character;
    }
  }
  for (std::uint8_t unknown : {0x00, 0x01, 0x26, 0x3F, 0x7F, 0x80, 0xFF}) {
    EXPECT_EQ(font.Glyph(unknown).code(), '.') << int{unknown};
  }
}

}  // namespace
}  // namespace moraine
