#include "moraine/overlay/analytic_tables.h"

#include <algorithm>
#include <vector>

#include "platform/clock.h"

namespace moraine {
namespace {

constexpr std::size_t kMaxTracePoints = 21;
constexpr std::size_t kSmoothedPoints = 3;
constexpr std::uint64_t kSweepIntervalMs = 1000;
constexpr std::uint64_t kEntryLifetimeMs = 5000;
constexpr std::uint16_t kFireStateBurning = 1;
constexpr std::uint16_t kFireStateAlarm = 2;

constexpr RgbColour kRed{255, 0, 0};
constexpr RgbColour kGreen{0, 255, 0};
constexpr RgbColour kOrange{255, 128, 0};

Point InFrame(Point point, BoxUnits units, const GridMapping& mapping) {
  return units == BoxUnits::kGrid ? MapGridPoint(mapping, point) : point;
}

void DrawBox(RenderSurface& surface, const BoxRectangle& rectangle, BoxUnits units, const GridMapping& mapping,
             const RgbColour& colour) {
  const Point top_left = InFrame({rectangle.left, rectangle.top}, units, mapping);
  const Point bottom_right = InFrame({rectangle.right, rectangle.bottom}, units, mapping);
  surface.DrawRect(top_left.x, top_left.y, bottom_right.x, bottom_right.y, colour);
}

// Trace points from a recording may lie anywhere; a line is drawn pixel by pixel, so points are
// kept within a frame's width and height around the picture, where no grid point ever lands.
std::int32_t ClampAround(std::int32_t value, std::int32_t extent) {
  const std::int64_t low = -static_cast<std::int64_t>(extent);
  const std::int64_t high = 2 * static_cast<std::int64_t>(extent);
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, low, high));
}

std::vector<Point> TraceInFrame(const Trace& trace, BoxUnits units, const GridMapping& mapping) {
  std::vector<Point> points;
  points.reserve(trace.size());
  for (const Point& point : trace) {
    const Point mapped = InFrame(point, units, mapping);
    points.push_back({ClampAround(mapped.x, mapping.frame_width), ClampAround(mapped.y, mapping.frame_height)});
  }
  return points;
}

const RgbColour& FireColour(std::uint16_t fire_state) {
  if (fire_state == kFireStateBurning) return kOrange;
  if (fire_state == kFireStateAlarm) return kRed;
  return kGreen;
}

template <typename Entry>
void SweepTable(std::map<std::uint16_t, Entry>& table, std::uint64_t& last_sweep, std::uint64_t now) {
  if (now - last_sweep <= kSweepIntervalMs) return;
  // An entry stamped later than now wraps to a large age and goes too.
  std::erase_if(table, [now](const auto& item) { return now - item.second.update_time > kEntryLifetimeMs; });
  last_sweep = now;
}

}  // namespace

std::uint32_t OverlayTime(std::uint32_t time) {
  return time != 0 ? time : static_cast<std::uint32_t>(platform::TickCountMilliseconds());
}

void AppendTracePoint(Trace& trace, Point point) {
  if (trace.size() >= kMaxTracePoints) trace.pop_front();
  if (trace.size() >= kSmoothedPoints) {
    const std::size_t n = trace.size();
    const Point& a = trace[n - 3];
    const Point& b = trace[n - 2];
    Point& newest = trace[n - 1];
    // In 64 bits: points from a recording may be anywhere in the 32-bit range.
    newest.x = static_cast<std::int32_t>((static_cast<std::int64_t>(a.x) + b.x + newest.x) / 3);
    newest.y = static_cast<std::int32_t>((static_cast<std::int64_t>(a.y) + b.y + newest.y) / 3);
  }
  trace.push_back(point);
}

void AnalyticTables::Store(const BoxRecord& record, std::uint32_t time, BoxUnits units) {
  const std::uint64_t t = OverlayTime(time);
  const auto number = static_cast<std::uint16_t>(record.object_number);
  const auto source_width = static_cast<std::uint16_t>(record.source_width);
  const auto source_height = static_cast<std::uint16_t>(record.source_height);
  switch (record.kind) {
    case BoxKind::kMotion:
      motion_[number] = {record.rectangle, t, source_width, source_height, units};
      return;
    case BoxKind::kLoitering:
      loitering_[number] = {true, record.rectangle, record.active != 0, static_cast<std::int16_t>(record.value), t,
                            source_width, source_height, units};
      return;
    case BoxKind::kPerimeterAlarm:
      perimeter_[number].alarm = record.active != 0;
      return;
    case BoxKind::kPerimeterObject: {
      PerimeterObject& object = perimeter_[number];
      object.object_number = number;
      object.rectangle = record.rectangle;
      object.update_time = t;
      AppendTracePoint(object.trace, record.trace_point);
      object.source_width = source_width;
      object.source_height = source_height;
      object.units = units;
      return;
    }
    case BoxKind::kFire:
      fire_[number] = {record.rectangle, t, source_width, source_height, record.fire_state, record.fire_detail, units};
      return;
    case BoxKind::kCalibration:
    case BoxKind::kNothing:
      return;
  }
}

void AnalyticTables::Draw(RenderSurface& surface, const GridMapping& mapping) const {
  // Motion boxes are drawn whatever their source size; the other kinds need one.
  for (const auto& [number, entry] : motion_) DrawBox(surface, entry.rectangle, entry.units, mapping, kRed);
  for (const auto& [number, entry] : loitering_) {
    if (entry.source_width == 0 || entry.source_height == 0) continue;
    DrawBox(surface, entry.rectangle, entry.units, mapping, entry.active ? kRed : kGreen);
  }
  for (const auto& [number, object] : perimeter_) {
    if (object.source_width == 0 || object.source_height == 0) continue;
    const RgbColour& colour = object.alarm ? kRed : kGreen;
    DrawBox(surface, object.rectangle, object.units, mapping, colour);
    surface.DrawPolyline(TraceInFrame(object.trace, object.units, mapping), colour, 1, 0);
  }
  for (const auto& [number, entry] : fire_) {
    if (entry.source_width == 0 && entry.source_height == 0) continue;
    DrawBox(surface, entry.rectangle, entry.units, mapping, FireColour(entry.fire_state));
  }
}

void AnalyticTables::Sweep(std::uint32_t time) {
  const std::uint64_t now = OverlayTime(time);
  SweepTable(motion_, last_motion_sweep_, now);
  SweepTable(loitering_, last_loitering_sweep_, now);
  SweepTable(perimeter_, last_perimeter_sweep_, now);
  SweepTable(fire_, last_fire_sweep_, now);
}

}  // namespace moraine
