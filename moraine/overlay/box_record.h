#pragma once

// The box record that one-letter analytic payloads are parsed into and that the per-kind tables
// take their entries from. One record is rewritten by every payload; a field a payload does not
// carry keeps the value the previous payload left in it.

#include <cstdint>

#include "moraine/overlay/drawing_types.h"

namespace moraine {

// Which per-kind table a record belongs to; the values are those the recorder uses.
enum class BoxKind : std::int32_t {
  kMotion = 0,
  kLoitering = 1,
  kPerimeterAlarm = 2,
  kPerimeterObject = 3,
  kFire = 4,
  kCalibration = 5,
  kNothing = 6,
};

struct BoxRectangle {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  friend bool operator==(const BoxRectangle&, const BoxRectangle&) = default;
};

struct BoxRecord {
  BoxKind kind = BoxKind::kNothing;
  std::int32_t active = 0;  // alarm or activity flag, 0 or 1
  BoxRectangle rectangle;   // frame pixels once parsed
  Point trace_point;        // perimeter objects only, frame pixels
  std::int32_t object_number = -1;
  std::int32_t value = 0;  // loitering value
  // The latest decoded frame (0 before the first) and the picture the recorder's analytics ran on.
  std::int32_t frame_width = 0;
  std::int32_t frame_height = 0;
  std::int32_t source_width = 0;
  std::int32_t source_height = 0;
  std::uint16_t fire_state = 0;
  std::uint16_t fire_detail = 0;
  float frame_aspect = 1.22f;  // aspect of the latest frame as the grid mapping judges it
};

}  // namespace moraine
