#include "moraine/overlay/yuv_bounding_box_draw.h"

#include <algorithm>
#include <limits>

#include "moraine/overlay/analytic_block.h"

namespace moraine {
namespace {

constexpr float kReferenceFrameAspect = 1.46f;

// Payload lengths, the letter included: the least each form needs, and the length from which the
// optional source size is present.
constexpr std::size_t kMotionLength = 7;
constexpr std::size_t kMotionSourceLength = 13;
constexpr std::size_t kLoiteringLength = 13;
constexpr std::size_t kLoiteringSourceLength = 20;
constexpr std::size_t kFireLength = 20;
constexpr std::size_t kPerimeterLength = 2;
constexpr std::size_t kPerimeterNumberLength = 5;
constexpr std::size_t kPerimeterSourceLength = 23;
constexpr std::size_t kPerimeterAlarmLength = 10;
constexpr std::size_t kPerimeterObjectLength = 20;

// Byte offsets of the fields.
constexpr std::size_t kMotionTopLeft = 1;  // high nibble: object number - 1
constexpr std::size_t kMotionBottomRight = 4;
constexpr std::size_t kMotionSource = 9;
constexpr std::size_t kObjectNumber = 1;  // 'L' and 'F'
constexpr std::size_t kLoiteringActive = 2;
constexpr std::size_t kLoiteringRectangle = 3;
constexpr std::size_t kLoiteringValue = 11;
constexpr std::size_t kLoiteringSource = 16;
constexpr std::size_t kFireState = 2;
constexpr std::size_t kFireDetail = 4;
constexpr std::size_t kFireRectangle = 6;
constexpr std::size_t kFireSource = 16;
constexpr std::size_t kPerimeterSubForm = 1;
constexpr std::size_t kPerimeterNumber = 3;
constexpr std::size_t kPerimeterSource = 19;
constexpr std::size_t kPerimeterAlarmFlags = 5;  // two bytes, either set
constexpr std::size_t kPerimeterRectangle = 5;
constexpr std::size_t kPerimeterTrace = 13;

// The fire table holds object numbers 0 to 19; a higher number would hand on the previous
// payload's box under a number nobody reported.
constexpr std::uint8_t kFireObjectLimit = 20;

// Motion corners are coded as X * 1000 + Y in thousandths of the source picture, 20 bits.
constexpr std::int32_t kThousandths = 1000;

// Letters count in either case, whatever the locale.
std::uint8_t Letter(std::uint8_t byte) {
  return byte >= 'a' && byte <= 'z' ? static_cast<std::uint8_t>(byte - 'a' + 'A') : byte;
}

// The 20-bit code of a motion corner: 4 bits in the low nibble of `offset`, 16 in the word after it.
std::int32_t MotionCode(std::span<const std::uint8_t> payload, std::size_t offset) {
  return (payload[offset] & 0x0F) << 16 | ReadWord(payload, offset + 1);
}

Point MotionCorner(std::int32_t code) {
  return {code / kThousandths * kAnalyticGridWidth / kThousandths,
          code % kThousandths * kAnalyticGridHeight / kThousandths};
}

BoxRectangle ReadRectangle(std::span<const std::uint8_t> payload, std::size_t offset) {
  return {ReadWord(payload, offset), ReadWord(payload, offset + 2), ReadWord(payload, offset + 4),
          ReadWord(payload, offset + 6)};
}

Point ReadPoint(std::span<const std::uint8_t> payload, std::size_t offset) {
  return {ReadWord(payload, offset), ReadWord(payload, offset + 2)};
}

// Into 0 .. size - 1; before the first frame (size 0) that is -1.
std::int32_t ClampToFrame(std::int32_t value, std::int32_t size) {
  const std::int64_t clamped = std::min<std::int64_t>(std::max(value, 0), std::int64_t{size} - 1);
  return static_cast<std::int32_t>(std::max<std::int64_t>(clamped, std::numeric_limits<std::int32_t>::min()));
}

}  // namespace

bool CYUVBoundingBoxDraw::ParseOneLetterPayload(const std::uint8_t* payload, std::size_t length) {
  if (payload == nullptr || length == 0) {
    record_.kind = BoxKind::kNothing;
    return false;
  }
  const std::span<const std::uint8_t> bytes(payload, length);
  switch (Letter(bytes[0])) {
    case 'M':
      return ParseMotion(bytes);
    case 'L':
      return ParseLoitering(bytes);
    case 'F':
      return ParseFire(bytes);
    case 'P':
      return ParsePerimeter(bytes);
    case 'C':
      // Calibration only feeds the mapping; the tables would take its record for a motion box.
      record_.kind = BoxKind::kCalibration;
      calibration_.ReadText(bytes.subspan(1));
      return false;
    default:
      record_.kind = BoxKind::kNothing;
      return false;
  }
}

bool CYUVBoundingBoxDraw::ParseMotion(std::span<const std::uint8_t> payload) {
  if (payload.size() < kMotionLength) return false;
  const std::int32_t top_left_code = MotionCode(payload, kMotionTopLeft);
  const std::int32_t bottom_right_code = MotionCode(payload, kMotionBottomRight);
  const Point top_left = MotionCorner(top_left_code);
  const Point bottom_right = MotionCorner(bottom_right_code);
  record_.kind = BoxKind::kMotion;
  record_.object_number = (payload[kMotionTopLeft] >> 4) + 1;
  record_.active = top_left_code != 0 && bottom_right_code != 0 ? 1 : 0;
  record_.value = 0;
  record_.trace_point = {};
  // Shorter payloads come from recorders that leave the source size to an earlier payload.
  if (payload.size() >= kMotionSourceLength) {
    record_.source_width = ReadWord(payload, kMotionSource);
    record_.source_height = ReadWord(payload, kMotionSource + 2);
  }
  SetMappedRectangle(RecordMapping(), {top_left.x, top_left.y, bottom_right.x, bottom_right.y});
  return true;
}

bool CYUVBoundingBoxDraw::ParseLoitering(std::span<const std::uint8_t> payload) {
  if (payload.size() < kLoiteringLength) return false;
  record_.kind = BoxKind::kLoitering;
  record_.object_number = payload[kObjectNumber];
  record_.active = payload[kLoiteringActive] != 0 ? 1 : 0;
  record_.value = ReadWord(payload, kLoiteringValue);
  record_.trace_point = {};
  if (payload.size() >= kLoiteringSourceLength) {
    record_.source_width = ReadWord(payload, kLoiteringSource);
    record_.source_height = ReadWord(payload, kLoiteringSource + 2);
  }
  SetMappedRectangle(RecordMapping(), ReadRectangle(payload, kLoiteringRectangle));
  return true;
}

bool CYUVBoundingBoxDraw::ParseFire(std::span<const std::uint8_t> payload) {
  if (payload.size() < kFireLength || payload[kObjectNumber] >= kFireObjectLimit) return false;
  record_.kind = BoxKind::kFire;
  record_.object_number = payload[kObjectNumber];
  record_.fire_state = ReadWord(payload, kFireState);
  record_.fire_detail = ReadWord(payload, kFireDetail);
  record_.source_width = ReadWord(payload, kFireSource);
  record_.source_height = ReadWord(payload, kFireSource + 2);
  SetMappedRectangle(RecordMapping(), ReadRectangle(payload, kFireRectangle));
  return true;
}

bool CYUVBoundingBoxDraw::ParsePerimeter(std::span<const std::uint8_t> payload) {
  if (payload.size() < kPerimeterLength) return false;
  // The recorder writes these two before it looks at the sub-form, and later payloads rely on
  // them staying when the sub-form is then rejected.
  if (payload.size() >= kPerimeterSourceLength) {
    record_.source_width = ReadWord(payload, kPerimeterSource);
    record_.source_height = ReadWord(payload, kPerimeterSource + 2);
  }
  if (payload.size() >= kPerimeterNumberLength) record_.object_number = ReadWord(payload, kPerimeterNumber);

  switch (Letter(payload[kPerimeterSubForm])) {
    case 'A':
      if (payload.size() < kPerimeterAlarmLength) return false;
      record_.kind = BoxKind::kPerimeterAlarm;
      record_.active = payload[kPerimeterAlarmFlags] != 0 || payload[kPerimeterAlarmFlags + 1] != 0 ? 1 : 0;
      record_.value = 0;
      record_.rectangle = {};  // an alarm carries no box; nothing is mapped
      record_.trace_point = {};
      return true;
    case 'O': {
      if (payload.size() < kPerimeterObjectLength) return false;
      record_.kind = BoxKind::kPerimeterObject;
      record_.active = 0;
      record_.value = 0;
      const GridMapping mapping = RecordMapping();
      SetMappedRectangle(mapping, ReadRectangle(payload, kPerimeterRectangle));
      // The trace may run outside the frame; the drawing clips it.
      record_.trace_point = MapRecordPoint(mapping, ReadPoint(payload, kPerimeterTrace));
      return true;
    }
    default:
      return false;
  }
}

GridMapping CYUVBoundingBoxDraw::RecordMapping() const {
  return ComputeGridMapping(record_.source_width, record_.source_height, record_.frame_width, record_.frame_height);
}

void CYUVBoundingBoxDraw::SetMappedRectangle(const GridMapping& mapping, const BoxRectangle& grid_rectangle) {
  const Point top_left = MapRecordPoint(mapping, {grid_rectangle.left, grid_rectangle.top});
  const Point bottom_right = MapRecordPoint(mapping, {grid_rectangle.right, grid_rectangle.bottom});
  record_.rectangle = {ClampToFrame(top_left.x, record_.frame_width), ClampToFrame(top_left.y, record_.frame_height),
                       ClampToFrame(bottom_right.x, record_.frame_width),
                       ClampToFrame(bottom_right.y, record_.frame_height)};
}

void CYUVBoundingBoxDraw::SetFrame(std::int32_t width, std::int32_t height) {
  record_.frame_width = width;
  record_.frame_height = height;
  record_.frame_aspect = AspectOf(width, height, true);
}

float CYUVBoundingBoxDraw::AspectOf(std::int32_t width, std::int32_t height, bool truncate) const {
  if (IsReferenceSize(record_.frame_width, record_.frame_height)) return kReferenceFrameAspect;
  return ShapeAspect(width, height, truncate);
}

GridMapping CYUVBoundingBoxDraw::ComputeGridMapping(std::int32_t source_width, std::int32_t source_height,
                                                    std::int32_t frame_width, std::int32_t frame_height) const {
  return moraine::ComputeGridMapping(source_width, source_height, frame_width, frame_height, record_.frame_aspect,
                                     calibration_);
}

}  // namespace moraine
