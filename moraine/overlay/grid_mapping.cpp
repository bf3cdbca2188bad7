#include "moraine/overlay/grid_mapping.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace moraine {
namespace {

constexpr float kSquareGridAspect = 1.22f;  // 352 x 288 truncated to hundredths
constexpr float kWideSourceAspect = 1.25f;
constexpr double kAspectTolerance = 0.02;
constexpr std::int32_t kReferenceCropRows = 24;  // grid rows cropped at top and at bottom
constexpr std::int32_t kShortInterlacedHeight = 240;
constexpr std::int32_t kFullWidth = 704;
constexpr std::int32_t kGridRowsAtFullWidth = 288;
// What the recorder assumes when either shape is missing from its calibration.
constexpr CalibrationPair kDefaultFramePair{635, 359};
constexpr CalibrationPair kDefaultSourcePair{533, 399};

// Truncation toward zero that saturates instead of leaving the range: crafted sizes and
// calibration pairs must not reach undefined conversions. Values in range convert as a cast does.
std::int32_t TruncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (value <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(value);
}

std::int32_t NarrowToInt32(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

// value * numerator / denominator in 64 bits, truncating like the 32-bit arithmetic it stands in
// for, saturated to 32 bits.
std::int32_t Scale(std::int64_t value, std::int64_t numerator, std::int64_t denominator) {
  return NarrowToInt32(value * numerator / denominator);
}

float Hundredths(float ratio) { return std::floor(ratio * 100) / 100; }

GridMapping Unscaled(std::int32_t frame_width, std::int32_t frame_height) {
  return {frame_width, frame_height, 0, 0, frame_width, frame_height};
}

// Both shapes are calibrated and the calibration says the analytics covered the same shape of
// area for both: the grid maps onto the whole frame. The 1.22 frame over a 1.25 source is always
// scaled, whatever its pairs say.
bool CalibratedAlike(float frame_aspect, CalibrationPair frame_pair, float source_aspect,
                     CalibrationPair source_pair) {
  if (frame_aspect == kSquareGridAspect && source_aspect == kWideSourceAspect) return false;
  const auto ratio = [](CalibrationPair pair) {
    return Hundredths(static_cast<float>(pair.width) / static_cast<float>(pair.height));
  };
  return ratio(frame_pair) == ratio(source_pair);
}

// The frames of the same shape as the source: the grid spans the frame across its narrower side.
GridMapping MapSameShape(std::int32_t source_width, std::int32_t source_height, float source_aspect,
                         GridMapping mapping) {
  const std::int64_t frame_width = mapping.frame_width;
  if (mapping.frame_height >= mapping.frame_width) {
    mapping.scaled_width = Scale(mapping.frame_height, kAnalyticGridWidth, kAnalyticGridHeight);
    mapping.x_offset = static_cast<float>(-((mapping.scaled_width - frame_width) / 2));
  } else if (source_aspect != kSquareGridAspect) {
    const float source_ratio = static_cast<float>(source_width) / static_cast<float>(source_height);
    const std::int32_t grid_rows_off =
        TruncateToInt32(kAnalyticGridHeight - kAnalyticGridWidth / static_cast<double>(source_ratio));
    mapping.scaled_height = Scale(frame_width, kAnalyticGridHeight, kAnalyticGridWidth);
    mapping.y_offset = static_cast<float>(Scale(grid_rows_off / 2, mapping.scaled_height, kAnalyticGridHeight));
  }
  return mapping;
}

}  // namespace

bool IsReferenceSize(std::int32_t width, std::int32_t height) {
  struct Size {
    std::int32_t width;
    std::int32_t height;
  };
  constexpr Size kReferenceSizes[] = {{176, 128}, {176, 120}, {352, 240}, {704, 240}, {704, 480}};
  return std::any_of(std::begin(kReferenceSizes), std::end(kReferenceSizes),
                     [&](const Size& size) { return size.width == width && size.height == height; });
}

float ShapeAspect(std::int32_t width, std::int32_t height, bool truncate) {
  if (height == 0 || (width == kFullWidth && height == kGridRowsAtFullWidth)) return kSquareGridAspect;
  const float ratio = static_cast<float>(width) / static_cast<float>(height);
  return truncate ? Hundredths(ratio) : ratio;
}

GridMapping ComputeGridMapping(std::int32_t source_width, std::int32_t source_height, std::int32_t frame_width,
                               std::int32_t frame_height, float frame_aspect, const CalibrationTable& calibration) {
  GridMapping mapping = Unscaled(frame_width, frame_height);
  if (IsReferenceSize(frame_width, frame_height)) {
    // Non-square pixels: the grid spans the width and is cropped at top and bottom.
    if (frame_width == kFullWidth && frame_height == kShortInterlacedHeight) {
      mapping.scaled_height = kGridRowsAtFullWidth;
      mapping.y_offset = kReferenceCropRows;
    } else {
      mapping.scaled_height = Scale(frame_width, kAnalyticGridHeight, kAnalyticGridWidth);
      mapping.y_offset = static_cast<float>(Scale(mapping.scaled_height, kReferenceCropRows, kAnalyticGridHeight));
    }
    return mapping;
  }

  const bool portrait = frame_height >= frame_width;
  float source_aspect = ShapeAspect(source_width, source_height, true);
  if (std::fabs(source_aspect - frame_aspect) < kAspectTolerance) {
    return MapSameShape(source_width, source_height, source_aspect, mapping);
  }
  if (portrait) source_aspect = 1 / source_aspect;

  CalibrationPair frame_pair = kDefaultFramePair;
  CalibrationPair source_pair = kDefaultSourcePair;
  const std::optional<CalibrationPair> calibrated_frame = calibration.Find(frame_aspect);
  const std::optional<CalibrationPair> calibrated_source =
      calibrated_frame ? calibration.Find(source_aspect) : std::nullopt;
  if (calibrated_frame && calibrated_source) {
    if (CalibratedAlike(frame_aspect, *calibrated_frame, source_aspect, *calibrated_source)) return mapping;
    frame_pair = *calibrated_frame;
    source_pair = *calibrated_source;
  }

  // The calibration pairs (W, H >= 1) scale the grid from the source's covered area to the frame's.
  const std::int64_t width = frame_width;
  const std::int64_t height = frame_height;
  if (!portrait) {
    mapping.scaled_width = TruncateToInt32(static_cast<double>(source_pair.width) * frame_width / frame_pair.width);
    mapping.scaled_height = Scale(mapping.scaled_width, kAnalyticGridHeight, kAnalyticGridWidth);
    mapping.x_offset = static_cast<float>(width - mapping.scaled_width) * 0.5f;
    mapping.y_offset = static_cast<float>(mapping.scaled_height - height) * 0.5f;
  } else {
    mapping.scaled_height = TruncateToInt32(static_cast<double>(source_pair.height) * frame_height / frame_pair.height);
    mapping.scaled_width = Scale(mapping.scaled_height, kAnalyticGridWidth, kAnalyticGridHeight);
    mapping.x_offset = static_cast<float>((width - mapping.scaled_width) / 2);
    mapping.y_offset = static_cast<float>((mapping.scaled_height - height) / 2);
  }
  return mapping;
}

Point MapGridPoint(const GridMapping& mapping, Point grid_point) {
  const double scaled_x = static_cast<double>(grid_point.x) * mapping.scaled_width / kAnalyticGridWidth;
  const double scaled_y = static_cast<double>(grid_point.y) * mapping.scaled_height / kAnalyticGridHeight;
  const std::int64_t x = TruncateToInt32(scaled_x + mapping.x_offset);
  const std::int64_t y = TruncateToInt32(scaled_y - mapping.y_offset);
  // The mapped area's own bounds first (its bars left and right, its cropped rows at top and
  // bottom), then the frame's. The area's far edges are computed in single precision.
  const std::int64_t area_left = TruncateToInt32(mapping.x_offset);
  const std::int64_t area_right =
      TruncateToInt32(2 * mapping.x_offset + static_cast<float>(mapping.scaled_width) - 1);
  const std::int64_t area_bottom =
      TruncateToInt32(static_cast<float>(mapping.scaled_height) - 2 * mapping.y_offset - 1);
  const std::int64_t x_in_area = std::max(area_left, std::min(area_right, x));
  const std::int64_t y_in_area = std::max<std::int64_t>(0, std::min(area_bottom, y));
  const std::int64_t frame_right = std::int64_t{mapping.frame_width} - 1;
  const std::int64_t frame_bottom = std::int64_t{mapping.frame_height} - 1;
  return {NarrowToInt32(std::max<std::int64_t>(0, std::min(frame_right, x_in_area))),
          NarrowToInt32(std::max<std::int64_t>(0, std::min(frame_bottom, y_in_area)))};
}

Point MapRecordPoint(const GridMapping& mapping, Point grid_point) {
  const std::int32_t x = Scale(grid_point.x, mapping.scaled_width, kAnalyticGridWidth);
  const std::int32_t y = Scale(grid_point.y, mapping.scaled_height, kAnalyticGridHeight);
  return {TruncateToInt32(static_cast<float>(x) + mapping.x_offset),
          TruncateToInt32(static_cast<float>(y) - mapping.y_offset)};
}

}  // namespace moraine
