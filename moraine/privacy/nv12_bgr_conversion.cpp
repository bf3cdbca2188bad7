// The colour conversions as they run on every picture of the privacy path: 16 pixels of two rows
// at a time with SSSE3 where the processor has it, the per-pixel reference elsewhere. The vector
// forms compute exactly what the reference computes (see the notes at each step), so the bytes are
// identical; the columns beyond the last multiple of 16 take the per-pixel route.

#include <algorithm>
#include <cstddef>

#include "moraine/privacy/nv12_bgr_conversion.h"
#include "moraine/privacy/nv12_bgr_pixel.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define MORAINE_NV12_BGR_SSSE3 1
#endif

namespace moraine {
namespace {

#if defined(MORAINE_NV12_BGR_SSSE3)

using namespace nv12_bgr;

constexpr std::size_t kStep = 16;

// The pair the reference reads for column x of a picture with `pairs` pairs a row (at least one).
std::size_t PairOffset(std::size_t x, std::size_t pairs) { return 2 * std::min(x / 2, pairs - 1); }

void ForwardTail(const std::uint8_t* luma, const std::uint8_t* chroma, std::size_t from, std::size_t w,
                 std::uint8_t* out) {
  const std::size_t pairs = w / 2;
  for (std::size_t x = from; x < w; ++x) {
    const std::uint8_t* pair = chroma + PairOffset(x, pairs);
    ForwardPixel(luma[x], pair[0], pair[1], out + 3 * x);
  }
}

void BackLumaTail(const std::uint8_t* bgr, std::size_t from, std::size_t w, std::uint8_t* luma) {
  for (std::size_t x = from; x < w; ++x) luma[x] = BackLuma(bgr + 3 * x);
}

// Pairs from column `from` (even) on, already in NV12 order: U, then V.
void BackChromaTail(const std::uint8_t* top, const std::uint8_t* bottom, std::size_t from, std::size_t w,
                    std::uint8_t* chroma) {
  for (std::size_t x = from; x + 1 < w; x += 2) {
    std::int32_t sums[3];
    SumBlock(top + 3 * x, bottom + 3 * x, sums);
    chroma[x] = BackU(sums[0], sums[1], sums[2]);
    chroma[x + 1] = BackV(sums[0], sums[1], sums[2]);
  }
}

// Shuffle masks between three planes of 16 bytes and 48 bytes of B, G, R triples: for plane p and
// register o of the triples, which byte goes where (-128 clears the byte).
struct ShuffleMasks {
  alignas(16) std::int8_t to_triples[3][3][16];    // [plane][output register][output byte]
  alignas(16) std::int8_t from_triples[3][3][16];  // [plane][input register][plane byte]
};

constexpr ShuffleMasks MakeShuffleMasks() {
  ShuffleMasks masks{};
  for (int p = 0; p < 3; ++p) {
    for (int o = 0; o < 3; ++o) {
      for (int j = 0; j < 16; ++j) {
        const int triple_byte = 16 * o + j;
        masks.to_triples[p][o][j] = static_cast<std::int8_t>(triple_byte % 3 == p ? triple_byte / 3 : -128);
        const int source = 3 * j + p;
        masks.from_triples[p][o][j] = static_cast<std::int8_t>(source / 16 == o ? source % 16 : -128);
      }
    }
  }
  return masks;
}
constexpr ShuffleMasks kMasks = MakeShuffleMasks();

__attribute__((target("ssse3"))) __m128i Mask(const std::int8_t (&bytes)[16]) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
}

__attribute__((target("ssse3"))) void StoreTriples(__m128i b, __m128i g, __m128i r, std::uint8_t* out) {
  const __m128i planes[3] = {b, g, r};
  for (int o = 0; o < 3; ++o) {
    __m128i triples = _mm_setzero_si128();
    for (int p = 0; p < 3; ++p) triples = _mm_or_si128(triples, _mm_shuffle_epi8(planes[p], Mask(kMasks.to_triples[p][o])));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * o), triples);
  }
}

__attribute__((target("ssse3"))) void LoadTriples(const std::uint8_t* in, __m128i planes[3]) {
  __m128i registers[3];
  for (int o = 0; o < 3; ++o) registers[o] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * o));
  for (int p = 0; p < 3; ++p) {
    planes[p] = _mm_setzero_si128();
    for (int o = 0; o < 3; ++o) {
      planes[p] = _mm_or_si128(planes[p], _mm_shuffle_epi8(registers[o], Mask(kMasks.from_triples[p][o])));
    }
  }
}

