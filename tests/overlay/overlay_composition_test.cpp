// The overlay over time: table entries refreshed, swept and drawn, structured blocks stored,
// expired and drawn, through the operations the record loop calls.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "moraine/overlay/overlay.h"
#include "tools/cairn/analytic_block_builder.h"
#include "tools/cairn/info_payloads.h"

namespace moraine {
namespace {

using cairn::AnalyticBlockBuilder;
using cairn::AnalyticObjectBody;
using cairn::AnalyticObjectType;

constexpr std::uint8_t kRedLuma = 76;
constexpr std::uint8_t kBackground = 0x80;

struct Picture {
  Picture(std::int32_t w, std::int32_t h) : width(w), height(h), bytes(static_cast<std::size_t>(w * h * 3 / 2), kBackground) {}
  std::uint8_t Luma(std::int32_t x, std::int32_t y) const { return bytes[static_cast<std::size_t>(y * width + x)]; }
  std::int32_t width;
  std::int32_t height;
  std::vector<std::uint8_t> bytes;
};

std::vector<std::uint8_t> Block(const std::string& name, std::vector<AnalyticObjectBody> bodies,
                                std::uint16_t source_width = 704, std::uint16_t source_height = 576) {
  AnalyticBlockBuilder builder(name, source_width, source_height);
  for (const AnalyticObjectBody& body : bodies) builder.AddObject(AnalyticObjectType::kDrawing, body);
  return builder.Build().value();
}

AnalyticObjectBody TabledObject(std::uint16_t number) {
  AnalyticObjectBody body;
  body.Header(number, /*object_kind=*/1, /*object_state=*/1);
  return body;
}

// Records what reaches the drawing target.
class RecordingSurface final : public RenderSurface {
 public:
  void DrawText(Point, std::string_view, const RgbColour&, std::int32_t, std::int32_t, std::int32_t) override {}
  void DrawPolyline(std::span<const Point> points, const RgbColour&, std::int32_t, std::int32_t) override {
    polylines.emplace_back(points.begin(), points.end());
  }
  void DrawMarker(Point point, std::int32_t, std::int32_t, std::int32_t) override { markers.push_back(point); }
  void DrawPolygon(std::span<const Point>, const RgbColour&, std::int32_t, std::int32_t, const RgbColour&,
                   std::int32_t) override {}
  void FillPolygon(std::span<const Point>, std::int32_t, const RgbColour&) override {}
  std::vector<std::vector<Point>> polylines;
  std::vector<Point> markers;
};

TEST(OverlayComposition, MotionBoxStaysWhileRefreshedAndGoesAtTheFirstSweepFiveSecondsAfterItsLastRefresh) {
  Overlay overlay;
  const std::vector<std::uint8_t> motion = cairn::MotionPayload(1, {100, 100}, {500, 500}, {704, 576});
  std::uint32_t last_refresh = 0;
  // The first frame tells the one-letter records the picture size they are mapped onto.
  for (std::uint32_t time = 960; time <= 12000; time += 40) {
    if (time >= 1000 && time <= 5800 && (time - 1000) % 400 == 0) {
      overlay.StoreOneLetterRecord(motion.data(), motion.size(), time);
      last_refresh = time;
    }
    Picture picture(704, 576);
    overlay.ComposeFrame(picture.bytes.data(), picture.bytes.size(), 704, 576, time);
    overlay.Expire(time);
    if (last_refresh == 0) continue;
    const bool drawn = picture.Luma(70, 56) == kRedLuma && picture.Luma(352, 288) == kRedLuma;
    if (time - last_refresh <= 5000) {
      EXPECT_TRUE(drawn) << "at " << time;
    } else if (time - last_refresh > 6040) {
      // Sweeps run at most a second apart, so the box is gone a little over a second later.
      EXPECT_FALSE(drawn) << "at " << time;
    }
  }
  EXPECT_TRUE(overlay.tables().motion().empty());
}

TEST(OverlayComposition, TracesAreSmoothedAndKeepTwentyOnePoints) {
  Trace trace;
  for (const Point point : {Point{0, 0}, Point{3, 3}, Point{6, 0}, Point{9, 9}}) AppendTracePoint(trace, point);
  EXPECT_EQ(trace, (Trace{{0, 0}, {3, 3}, {3, 1}, {9, 9}}));

  for (int i = 0; i < 30; ++i) AppendTracePoint(trace, {100 + i, 7});
  EXPECT_EQ(trace.size(), 21u);
  EXPECT_EQ(trace.back(), (Point{129, 7}));
}

TEST(OverlayComposition, AnalyticsOfOneTraceNameAnswerTogetherUnderIt) {
  MetaData store;
  for (const char* name : {"Stirwatch", "motion"}) {
    const std::vector<std::uint8_t> block = Block(name, {TabledObject(1)});
    const AnalyticBlock parsed = ParseAnalyticBlock(block.data(), block.size());
    store.AddBlock(parsed, 1000);
  }
  EXPECT_EQ(store.analytic_count(), 2u);
  for (const char* request : {"motion", "Stirwatch"}) {
    const auto objects = store.GetDrawingObjects({request});
    ASSERT_EQ(objects.size(), 2u) << request;
    EXPECT_EQ(objects[0].first, "Stirwatch");
    EXPECT_EQ(objects[1].first, "Stirwatch");
  }
}

TEST(OverlayComposition, PixelationAndLensBlocksKeepTheSourceSize) {
  MetaData store;
  const std::vector<std::uint8_t> motion = Block("motion", {TabledObject(1)}, 704, 576);
  store.AddBlock(ParseAnalyticBlock(motion.data(), motion.size()), 1000);
  for (const char* name : {"Fisheye", "Pixelate"}) {
    const std::vector<std::uint8_t> block = Block(name, {TabledObject(1)}, 100, 80);
    store.AddBlock(ParseAnalyticBlock(block.data(), block.size()), 1000);
  }
  EXPECT_EQ(store.SourceWidth(), 704);
  EXPECT_EQ(store.SourceHeight(), 576);
}

TEST(OverlayComposition, LoiteringValueIsTheLastNonZeroNumberAmongTheLabels) {
  struct Case {
    std::vector<std::string> labels;
    std::int16_t value;
  };
  for (const Case& c : {Case{{"12", "0"}, 12}, Case{{"abc", "7"}, 7}, Case{{"99999999999999999999"}, -1}}) {
    AnalyticObjectBody body = TabledObject(3);
    for (const std::string& text : c.labels) body.Label({10, 10}, {255, 255, 255}, 0, 0, text);
    Overlay overlay;
    const std::vector<std::uint8_t> block = Block("loitering", {body});
    overlay.StoreStructuredBlock(block.data(), block.size(), 1000);
    // A value beyond the 32-bit range saturates; the table keeps its low 16 bits.
    ASSERT_EQ(overlay.tables().loitering().count(3), 1u);
    EXPECT_EQ(overlay.tables().loitering().at(3).value, c.value) << c.labels.front();
  }
}

TEST(OverlayComposition, IndicatorSquaresStepLeftwardAcrossTheObjectsOfAFrame) {
  AnalyticObjectBody first = TabledObject(1);
  AnalyticObjectBody second = TabledObject(2);
  for (int i = 0; i < 4; ++i) first.Indicator(1);
  second.Indicator(1).Indicator(3);
  MetaData store;
  const std::vector<std::uint8_t> block = Block("perimeter", {first, second});
  store.AddBlock(ParseAnalyticBlock(block.data(), block.size()), 1000);
  RecordingSurface surface;
  GridMapping mapping;
  mapping.frame_width = 704;
  mapping.frame_height = 576;
  DrawStructured(surface, mapping, store, {});
  std::vector<std::int32_t> offsets;
  for (const Point& marker : surface.markers) offsets.push_back(704 - marker.x);
  EXPECT_EQ(offsets, (std::vector<std::int32_t>{0, 34, 68, 102, 136, 170}));
}

TEST(OverlayComposition, StructuredMotionBoxIsDrawnWhereItsOutlineIsMapped) {
  // An open outline along the top and right edges; only the table's box draws the left edge.
  AnalyticObjectBody body = TabledObject(5);
  body.LineStyle(1, {0, 0, 255}, 0).Vertex({35, 28}).Vertex({176, 28}).Vertex({176, 144});
  Overlay overlay;
  const std::vector<std::uint8_t> block = Block("motion", {body}, 704, 480);
  overlay.StoreStructuredBlock(block.data(), block.size(), 1000);
  Picture picture(704, 480);
  overlay.ComposeFrame(picture.bytes.data(), picture.bytes.size(), 704, 480, 1000);
  // 704 × 480 maps the grid 2:1 across and to 576 rows cropped by 48: grid (35, 100) → (70, 152).
  EXPECT_EQ(picture.Luma(70, 152), kRedLuma);
  EXPECT_NE(picture.Luma(35, 100), kRedLuma);
}

TEST(OverlayComposition, CalibrationRecordsStoreNoBox) {
  Overlay overlay;
  const std::string calibration = "C1.22,635,359;";
  overlay.StoreOneLetterRecord(reinterpret_cast<const std::uint8_t*>(calibration.data()), calibration.size(), 1000);
  EXPECT_TRUE(overlay.tables().motion().empty());
}

TEST(OverlayComposition, AnalyticsEmptyTwoSecondsAfterTheirLastBlockAndNewNamesAreBounded) {
  MetaData store;
  for (std::size_t i = 0; i < MetaData::kMaxAnalytics + 1; ++i) {
    const std::vector<std::uint8_t> block = Block("analytic" + std::to_string(i), {TabledObject(1)});
    store.AddBlock(ParseAnalyticBlock(block.data(), block.size()), 1000);
  }
  EXPECT_EQ(store.analytic_count(), MetaData::kMaxAnalytics);
  EXPECT_TRUE(store.GetDrawingObjects({"analytic64"}).empty());

  store.Expire(3000);
  EXPECT_EQ(store.GetDrawingObjects({}).size(), MetaData::kMaxAnalytics);
  store.Expire(3001);
  EXPECT_TRUE(store.GetDrawingObjects({}).empty());
  EXPECT_EQ(store.analytic_count(), MetaData::kMaxAnalytics);

  // An emptied analytic makes room for a new name.
  const std::vector<std::uint8_t> block = Block("analytic64", {TabledObject(1)});
  store.AddBlock(ParseAnalyticBlock(block.data(), block.size()), 4000);
  EXPECT_EQ(store.GetDrawingObjects({"analytic64"}).size(), 1u);
}

TEST(OverlayComposition, PicturesOfTheWrongLengthPassUnchanged) {
  Overlay overlay;
  const std::vector<std::uint8_t> motion = cairn::MotionPayload(1, {100, 100}, {500, 500}, {704, 576});
  overlay.StoreOneLetterRecord(motion.data(), motion.size(), 1000);
  Picture picture(704, 576);
  const std::vector<std::uint8_t> before = picture.bytes;
  overlay.ComposeFrame(picture.bytes.data(), picture.bytes.size() - 1, 704, 576, 1000);
  EXPECT_EQ(picture.bytes, before);
}

}  // namespace
}  // namespace moraine
