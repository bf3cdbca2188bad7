// One-letter analytic payloads parsed into the persistent box record and placed on the frame,
// with payload bytes as the cairn tool writes them for a recorder.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "moraine/overlay/yuv_bounding_box_draw.h"
#include "tools/cairn/info_payloads.h"

namespace moraine {
namespace {

using Payload = std::vector<std::uint8_t>;

Payload Cut(Payload payload, std::size_t length) {
  payload.resize(length);
  return payload;
}

Payload Text(const std::string& text) { return {text.begin(), text.end()}; }

Payload WithByte(Payload payload, std::size_t offset, std::uint8_t value) {
  payload[offset] = value;
  return payload;
}

const Payload kMotion = cairn::MotionPayload(1, {100, 100}, {500, 500}, {704, 576});
const Payload kFire = cairn::FirePayload(19, 1, 2, {35, 28, 176, 144}, {704, 576});
// Sub-form 'Z' of a full-length perimeter payload, object 9 on a 1920 x 1080 source.
const Payload kPerimeterUnknown = WithByte(cairn::PerimeterAlarmPayload(9, true, {1920, 1080}), 1, 'Z');

TEST(OneLetterRecord, PayloadsFillTheRecordInFramePixels) {
  struct Case {
    const char* what;
    std::int32_t frame_width, frame_height;
    std::vector<Payload> earlier;
    Payload payload;
    bool handed_on;
    BoxKind kind;
    std::int32_t object_number, active;
    BoxRectangle rectangle;
    std::int32_t source_width, source_height;
    Point trace_point = {};
    std::int32_t value = 0;
    std::uint16_t fire_state = 0;
  };
  const Case cases[] = {
      {"motion", 704, 576, {}, kMotion, true, BoxKind::kMotion, 1, 1, {70, 56, 352, 288}, 704, 576},
      {"lower-case letter, corner 0 inactive", 704, 576, {},
       WithByte(cairn::MotionPayload(16, {0, 0}, {500, 500}, {704, 576}), 0, 'm'), true, BoxKind::kMotion, 16, 0,
       {0, 0, 352, 288}, 704, 576},
      {"before the first frame", 0, 0, {}, kMotion, true, BoxKind::kMotion, 1, 1, {-1, -1, -1, -1}, 704, 576},
      {"motion of 12 bytes keeps the source size", 704, 576,
       {cairn::MotionPayload(2, {0, 0}, {1, 1}, {352, 288})}, Cut(kMotion, 12), true, BoxKind::kMotion, 1, 1,
       {70, 56, 352, 288}, 352, 288},
      {"loitering on a cropped reference frame", 704, 480, {},
       cairn::LoiteringPayload(3, true, {0, 0, 176, 144}, 7, {704, 480}), true, BoxKind::kLoitering, 3, 1,
       {0, 0, 352, 240}, 704, 480, {}, 7},
      {"perimeter object, trace not clamped", 704, 480, {},
       cairn::PerimeterObjectPayload(4, {0, 0, 176, 144}, {10, 0}, {704, 480}), true, BoxKind::kPerimeterObject, 4,
       0, {0, 0, 352, 240}, 704, 480, {20, -48}},
      {"perimeter alarm of 9 bytes keeps only its number", 704, 576, {kMotion},
       Payload{'P', 'A', 0, 0, 5, 1, 1, 0, 0}, false, BoxKind::kMotion, 5, 1, {70, 56, 352, 288}, 704, 576},
      {"perimeter alarm of 10 bytes, flags clear", 704, 576, {kMotion}, Payload{'P', 'a', 0, 0, 5, 0, 0, 0, 0, 0},
       true, BoxKind::kPerimeterAlarm, 5, 0, {}, 704, 576},
      {"unknown sub-form leaves its source size to a short motion", 704, 576, {kPerimeterUnknown},
       Cut(kMotion, 12), true, BoxKind::kMotion, 1, 1, {115, 93, 352, 288}, 1920, 1080},
      {"fire", 704, 576, {}, kFire, true, BoxKind::kFire, 19, 0, {70, 56, 352, 288}, 704, 576, {}, 0, 1},
      {"fire object 20 is refused", 704, 576, {kFire},
       cairn::FirePayload(20, 2, 2, {0, 0, 10, 10}, {352, 288}), false, BoxKind::kFire, 19, 0, {70, 56, 352, 288},
       704, 576, {}, 0, 1},
      {"calibration is kept, not handed on", 704, 576, {kMotion}, Text("C1.22,635,359;"), false,
       BoxKind::kCalibration, 1, 1, {70, 56, 352, 288}, 704, 576},
      {"unknown letter", 704, 576, {kMotion}, Text("x"), false, BoxKind::kNothing, 1, 1, {70, 56, 352, 288}, 704,
       576},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CYUVBoundingBoxDraw draw;
    if (c.frame_width != 0) draw.SetFrame(c.frame_width, c.frame_height);
    for (const Payload& earlier : c.earlier) draw.ParseOneLetterPayload(earlier.data(), earlier.size());
    EXPECT_EQ(draw.ParseOneLetterPayload(c.payload.data(), c.payload.size()), c.handed_on);
    const BoxRecord& record = draw.record();
    EXPECT_EQ(record.kind, c.kind);
    EXPECT_EQ(record.object_number, c.object_number);
    EXPECT_EQ(record.active, c.active);
    EXPECT_EQ(record.rectangle, c.rectangle);
    EXPECT_EQ(record.source_width, c.source_width);
    EXPECT_EQ(record.source_height, c.source_height);
    EXPECT_EQ(record.trace_point, c.trace_point);
    EXPECT_EQ(record.value, c.value);
    EXPECT_EQ(record.fire_state, c.fire_state);
  }
}

}  // namespace
}  // namespace moraine
