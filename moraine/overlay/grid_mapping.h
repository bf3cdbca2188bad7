#pragma once

// The mapping of the 352 x 288 analytic grid onto a decoded frame: the size the grid is scaled to
// and the offsets that centre it, chosen from the frame's and the analytics' picture shapes and
// the recorder's calibration, and the mapping of single grid points through it.

#include <cstdint>

#include "moraine/overlay/calibration_table.h"
#include "moraine/overlay/drawing_types.h"

namespace moraine {

inline constexpr std::int32_t kAnalyticGridWidth = 352;
inline constexpr std::int32_t kAnalyticGridHeight = 288;

// A positive x offset leaves bars left and right of the mapped area; a positive y offset crops the
// grid at top and bottom.
struct GridMapping {
  std::int32_t scaled_width = 0;
  std::int32_t scaled_height = 0;
  float x_offset = 0;
  float y_offset = 0;
  std::int32_t frame_width = 0;  // the frame the mapping was computed for
  std::int32_t frame_height = 0;
};

// Frame sizes of the recorder's low-resolution and interlaced formats, whose pixels are not
// square: 176 x 128, 176 x 120, 352 x 240, 704 x 240 and 704 x 480.
bool IsReferenceSize(std::int32_t width, std::int32_t height);

// The aspect ratio of a picture shape as the mapping compares shapes: 1.22 for a height of 0 and
// for 704 x 288, else width / height in single precision, cut to hundredths when `truncate` is set.
float ShapeAspect(std::int32_t width, std::int32_t height, bool truncate);

// The mapping for analytics that ran on a source_width x source_height picture, drawn onto a frame
// of frame_width x frame_height whose aspect (ShapeAspect with truncation, or 1.46 for a reference
// size) is `frame_aspect`. Any sizes give a result; values out of range saturate.
GridMapping ComputeGridMapping(std::int32_t source_width, std::int32_t source_height, std::int32_t frame_width,
                               std::int32_t frame_height, float frame_aspect, const CalibrationTable& calibration);

// A grid point of a structured object in frame pixels: scaled in double precision, offset, and
// held inside both the mapped area and the frame.
Point MapGridPoint(const GridMapping& mapping, Point grid_point);

// A grid point of a one-letter record in frame pixels: scaled in integer steps with the offset
// added in single precision, not held inside anything (the record clamps its rectangle itself).
Point MapRecordPoint(const GridMapping& mapping, Point grid_point);

}  // namespace moraine
