#pragma once

// One pixel of the privacy path's colour conversions, shared by the reference and the fast forms.
//
// Forward: full-range BT.601 in 20-bit fixed point, each sum clamped to 0 … 0x0FFFFFFF before the
// shift. Back: the exact inverse of the forward matrix in the 16-bit form t(x, c) = (x × c + 0x4000)
// >> 15, luma from 64 × each byte, chroma from the sums of the four bytes of a 2 × 2 block.

#include <algorithm>
#include <cstdint>

namespace moraine::nv12_bgr {

inline constexpr std::int32_t kBlueFromU = 1865417;
inline constexpr std::int32_t kGreenFromU = -362283;
inline constexpr std::int32_t kGreenFromV = -751724;
inline constexpr std::int32_t kRedFromV = 1475871;
inline constexpr std::int32_t kForwardRound = 0x80000;
inline constexpr std::int32_t kForwardMax = 0x0FFFFFFF;
inline constexpr int kForwardShift = 20;

// The inverse of the matrix above, luma weights × 32768 and chroma weights × 65536. The luma
// weights add up to 32768 and each chroma row to 0, so greys keep their luma and stay neutral.
inline constexpr std::int16_t kLumaFromRed = 9797;
inline constexpr std::int16_t kLumaFromGreen = 19235;
inline constexpr std::int16_t kLumaFromBlue = 3736;
inline constexpr std::int16_t kLumaRound = 32;
inline constexpr int kLumaShift = 6;
inline constexpr std::int16_t kUFromRed = -11014;
inline constexpr std::int16_t kUFromGreen = -21625;
inline constexpr std::int16_t kUFromBlue = 32639;
inline constexpr std::int16_t kVFromRed = 32640;
inline constexpr std::int16_t kVFromGreen = -27332;
inline constexpr std::int16_t kVFromBlue = -5308;
inline constexpr std::int16_t kChromaOffset = 1028;  // 128.5 × 8
inline constexpr int kChromaShift = 3;
static_assert(kLumaFromRed + kLumaFromGreen + kLumaFromBlue == 32768);
static_assert(kUFromRed + kUFromGreen + kUFromBlue == 0 && kVFromRed + kVFromGreen + kVFromBlue == 0);

// Chroma value of a picture that has no pair to read.
inline constexpr std::uint8_t kNeutralChroma = 128;

inline std::uint8_t ForwardChannel(std::int32_t sum) {
  return static_cast<std::uint8_t>(std::clamp(sum, 0, kForwardMax) >> kForwardShift);
}

// Writes B, G, R of the pixel with luma `y` and chroma pair (`u`, `v`) to `out`.
inline void ForwardPixel(std::uint8_t y, std::uint8_t u, std::uint8_t v, std::uint8_t* out) {
  const std::int32_t luma = std::int32_t{y} << kForwardShift;
  const std::int32_t cu = std::int32_t{u} - 128;
  const std::int32_t cv = std::int32_t{v} - 128;
  out[0] = ForwardChannel(luma + kBlueFromU * cu + kForwardRound);
  out[1] = ForwardChannel(luma + kGreenFromU * cu + kGreenFromV * cv + kForwardRound);
  out[2] = ForwardChannel(luma + kRedFromV * cv + kForwardRound);
}

// The product is at most 16320 × 32767 and the sums below stay within 16 bits, so plain int
// arithmetic gives what the 16-bit form gives.
inline std::int32_t Scaled(std::int32_t x, std::int16_t c) { return (x * c + 0x4000) >> 15; }

inline std::uint8_t Saturated(std::int32_t value) { return static_cast<std::uint8_t>(std::clamp(value, 0, 255)); }

// Luma of the pixel at `bgr` (B, G, R).
inline std::uint8_t BackLuma(const std::uint8_t* bgr) {
  return Saturated((Scaled(64 * bgr[2], kLumaFromRed) + Scaled(64 * bgr[0], kLumaFromBlue) +
                    Scaled(64 * bgr[1], kLumaFromGreen) + kLumaRound) >> kLumaShift);
}

// The sums of the B, G and R bytes of the 2 × 2 block whose left pixels are at `top` and `bottom`.
inline void SumBlock(const std::uint8_t* top, const std::uint8_t* bottom, std::int32_t sums[3]) {
  for (int c = 0; c < 3; ++c) sums[c] = top[c] + top[3 + c] + bottom[c] + bottom[3 + c];
}

// Chroma of a 2 × 2 block from the sums of its B (s0), G (s1) and R (s2) bytes.
inline std::uint8_t BackV(std::int32_t s0, std::int32_t s1, std::int32_t s2) {
  return Saturated((Scaled(s1, kVFromGreen) + Scaled(s0, kVFromBlue) + Scaled(s2, kVFromRed) + kChromaOffset) >>
                   kChromaShift);
}
inline std::uint8_t BackU(std::int32_t s0, std::int32_t s1, std::int32_t s2) {
  return Saturated((Scaled(s1, kUFromGreen) + Scaled(s0, kUFromBlue) + Scaled(s2, kUFromRed) + kChromaOffset) >>
                   kChromaShift);
}

}  // namespace moraine::nv12_bgr
