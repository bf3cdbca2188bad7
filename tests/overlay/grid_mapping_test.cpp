// The analytic grid mapped onto frames: reference sizes, source and frame of the same or of
// different shapes, the recorder's calibration, and the bounds a mapped point is held in.

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "moraine/overlay/grid_mapping.h"
#include "moraine/overlay/yuv_bounding_box_draw.h"

namespace moraine {
namespace {

struct Size {
  std::int32_t width;
  std::int32_t height;
};

// A fresh box draw with `calibration` read from a 'C' payload and the frame set.
CYUVBoundingBoxDraw Calibrated(const std::string& calibration, Size frame) {
  CYUVBoundingBoxDraw draw;
  const std::string payload = "C" + calibration;
  EXPECT_FALSE(draw.ParseOneLetterPayload(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size()));
  draw.SetFrame(frame.width, frame.height);
  return draw;
}

TEST(GridMapping, ScaledSizeAndOffsetsFollowFrameSourceAndCalibration) {
  struct Case {
    const char* what;
    Size frame;
    Size source;
    std::string calibration;
    std::int32_t scaled_width, scaled_height;
    float x_offset, y_offset;
  };
  const Case cases[] = {
      {"square-pixel frame, same shape", {704, 576}, {704, 576}, "", 704, 576, 0, 0},
      {"source height 0 reads as 1.22", {704, 576}, {640, 0}, "", 704, 576, 0, 0},
      {"704x480 reference size", {704, 480}, {1920, 1080}, "", 704, 576, 0, 48},
      {"704x240 regardless of source", {704, 240}, {352, 288}, "", 704, 288, 0, 24},
      {"176x120 reference size", {176, 120}, {1920, 1080}, "", 176, 144, 0, 12},
      {"wide frame, same shape", {1920, 1080}, {1920, 1080}, "", 1920, 1570, 0, 245},
      {"wide frame, shapes within 0.02", {1920, 1080}, {1280, 724}, "", 1920, 1570, 0, 239},
      {"portrait frame, same shape", {576, 704}, {576, 704}, "", 860, 704, -142, 0},
      {"shapes differ, no calibration", {1920, 1080}, {704, 576}, "", 1611, 1318, 154.5f, 119},
      {"only the frame calibrated", {1920, 1080}, {704, 576}, "1.77,1600,900;", 1611, 1318, 154.5f, 119},
      {"zero pairs are missing", {1920, 1080}, {704, 576}, "1.77,0,900;1.22,1600,0;", 1611, 1318, 154.5f, 119},
      {"calibrated alike", {1920, 1080}, {704, 576}, "1.77,1600,900;1.22,3200,1800;", 1920, 1080, 0, 0},
      {"calibrated unlike", {1920, 1080}, {704, 576}, "1.77,1920,1080;1.22,704,576;", 704, 576, 608, -252},
      {"1.22 over 1.33 calibrated alike", {704, 576}, {640, 480}, "1.22,200,100;1.33,100,50;", 704, 576, 0, 0},
      {"1.22 over 1.25 always scaled", {704, 576}, {720, 576}, "1.22,200,100;1.25,100,50;", 352, 288, 176, -144},
      {"portrait frame, shapes differ", {1080, 1920}, {704, 576}, "", 2607, 2133, -763, 106},
      {"portrait frame, source turned", {576, 704}, {1000, 800}, "0.81,100,200;0.8,100,400;", 1720, 1408, -572, 352},
      {"products beyond 32 bits", {INT_MAX, 1}, {704, 576}, "", 1802533517, 1474800150, 172475072, 737400064},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const CYUVBoundingBoxDraw draw = Calibrated(c.calibration, c.frame);
    const GridMapping mapping =
        draw.ComputeGridMapping(c.source.width, c.source.height, c.frame.width, c.frame.height);
    EXPECT_EQ(mapping.scaled_width, c.scaled_width);
    EXPECT_EQ(mapping.scaled_height, c.scaled_height);
    EXPECT_EQ(mapping.x_offset, c.x_offset);
    EXPECT_EQ(mapping.y_offset, c.y_offset);
    EXPECT_EQ(mapping.frame_width, c.frame.width);
  }
}

TEST(GridMapping, MappedPointsStayInsideTheMappedAreaAndTheFrame) {
  struct Case {
    GridMapping mapping;
    Point grid;
    Point expected;
  };
  const GridMapping interlaced{704, 576, 0, 48, 704, 480};
  const GridMapping barred{1611, 1318, 154.5f, 119, 1920, 1080};
  const GridMapping portrait{2607, 2133, -763, 106, 1080, 1920};
  const Case cases[] = {
      {interlaced, {176, 144}, {352, 240}},  {interlaced, {0, 0}, {0, 0}},
      {interlaced, {352, 288}, {703, 479}},  {barred, {-10, 0}, {154, 0}},
      {barred, {352, 288}, {1765, 1079}},    {portrait, {352, 0}, {1079, 0}},
      {{704, 576, 0, 100, 704, 576}, {0, 288}, {0, 375}},  {{704, 576, 0, 0, 704, 576}, {INT_MAX, INT_MIN}, {703, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MapGridPoint(c.mapping, c.grid), c.expected) << c.grid.x << "," << c.grid.y;
  }
}

TEST(GridMapping, CalibrationTextKeepsOnlyCompleteSaneEntries) {
  struct Case {
    std::string text;
    std::size_t stored;
    float key;
    CalibrationPair pair;
  };
  const Case cases[] = {
      {"1.22,635,359;1.33,640,480", 1, 1.22f, {635, 359}},
      {"1.22,635,359;1.22,700,400;", 1, 1.22f, {700, 400}},
      {"abc;1.22,,359;1.5,2;1.22,635,359;", 1, 1.22f, {635, 359}},
      {";1.22,635,359;", 0, 1.22f, {}},
      {"nan,1,1;inf,1,1;-1.5,1,1;0,1,1;1.5,65536,1;1.5,1,-3;1.5,0,1;", 0, 1.5f, {}},
  };
  for (const Case& c : cases) {
    const CYUVBoundingBoxDraw draw = Calibrated(c.text, {0, 0});
    EXPECT_EQ(draw.calibration().size(), c.stored) << c.text;
    EXPECT_EQ(draw.calibration().Find(c.key).value_or(CalibrationPair{}), c.pair) << c.text;
  }
}

TEST(GridMapping, CalibrationKeysAreBoundedButStayWritable) {
  std::string text;
  for (std::size_t key = 1; key <= CalibrationTable::kMaxKeys + 1; ++key) text += std::to_string(key) + ",4,3;";
  const CYUVBoundingBoxDraw draw = Calibrated(text + "1,16,9;", {0, 0});
  EXPECT_EQ(draw.calibration().size(), CalibrationTable::kMaxKeys);
  EXPECT_FALSE(draw.calibration().Find(static_cast<float>(CalibrationTable::kMaxKeys + 1)));
  EXPECT_EQ(draw.calibration().Find(1), (CalibrationPair{16, 9}));
}

TEST(GridMapping, ReferenceFramesHaveTheirOwnAspect) {
  CYUVBoundingBoxDraw draw;
  draw.SetFrame(704, 480);
  EXPECT_EQ(draw.record().frame_aspect, 1.46f);
  draw.SetFrame(1920, 1080);
  EXPECT_EQ(draw.record().frame_aspect, 1.77f);
}

}  // namespace
}  // namespace moraine
