#include "moraine/overlay/overlay.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <optional>

#include "moraine/overlay/analytic_block.h"
#include "moraine/overlay/analytic_names.h"
#include "moraine/overlay/yuv_render_surface.h"

namespace moraine {
namespace {

constexpr std::uint8_t kObjectKindTabled = 1;   // the object also enters its analytic's table
constexpr std::uint8_t kObjectKindNoOutline = 2;
constexpr std::uint8_t kObjectStateAlarm = 2;
constexpr std::uint16_t kFireStateAlarm = 2;
constexpr std::int32_t kIndicatorTop = 2;
constexpr std::int32_t kIndicatorStep = 34;
constexpr std::int32_t kIndicatorLayoutA = 2;

std::optional<BoxKind> TableKindOf(const std::string& analytic_name) {
  const std::string trace_name = ToTraceName(analytic_name);
  if (trace_name == kMotionTraceName) return BoxKind::kMotion;
  if (trace_name == kPerimeterTraceName) return BoxKind::kPerimeterObject;
  if (trace_name == kLoiteringTraceName) return BoxKind::kLoitering;
  if (trace_name == kFireTraceName) return BoxKind::kFire;
  return std::nullopt;
}

BoxRectangle OutlineBounds(const std::vector<Point>& outline) {
  if (outline.empty()) return {};
  BoxRectangle bounds{outline.front().x, outline.front().y, outline.front().x, outline.front().y};
  for (const Point& vertex : outline) {
    bounds.left = std::min(bounds.left, vertex.x);
    bounds.top = std::min(bounds.top, vertex.y);
    bounds.right = std::max(bounds.right, vertex.x);
    bounds.bottom = std::max(bounds.bottom, vertex.y);
  }
  return bounds;
}

// The loitering value a recorder writes into its labels: the last label reading as a non-zero
// number, read like atoi but saturating instead of overflowing.
std::int32_t LoiteringValue(const std::vector<LabelItem>& labels) {
  std::int32_t value = 0;
  for (const LabelItem& label : labels) {
    const long number = std::strtol(label.text.c_str(), nullptr, 10);  // the string is terminated
    const auto saturated = static_cast<std::int32_t>(std::clamp<long>(number, INT_MIN, INT_MAX));
    if (saturated != 0) value = saturated;
  }
  return value;
}

BoxRecord TableRecord(BoxKind kind, const MetaDataDrawingObject& object, const ObjectHeader& header) {
  BoxRecord record{};
  record.kind = kind;
  record.active = header.state == kObjectStateAlarm ? 1 : 0;
  record.object_number = header.object_number;
  record.rectangle = OutlineBounds(object.GetOutline());
  record.trace_point = object.GetTracePoint().point;
  record.frame_aspect = 0;
  if (kind == BoxKind::kLoitering) record.value = LoiteringValue(object.GetLabels());
  if (kind == BoxKind::kFire) {
    record.fire_state = header.state == kObjectStateAlarm ? kFireStateAlarm : 0;
    record.fire_detail = 1;
  }
  return record;
}

std::vector<Point> MapAll(const GridMapping& mapping, const std::vector<Point>& points) {
  std::vector<Point> mapped;
  mapped.reserve(points.size());
  for (const Point& point : points) mapped.push_back(MapGridPoint(mapping, point));
  return mapped;
}

}  // namespace

void Overlay::StoreStructuredBlock(const std::uint8_t* payload, std::size_t length, std::uint32_t record_time) {
  const AnalyticBlock block = ParseAnalyticBlock(payload, length);
  metadata_.AddBlock(block, record_time);
  const std::optional<BoxKind> kind = TableKindOf(block.name);
  if (!kind) return;
  // Every analytic of the same trace name is stored again, not only the block's own.
  for (const auto& [name, object] : metadata_.GetDrawingObjects({block.name})) {
    const ObjectHeader header = object.GetObjectHeader();
    if (header.kind != kObjectKindTabled) continue;
    tables_.Store(TableRecord(*kind, object, header), record_time, BoxUnits::kGrid);
  }
}

void Overlay::StoreOneLetterRecord(const std::uint8_t* payload, std::size_t length, std::uint32_t record_time) {
  if (box_draw_.ParseOneLetterPayload(payload, length)) {
    tables_.Store(box_draw_.record(), record_time, BoxUnits::kFramePixels);
  }
}

void Overlay::ComposeFrame(std::uint8_t* buffer, std::size_t length, std::int32_t width, std::int32_t height,
                           std::uint32_t record_time) {
  // The decoder's block must hold exactly this picture; anything else is passed through untouched.
  const std::int64_t expected = static_cast<std::int64_t>(width) * height +
                                static_cast<std::int64_t>(width & ~1) * (height / 2);
  FrameView frame{buffer, 0};
  if (width > 0 && height > 0 && static_cast<std::int64_t>(length) == expected && length <= UINT32_MAX) {
    frame.length = static_cast<std::uint32_t>(length);
  }
  YUVRenderSurface surface(frame, width, height, /*interleaved_chroma=*/true);

  // The mapping is taken before the tables are drawn, so that entries made from structured blocks
  // land where their outlines are drawn on this very frame.
  box_draw_.SetFrame(width, height);
  const GridMapping mapping =
      box_draw_.ComputeGridMapping(metadata_.SourceWidth(), metadata_.SourceHeight(), width, height);
  tables_.Draw(surface, mapping);
  tables_.Sweep(record_time);
  DrawStructured(surface, mapping, metadata_, {});
}

void DrawStructured(RenderSurface& surface, const GridMapping& mapping, MetaData& store,
                    const std::vector<std::string>& names) {
  std::int32_t indicator_offset = 0;
  for (const auto& [name, object] : store.GetDrawingObjects(names)) {
    const ObjectHeader header = object.GetObjectHeader();
    for (const std::uint8_t code : object.GetIndicators()) {
      surface.DrawMarker({mapping.frame_width - indicator_offset, kIndicatorTop}, code, kIndicatorLayoutA, 0);
      indicator_offset += kIndicatorStep;
    }
    const LineStyle line = object.GetLineStyle();
    const AreaStyle secondary = object.GetSecondaryStyle();
    for (const Trace& trace : store.GetObjectTraces(name, header.object_number)) {
      surface.DrawPolyline(MapAll(mapping, {trace.begin(), trace.end()}), line.colour, 1, 0);
    }
    if (header.kind != kObjectKindNoOutline) {
      const std::vector<Point> outline = MapAll(mapping, object.GetOutline());
      surface.DrawPolygon(outline, line.colour, line.width, line.option, secondary.colour, secondary.option);
      const AreaStyle fill = object.GetFillStyle();
      surface.FillPolygon(outline, fill.option, fill.colour);
    }
    for (const LabelItem& label : object.GetLabels()) {
      surface.DrawText(MapGridPoint(mapping, label.point), label.text, label.colour, label.option,
                       label.layout_code_a, label.layout_code_b);
    }
    for (const MarkerItem& marker : object.GetMarkers()) {
      surface.DrawMarker(MapGridPoint(mapping, marker.point), marker.marker_code, marker.layout_code_a,
                         marker.layout_code_b);
    }
  }
}

}  // namespace moraine
