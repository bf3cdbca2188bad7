// The privacy path's per-picture work on 1920 × 1080: the forward and back colour conversions,
// vectorised against the per-pixel reference, and the built-in mosaic.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "moraine/privacy/mosaic.h"
#include "moraine/privacy/nv12_bgr_conversion.h"

namespace moraine {
namespace {

constexpr std::int32_t kWidth = 1920;
constexpr std::int32_t kHeight = 1080;

struct Pictures {
  Pictures() : nv12(static_cast<std::size_t>(Nv12PictureBytes(kWidth, kHeight))), bgr(3 * kWidth * kHeight) {
    std::mt19937 random(1);
    for (std::uint8_t& byte : nv12) byte = static_cast<std::uint8_t>(random());
  }
  std::vector<std::uint8_t> nv12;
  std::vector<std::uint8_t> bgr;
};

using Step = void (*)(Pictures&);

void BM_Picture(benchmark::State& state, Step step) {
  Pictures pictures;
  for (auto _ : state) {
    step(pictures);
    benchmark::DoNotOptimize(pictures.nv12.data());
    benchmark::DoNotOptimize(pictures.bgr.data());
  }
}

void RoundTripVectorised(Pictures& p) {
  Nv12ToBgr(p.nv12.data(), kWidth, kHeight, p.bgr.data());
  BgrToNv12(p.bgr.data(), kWidth, kHeight, p.nv12.data());
}
void RoundTripReference(Pictures& p) {
  Nv12ToBgrReference(p.nv12.data(), kWidth, kHeight, p.bgr.data());
  BgrToNv12Reference(p.bgr.data(), kWidth, kHeight, p.nv12.data());
}
void ForwardVectorised(Pictures& p) { Nv12ToBgr(p.nv12.data(), kWidth, kHeight, p.bgr.data()); }
void BackVectorised(Pictures& p) { BgrToNv12(p.bgr.data(), kWidth, kHeight, p.nv12.data()); }
void MosaicLevel4(Pictures& p) { ApplyMosaic(p.bgr.data(), kWidth, kHeight, 4); }
void MosaicLevel16(Pictures& p) { ApplyMosaic(p.bgr.data(), kWidth, kHeight, 16); }

BENCHMARK_CAPTURE(BM_Picture, round_trip_vectorised, RoundTripVectorised)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Picture, round_trip_reference, RoundTripReference)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Picture, forward_vectorised, ForwardVectorised)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Picture, back_vectorised, BackVectorised)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Picture, mosaic_level_4, MosaicLevel4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Picture, mosaic_level_16, MosaicLevel16)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace moraine

BENCHMARK_MAIN();
