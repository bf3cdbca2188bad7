// ComposeFrame on a 1920 × 1080 picture with 20 structured objects (six-point outlines, 21-point
// traces, two labels each) and the 20 motion table entries they make.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "moraine/overlay/overlay.h"
#include "tools/cairn/analytic_block_builder.h"

namespace moraine {
namespace {

constexpr std::int32_t kWidth = 1920;
constexpr std::int32_t kHeight = 1080;
constexpr int kObjects = 20;
constexpr std::uint32_t kTime = 10000;

std::vector<std::uint8_t> MotionBlock(int step) {
  cairn::AnalyticBlockBuilder block("motion", kWidth, kHeight);
  for (int i = 0; i < kObjects; ++i) {
    const int left = 10 + (i % 5) * 68 + step;
    const int top = 20 + (i / 5) * 64;
    cairn::AnalyticObjectBody body;
    body.Header(static_cast<std::uint16_t>(i + 1), 1, 1)
        .LineStyle(2, {0, 255, 0}, 0)
        .TracePoint({left + 20, top + 50}, true)
        .Vertex({left + 20, top})
        .Vertex({left + 40, top + 12})
        .Vertex({left + 40, top + 38})
        .Vertex({left + 20, top + 50})
        .Vertex({left, top + 38})
        .Vertex({left, top + 12})
        .Label({left, top}, {255, 255, 255}, 0, 1, "person " + std::to_string(i + 1))
        .Label({left, top + 52}, {255, 255, 255}, 0, 1, "12 s");
    block.AddObject(cairn::AnalyticObjectType::kDrawing, body);
  }
  return block.Build().value();
}

void BM_ComposeFrame1080p(benchmark::State& state) {
  Overlay overlay;
  std::vector<std::uint8_t> picture(kWidth * kHeight * 3 / 2, 0x80);
  // 21 blocks moving the objects along fill every trace.
  for (int step = 0; step <= 21; ++step) {
    const std::vector<std::uint8_t> block = MotionBlock(step);
    overlay.StoreStructuredBlock(block.data(), block.size(), kTime);
  }
  for (auto _ : state) {
    overlay.ComposeFrame(picture.data(), picture.size(), kWidth, kHeight, kTime);
    overlay.Expire(kTime);
    benchmark::DoNotOptimize(picture.data());
  }
  state.counters["table_entries"] = static_cast<double>(overlay.tables().motion().size());
}
BENCHMARK(BM_ComposeFrame1080p)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace moraine

BENCHMARK_MAIN();
