#pragma once

// The four per-kind tables of analytic boxes (motion, loitering, perimeter objects, fire), keyed by
// object number. One-letter records and the structured blocks of the four known analytics refresh
// them; an entry lives 5 seconds after its last refresh and is drawn on every frame meanwhile.

#include <cstdint>
#include <deque>
#include <map>

#include "moraine/overlay/box_record.h"
#include "moraine/overlay/drawing_types.h"
#include "moraine/overlay/grid_mapping.h"
#include "moraine/overlay/render_surface.h"

namespace moraine {

using Trace = std::deque<Point>;

// Appends `point` to `trace`, keeping at most 21 points: the oldest goes first, then the newest
// point held is replaced by the mean of the newest three.
void AppendTracePoint(Trace& trace, Point point);

// Where a table entry's rectangle and trace stand: in frame pixels (one-letter records, already
// mapped) or in analytic-grid units (structured blocks, mapped with each frame's mapping).
enum class BoxUnits { kFramePixels, kGrid };

struct MotionEntry {
  BoxRectangle rectangle;
  std::uint64_t update_time = 0;
  std::uint16_t source_width = 0;
  std::uint16_t source_height = 0;
  BoxUnits units = BoxUnits::kFramePixels;
};

struct LoiteringEntry {
  bool present = false;
  BoxRectangle rectangle;
  bool active = false;
  std::int16_t value = 0;
  std::uint64_t update_time = 0;
  std::uint16_t source_width = 0;
  std::uint16_t source_height = 0;
  BoxUnits units = BoxUnits::kFramePixels;
};

struct PerimeterObject {
  bool alarm = false;
  std::uint16_t object_number = 0;
  std::uint16_t source_width = 0;
  std::uint16_t source_height = 0;
  BoxRectangle rectangle;
  Trace trace;
  std::uint64_t update_time = 0;
  BoxUnits units = BoxUnits::kFramePixels;
};

struct FireEntry {
  BoxRectangle rectangle;
  std::uint64_t update_time = 0;
  std::uint16_t source_width = 0;
  std::uint16_t source_height = 0;
  std::uint16_t fire_state = 0;
  std::uint16_t fire_detail = 0;
  BoxUnits units = BoxUnits::kFramePixels;
};

class AnalyticTables {
 public:
  // Puts `record` into the table of its kind (creating the entry for its object number), stamped
  // with `time` (the tick count when 0). Calibration and empty records change nothing.
  void Store(const BoxRecord& record, std::uint32_t time, BoxUnits units);

  // Draws every entry: motion boxes red; loitering, perimeter and fire boxes of entries with a
  // source size in their state's colour, perimeter objects with their trace. Entries in grid units
  // go through `mapping`.
  void Draw(RenderSurface& surface, const GridMapping& mapping) const;

  // Removes entries older than 5 seconds from each table whose last sweep lies more than a second
  // back (`time` as for Store).
  void Sweep(std::uint32_t time);

  const std::map<std::uint16_t, MotionEntry>& motion() const { return motion_; }
  const std::map<std::uint16_t, LoiteringEntry>& loitering() const { return loitering_; }
  const std::map<std::uint16_t, PerimeterObject>& perimeter() const { return perimeter_; }
  const std::map<std::uint16_t, FireEntry>& fire() const { return fire_; }

 private:
  std::map<std::uint16_t, MotionEntry> motion_;
  std::map<std::uint16_t, LoiteringEntry> loitering_;
  std::map<std::uint16_t, PerimeterObject> perimeter_;
  std::map<std::uint16_t, FireEntry> fire_;
  std::uint64_t last_motion_sweep_ = 0;
  std::uint64_t last_loitering_sweep_ = 0;
  std::uint64_t last_perimeter_sweep_ = 0;
  std::uint64_t last_fire_sweep_ = 0;
};

// `time`, or the tick count (as an unsigned 32-bit value) when `time` is 0: the overlay's clock
// before the first timed record.
std::uint32_t OverlayTime(std::uint32_t time);

}  // namespace moraine
