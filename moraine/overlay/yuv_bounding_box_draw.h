#pragma once

// Parses the recorder's one-letter analytic payloads ('M' motion, 'L' loitering, 'F' fire, 'P'
// perimeter alarm or object, 'C' calibration text) into one persistent box record, mapped from the
// analytic grid onto the latest frame, and holds the state the grid mapping needs: the frame size
// and aspect and the calibration table. One instance lives as long as the conversion.

#include <cstddef>
#include <cstdint>
#include <span>

#include "moraine/overlay/box_record.h"
#include "moraine/overlay/calibration_table.h"
#include "moraine/overlay/grid_mapping.h"

namespace moraine {

class CYUVBoundingBoxDraw {
 public:
  virtual ~CYUVBoundingBoxDraw() = default;

  // Parses a one-letter payload (letter in either case) into the record. True when the record is
  // to be handed on to the per-kind tables: an accepted 'M', 'L', 'F' or 'P' payload. A 'C'
  // payload fills the calibration table and hands nothing on; a rejected or unknown payload hands
  // nothing on. Fields a payload does not carry keep their values, and a 'P' payload keeps its
  // source size and object number even when its sub-form is then rejected.
  bool ParseOneLetterPayload(const std::uint8_t* payload, std::size_t length);

  const BoxRecord& record() const { return record_; }

  // Records the size of the frame about to be drawn and its aspect (truncated); later payloads
  // and mappings are placed on this frame.
  void SetFrame(std::int32_t width, std::int32_t height);

  // The aspect of a width x height frame: 1.46 when the frame size last set is a reference size,
  // else the picture shape's aspect (see ShapeAspect).
  float AspectOf(std::int32_t width, std::int32_t height, bool truncate) const;

  // The grid mapping for analytics of the given source size onto a frame of the given size, with
  // the frame aspect last set and this object's calibration.
  GridMapping ComputeGridMapping(std::int32_t source_width, std::int32_t source_height, std::int32_t frame_width,
                                 std::int32_t frame_height) const;

  const CalibrationTable& calibration() const { return calibration_; }

 private:
  bool ParseMotion(std::span<const std::uint8_t> payload);
  bool ParseLoitering(std::span<const std::uint8_t> payload);
  bool ParseFire(std::span<const std::uint8_t> payload);
  bool ParsePerimeter(std::span<const std::uint8_t> payload);
  // The mapping for the record's own source size onto the frame last set.
  GridMapping RecordMapping() const;
  // Stores `grid_rectangle` in frame pixels, clamped into the frame.
  void SetMappedRectangle(const GridMapping& mapping, const BoxRectangle& grid_rectangle);

  BoxRecord record_;
  CalibrationTable calibration_;
};

}  // namespace moraine
