// AnonymizeFrame of libAnonymizer.so on 1920 × 1080 colour pictures, for each detection option, with
// the parameters the program sends for pixelation level 16: pixelated, block size divisor
// (1920 + 1080) / 16. A square moves across a still scene with a patch of skin, so the background
// model has work to do every picture.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "anonymizer/anonymizer_exports.h"
#include "platform/module_loader.h"

namespace moraine {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kPictures = 16;  // distinct positions of the square, used in turn

std::vector<std::uint8_t> Picture(int index) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(kWidth) * kHeight * 3);
  const int left = 100 + 50 * index;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      std::uint8_t* pixel = &pixels[(static_cast<std::size_t>(y) * kWidth + x) * 3];
      const bool square = x >= left && x < left + 200 && y >= 300 && y < 600;
      const bool skin = x >= 1500 && x < 1700 && y >= 700 && y < 950;
      const int b = square ? 40 : skin ? 80 : 150 + (x + y) % 40;
      const int g = square ? 180 : skin ? 120 : 110 + x % 30;
      const int r = square ? 60 : skin ? 180 : 70 + y % 20;
      pixel[0] = static_cast<std::uint8_t>(b);
      pixel[1] = static_cast<std::uint8_t>(g);
      pixel[2] = static_cast<std::uint8_t>(r);
    }
  }
  return pixels;
}

void BM_AnonymizeFrame1080p(benchmark::State& state) {
  const platform::LoadedModule module(platform::ModuleFileName("Anonymizer"));
  const auto get_object = module.EntryPoint<decltype(&GetAnonymizerObjPtr)>("GetAnonymizerObjPtr");
  const auto set_parameters = module.EntryPoint<decltype(&SetAnonymizationParameters)>("SetAnonymizationParameters");
  const auto anonymize = module.EntryPoint<decltype(&AnonymizeFrame)>("AnonymizeFrame");
  const auto release = module.EntryPoint<decltype(&ReleaseAnonymizerObjPtr)>("ReleaseAnonymizerObjPtr");
  if (get_object == nullptr || set_parameters == nullptr || anonymize == nullptr || release == nullptr) {
    state.SkipWithError("libAnonymizer.so not found beside the benchmark");
    return;
  }
  IAnonymizer* anonymizer = get_object(0, 0);
  AnonymizationParameters parameters;
  parameters.maskingType = 2;
  parameters.pixelBlockSize = (kWidth + kHeight) / 16;
  parameters.blurIntensity = 4;
  parameters.algorithmType = static_cast<std::int32_t>(state.range(0));
  set_parameters(anonymizer, &parameters);

  std::vector<std::vector<std::uint8_t>> originals;
  for (int i = 0; i < kPictures; ++i) originals.push_back(Picture(i));
  std::vector<std::uint8_t> picture;
  BitmapInfoHeader header;
  header.biWidth = kWidth;
  header.biHeight = -kHeight;
  header.biBitCount = 24;
  int index = 0;
  bool refused = false;
  for (auto _ : state) {
    state.PauseTiming();
    picture = originals[index++ % kPictures];
    const AnonymizerFrame record = PackedFrameRecord(picture.data(), header);
    state.ResumeTiming();
    refused |= !anonymize(anonymizer, &record);
  }
  release(anonymizer);
  if (refused) state.SkipWithError("a picture was refused");
}
// 0: moving regions or skin, 1: moving regions only, 2: skin only.
BENCHMARK(BM_AnonymizeFrame1080p)->ArgName("option")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace moraine

BENCHMARK_MAIN();