// (cu × u + cv × v + 0x80000) >> 20 for the eight pairs of `pairs_low` (pairs 0-3 as 16-bit u, v)
// and `pairs_high` (4-7), with the exact 32-bit sums of the reference.
__attribute__((target("ssse3"))) __m128i ChromaDelta(__m128i pairs_low, __m128i pairs_high, std::int32_t cu,
                                                     std::int32_t cv) {
  // pmaddwd takes 16-bit weights: c = (c / 256) × 256 + c % 256, both parts within 16 bits.
  const std::int16_t cu_high = static_cast<std::int16_t>(cu / 256);
  const std::int16_t cv_high = static_cast<std::int16_t>(cv / 256);
  const std::int16_t cu_low = static_cast<std::int16_t>(cu % 256);
  const std::int16_t cv_low = static_cast<std::int16_t>(cv % 256);
  const __m128i high_weights = _mm_setr_epi16(cu_high, cv_high, cu_high, cv_high, cu_high, cv_high, cu_high, cv_high);
  const __m128i low_weights = _mm_setr_epi16(cu_low, cv_low, cu_low, cv_low, cu_low, cv_low, cu_low, cv_low);
  const __m128i round = _mm_set1_epi32(kForwardRound);
  __m128i delta[2];
  const __m128i halves[2] = {pairs_low, pairs_high};
  for (int i = 0; i < 2; ++i) {
    const __m128i sum = _mm_add_epi32(_mm_slli_epi32(_mm_madd_epi16(halves[i], high_weights), 8),
                                      _mm_madd_epi16(halves[i], low_weights));
    delta[i] = _mm_srai_epi32(_mm_add_epi32(sum, round), kForwardShift);
  }
  // Every delta lies within ±256: packing to 16 bits saturates nothing.
  return _mm_packs_epi32(delta[0], delta[1]);
}

// Clamp(Y + delta) for 16 pixels equals the reference's clamp-then-shift, since Y << 20 is a
// multiple of 1 << 20; packus does the clamp.
__attribute__((target("ssse3"))) __m128i AddDelta(__m128i luma, __m128i delta) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i low = _mm_add_epi16(_mm_unpacklo_epi8(luma, zero), _mm_unpacklo_epi16(delta, delta));
  const __m128i high = _mm_add_epi16(_mm_unpackhi_epi8(luma, zero), _mm_unpackhi_epi16(delta, delta));
  return _mm_packus_epi16(low, high);
}

__attribute__((target("ssse3"))) void ForwardRowsSsse3(const std::uint8_t* top_luma, const std::uint8_t* bottom_luma,
                                                       const std::uint8_t* chroma, std::size_t w,
                                                       std::uint8_t* top_out, std::uint8_t* bottom_out) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i neutral = _mm_set1_epi16(128);
  const std::size_t vector_end = w / kStep * kStep;
  for (std::size_t x = 0; x < vector_end; x += kStep) {
    const __m128i pairs = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chroma + x));
    const __m128i pairs_low = _mm_sub_epi16(_mm_unpacklo_epi8(pairs, zero), neutral);
    const __m128i pairs_high = _mm_sub_epi16(_mm_unpackhi_epi8(pairs, zero), neutral);
    const __m128i blue = ChromaDelta(pairs_low, pairs_high, kBlueFromU, 0);
    const __m128i green = ChromaDelta(pairs_low, pairs_high, kGreenFromU, kGreenFromV);
    const __m128i red = ChromaDelta(pairs_low, pairs_high, 0, kRedFromV);
    const __m128i top_y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top_luma + x));
    StoreTriples(AddDelta(top_y, blue), AddDelta(top_y, green), AddDelta(top_y, red), top_out + 3 * x);
    if (bottom_luma == nullptr) continue;
    const __m128i bottom_y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom_luma + x));
    StoreTriples(AddDelta(bottom_y, blue), AddDelta(bottom_y, green), AddDelta(bottom_y, red), bottom_out + 3 * x);
  }
  ForwardTail(top_luma, chroma, vector_end, w, top_out);
  if (bottom_luma != nullptr) ForwardTail(bottom_luma, chroma, vector_end, w, bottom_out);
}

// Eight luma values from B, G, R widened to 16 bits: pmulhrsw is exactly t(x, c) = (x × c + 0x4000)
// >> 15.
__attribute__((target("ssse3"))) __m128i LumaOfWords(__m128i b, __m128i g, __m128i r) {
  __m128i sum = _mm_add_epi16(_mm_mulhrs_epi16(_mm_slli_epi16(r, 6), _mm_set1_epi16(kLumaFromRed)),
                              _mm_mulhrs_epi16(_mm_slli_epi16(b, 6), _mm_set1_epi16(kLumaFromBlue)));
  sum = _mm_add_epi16(sum, _mm_mulhrs_epi16(_mm_slli_epi16(g, 6), _mm_set1_epi16(kLumaFromGreen)));
  return _mm_srai_epi16(_mm_add_epi16(sum, _mm_set1_epi16(kLumaRound)), kLumaShift);
}

__attribute__((target("ssse3"))) __m128i LumaOf(const __m128i planes[3]) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i low = LumaOfWords(_mm_unpacklo_epi8(planes[0], zero), _mm_unpacklo_epi8(planes[1], zero),
                                  _mm_unpacklo_epi8(planes[2], zero));
  const __m128i high = LumaOfWords(_mm_unpackhi_epi8(planes[0], zero), _mm_unpackhi_epi8(planes[1], zero),
                                   _mm_unpackhi_epi8(planes[2], zero));
  return _mm_packus_epi16(low, high);
}

