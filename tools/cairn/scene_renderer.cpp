#include "tools/cairn/scene_renderer.h"

#include <algorithm>
#include <cmath>

#include "tools/cairn/analytic_geometry.h"

namespace moraine::cairn {
namespace {

struct Yuv {
  std::uint8_t y = 0;
  std::uint8_t u = 0;
  std::uint8_t v = 0;
};

// BT.601, limited range: what cameras deliver.
Yuv ToYuv(Rgb colour) {
  const double r = colour.red;
  const double g = colour.green;
  const double b = colour.blue;
  auto byte = [](double value) { return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L)); };
  return {byte(16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255),
          byte(128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255),
          byte(128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255)};
}

constexpr Rgb kSkinLight{224, 172, 138};
constexpr Rgb kSkinDark{176, 118, 82};
constexpr Rgb kShirtBlue{40, 70, 160};
constexpr Rgb kTrousers{50, 45, 40};
constexpr Rgb kCoatGreen{60, 120, 60};
constexpr Rgb kCarRed{190, 30, 30};
constexpr Rgb kWindow{150, 190, 220};
constexpr Rgb kTyre{20, 20, 20};
constexpr Rgb kFlameOrange{240, 110, 20};
constexpr Rgb kFlameYellow{250, 220, 60};

// A fixed pseudo-random value per position, mixed from the seed (splitmix64 finaliser).
std::uint32_t Hash(std::uint32_t seed, int x, int y) {
  std::uint64_t value = (static_cast<std::uint64_t>(seed) << 32) ^ (static_cast<std::uint64_t>(x) << 16) ^
                        static_cast<std::uint64_t>(y);
  value += 0x9E3779B97F4A7C15ull;
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
  return static_cast<std::uint32_t>(value ^ (value >> 31));
}

// Part of `outer` given in fractions of its own size.
NormalisedRect Part(const NormalisedRect& outer, double left, double top, double right, double bottom) {
  const double width = outer.right - outer.left;
  const double height = outer.bottom - outer.top;
  return {outer.left + left * width, outer.top + top * height, outer.left + right * width,
          outer.top + bottom * height};
}

enum class Shape { kRectangle, kEllipse };

bool Inside(Shape shape, const NormalisedRect& rect, double x, double y) {
  if (x < rect.left || x >= rect.right || y < rect.top || y >= rect.bottom) return false;
  if (shape == Shape::kRectangle) return true;
  const double dx = (x - (rect.left + rect.right) / 2) / ((rect.right - rect.left) / 2);
  const double dy = (y - (rect.top + rect.bottom) / 2) / ((rect.bottom - rect.top) / 2);
  return dx * dx + dy * dy <= 1;
}

// Fine detail on a surface: every 2 x 2 cell of it, counted from the surface's top-left corner so
// that the pattern moves with the object, gets its own brightness between `darkest` and
// `brightest` times the colour. Scaling R, G and B alike keeps hue and saturation, so skin stays
// skin to a colour rule. `key` 0 means a flat surface.
struct Texture {
  std::uint32_t key = 0;
  double darkest = 1;
  double brightest = 1;
};

constexpr int kTextureCell = 2;

Rgb Shaded(Rgb colour, double factor) {
  auto scale = [factor](std::uint8_t value) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(value * factor), 0L, 255L));
  };
  return {scale(colour.red), scale(colour.green), scale(colour.blue)};
}

// Paints a shape into all three planes; pixel centres decide coverage.
void Fill(YuvPicture& picture, Shape shape, const NormalisedRect& rect, Rgb colour, const Texture& texture = {}) {
  const Yuv flat = ToYuv(colour);
  const int x0 = std::max(0, static_cast<int>(std::floor(rect.left * picture.width)));
  const int x1 = std::min(picture.width, static_cast<int>(std::ceil(rect.right * picture.width)));
  const int y0 = std::max(0, static_cast<int>(std::floor(rect.top * picture.height)));
  const int y1 = std::min(picture.height, static_cast<int>(std::ceil(rect.bottom * picture.height)));
  // Cells start on even pixels, so that each takes one chroma sample of its own.
  const int origin_x = x0 / kTextureCell * kTextureCell;
  const int origin_y = y0 / kTextureCell * kTextureCell;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const double nx = (x + 0.5) / picture.width;
      const double ny = (y + 0.5) / picture.height;
      if (!Inside(shape, rect, nx, ny)) continue;
      Yuv yuv = flat;
      if (texture.key != 0) {
        const std::uint32_t cell = Hash(texture.key, (x - origin_x) / kTextureCell, (y - origin_y) / kTextureCell);
        const double factor = texture.darkest + (texture.brightest - texture.darkest) * (cell % 256) / 255.0;
        yuv = ToYuv(Shaded(colour, factor));
      }
      picture.luma[static_cast<std::size_t>(y) * picture.width + x] = yuv.y;
      if (x % 2 == 0 && y % 2 == 0) {
        const std::size_t chroma_index = static_cast<std::size_t>(y / 2) * (picture.width / 2) + x / 2;
        picture.chroma_u[chroma_index] = yuv.u;
        picture.chroma_v[chroma_index] = yuv.v;
      }
    }
  }
}