__attribute__((target("ssse3"))) __m128i ChromaOf(const __m128i sums[3], std::int16_t from_blue,
                                                  std::int16_t from_green, std::int16_t from_red) {
  __m128i sum = _mm_add_epi16(_mm_mulhrs_epi16(sums[1], _mm_set1_epi16(from_green)),
                              _mm_mulhrs_epi16(sums[0], _mm_set1_epi16(from_blue)));
  sum = _mm_add_epi16(sum, _mm_mulhrs_epi16(sums[2], _mm_set1_epi16(from_red)));
  const __m128i value = _mm_srai_epi16(_mm_add_epi16(sum, _mm_set1_epi16(kChromaOffset)), kChromaShift);
  return _mm_packus_epi16(value, value);
}

// Luma of one or two rows and, with two, the chroma row between them, written U first: the
// reference's (V, U) followed by its exchange.
__attribute__((target("ssse3"))) void BackRowsSsse3(const std::uint8_t* top, const std::uint8_t* bottom, std::size_t w,
                                                    std::uint8_t* top_luma, std::uint8_t* bottom_luma,
                                                    std::uint8_t* chroma) {
  const __m128i ones = _mm_set1_epi8(1);
  const std::size_t vector_end = w / kStep * kStep;
  for (std::size_t x = 0; x < vector_end; x += kStep) {
    __m128i top_planes[3];
    LoadTriples(top + 3 * x, top_planes);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(top_luma + x), LumaOf(top_planes));
    if (bottom == nullptr) continue;
    __m128i bottom_planes[3];
    LoadTriples(bottom + 3 * x, bottom_planes);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bottom_luma + x), LumaOf(bottom_planes));
    // pmaddubsw with ones adds the two bytes of each column pair; both rows give the block sums.
    __m128i sums[3];
    for (int p = 0; p < 3; ++p) {
      sums[p] = _mm_add_epi16(_mm_maddubs_epi16(top_planes[p], ones), _mm_maddubs_epi16(bottom_planes[p], ones));
    }
    const __m128i u = ChromaOf(sums, kUFromBlue, kUFromGreen, kUFromRed);
    const __m128i v = ChromaOf(sums, kVFromBlue, kVFromGreen, kVFromRed);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(chroma + x), _mm_unpacklo_epi8(u, v));
  }
  BackLumaTail(top, vector_end, w, top_luma);
  if (bottom == nullptr) return;
  BackLumaTail(bottom, vector_end, w, bottom_luma);
  BackChromaTail(top, bottom, vector_end, w, chroma);
}

bool HasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

#endif

}  // namespace

void Nv12ToBgr(const std::uint8_t* nv12, std::int32_t width, std::int32_t height, std::uint8_t* bgr) {
#if defined(MORAINE_NV12_BGR_SSSE3)
  const std::size_t w = static_cast<std::size_t>(width);
  const std::size_t h = static_cast<std::size_t>(height);
  // A picture without a single pair is tiny: the reference handles its grey.
  if (HasSsse3() && w >= 2 && h >= 2) {
    const std::uint8_t* chroma = nv12 + w * h;
    const std::size_t stride = 3 * w;
    for (std::size_t k = 0; k < h / 2; ++k) {
      ForwardRowsSsse3(nv12 + 2 * k * w, nv12 + (2 * k + 1) * w, chroma + k * w, w, bgr + 2 * k * stride,
                       bgr + (2 * k + 1) * stride);
    }
    // The last row of an odd height borrows the last chroma row.
    if (h % 2 != 0) ForwardRowsSsse3(nv12 + (h - 1) * w, nullptr, chroma + (h / 2 - 1) * w, w, bgr + (h - 1) * stride, nullptr);
    return;
  }
#endif
  Nv12ToBgrReference(nv12, width, height, bgr);
}

void BgrToNv12(const std::uint8_t* bgr, std::int32_t width, std::int32_t height, std::uint8_t* nv12) {
#if defined(MORAINE_NV12_BGR_SSSE3)
  if (HasSsse3()) {
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    const std::size_t stride = 3 * w;
    std::uint8_t* chroma = nv12 + w * h;
    for (std::size_t k = 0; k < h / 2; ++k) {
      BackRowsSsse3(bgr + 2 * k * stride, bgr + (2 * k + 1) * stride, w, nv12 + 2 * k * w, nv12 + (2 * k + 1) * w,
                    chroma + k * w);
    }
    if (h % 2 != 0) BackRowsSsse3(bgr + (h - 1) * stride, nullptr, w, nv12 + (h - 1) * w, nullptr, nullptr);
    return;
  }
#endif
  BgrToNv12Reference(bgr, width, height, nv12);
}

}  // namespace moraine