// A person a viewer could recognise: a face with eyes and a mouth under skin of fine, high-contrast
// detail, and textured clothes. `key` keeps the pattern of each person its own.
void DrawFigure(YuvPicture& picture, const NormalisedRect& bounds, Rgb skin, Rgb coat, std::uint32_t key) {
  const Texture skin_texture{key, 0.5, 1.12};
  Fill(picture, Shape::kRectangle, Part(bounds, 0.15, 0.2, 0.85, 0.62), coat, {key + 1, 0.4, 1.6});
  Fill(picture, Shape::kRectangle, Part(bounds, 0.2, 0.62, 0.8, 1.0), kTrousers, {key + 2, 0.5, 2.5});
  const NormalisedRect face = HeadOf(bounds);
  Fill(picture, Shape::kEllipse, face, skin, skin_texture);
  // Eyes and mouth in deep shades of the skin, as shadowed features look to a camera.
  Fill(picture, Shape::kEllipse, Part(face, 0.24, 0.34, 0.42, 0.5), Shaded(skin, 0.3));
  Fill(picture, Shape::kEllipse, Part(face, 0.58, 0.34, 0.76, 0.5), Shaded(skin, 0.3));
  Fill(picture, Shape::kEllipse, Part(face, 0.34, 0.68, 0.66, 0.8), Shaded(skin, 0.55));
  Fill(picture, Shape::kRectangle, Part(bounds, 0.0, 0.24, 0.15, 0.55), skin, skin_texture);
  Fill(picture, Shape::kRectangle, Part(bounds, 0.85, 0.24, 1.0, 0.55), skin, skin_texture);
}

void DrawVehicle(YuvPicture& picture, const NormalisedRect& bounds) {
  Fill(picture, Shape::kRectangle, Part(bounds, 0.0, 0.3, 1.0, 0.8), kCarRed);
  Fill(picture, Shape::kRectangle, Part(bounds, 0.2, 0.0, 0.75, 0.32), kCarRed);
  Fill(picture, Shape::kRectangle, Part(bounds, 0.26, 0.06, 0.69, 0.3), kWindow);
  Fill(picture, Shape::kEllipse, Part(bounds, 0.1, 0.62, 0.3, 1.0), kTyre);
  Fill(picture, Shape::kEllipse, Part(bounds, 0.7, 0.62, 0.9, 1.0), kTyre);
}

void DrawFire(YuvPicture& picture, const NormalisedRect& bounds) {
  Fill(picture, Shape::kEllipse, bounds, kFlameOrange);
  Fill(picture, Shape::kEllipse, Part(bounds, 0.25, 0.35, 0.75, 0.95), kFlameYellow);
}

// Distinct for each person, and never 0 (a flat surface).
std::uint32_t FigureKey(const ScenePlacement& placement) {
  return 0x51ED0000u + 16u * static_cast<std::uint32_t>(placement.object_number);
}

YuvPicture RenderBackground(std::uint32_t seed, int width, int height) {
  YuvPicture picture(width, height);
  const int horizon = height * 45 / 100;
  const int brick_height = std::max(4, height / 24);
  const int brick_width = brick_height * 3;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int luma;
      if (y < horizon) {
        luma = 190 - 50 * y / std::max(1, horizon);  // sky, darker towards the horizon
      } else {
        // A brick wall: mortar lines, each row of bricks shifted by half a brick.
        const int row = (y - horizon) / brick_height;
        const int shifted_x = x + (row % 2) * brick_width / 2;
        const bool mortar = (y - horizon) % brick_height == 0 || shifted_x % brick_width == 0;
        luma = mortar ? 170 : 95 + static_cast<int>(Hash(seed, shifted_x / brick_width, row) % 30);
      }
      // Fine grain per 2 x 2 block gives the encoder some texture to work on.
      luma += static_cast<int>(Hash(seed ^ 0xA5A5A5A5u, x / 2, y / 2) % 13) - 6;
      picture.luma[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint8_t>(std::clamp(luma, 16, 235));
    }
  }
  for (int y = 0; y < height / 2; ++y) {
    const bool sky = 2 * y < horizon;
    for (int x = 0; x < width / 2; ++x) {
      const std::size_t index = static_cast<std::size_t>(y) * (width / 2) + x;
      picture.chroma_u[index] = sky ? 142 : 118;
      picture.chroma_v[index] = sky ? 118 : 140;
    }
  }
  return picture;
}

}  // namespace

SceneRenderer::SceneRenderer(const Scene& scene, int width, int height)
    : scene_(scene), background_(RenderBackground(scene.seed(), width, height)) {}

YuvPicture SceneRenderer::Render(double seconds) const {
  YuvPicture picture = background_;
  for (const ScenePlacement& placement : scene_.PlacementsAt(seconds)) {
    switch (placement.role) {
      case SceneRole::kPerson:
        DrawFigure(picture, placement.bounds, kSkinLight, kShirtBlue, FigureKey(placement));
        break;
      case SceneRole::kLoiterer:
        DrawFigure(picture, placement.bounds, kSkinDark, kCoatGreen, FigureKey(placement));
        break;
      case SceneRole::kVehicle: DrawVehicle(picture, placement.bounds); break;
      case SceneRole::kFire: DrawFire(picture, placement.bounds); break;
    }
  }
  return picture;
}

}  // namespace moraine::cairn
