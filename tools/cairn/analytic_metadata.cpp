#include "tools/cairn/analytic_metadata.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "tools/cairn/analytic_block_builder.h"

namespace moraine::cairn {
namespace {

constexpr std::uint8_t kObjectKindTabled = 1;
constexpr std::uint8_t kObjectStateNormal = 1;
constexpr std::uint8_t kObjectStateAlarm = 2;
constexpr std::uint8_t kLineWidth = 2;
constexpr std::uint8_t kLayoutAbove = 1;
constexpr std::uint8_t kMarkerCross = 1;
constexpr std::uint8_t kIndicatorAlarm = 1;
constexpr std::uint16_t kFireStateBurning = 1;

int GridX(double fraction) {
  return std::clamp(static_cast<int>(std::lround(fraction * kAnalyticGridWidth)), 0, kAnalyticGridWidth - 1);
}
int GridY(double fraction) {
  return std::clamp(static_cast<int>(std::lround(fraction * kAnalyticGridHeight)), 0, kAnalyticGridHeight - 1);
}
int Thousandth(double fraction) { return std::clamp(static_cast<int>(std::lround(fraction * 1000)), 0, 999); }

GridRect ToGrid(const NormalisedRect& bounds) {
  return {GridX(bounds.left), GridY(bounds.top), GridX(bounds.right), GridY(bounds.bottom)};
}

bool Visible(const GridRect& rect) { return rect.right > rect.left && rect.bottom > rect.top; }

// Where the object stands: the middle of its lower edge.
GridPoint FootPoint(const GridRect& rect) { return {(rect.left + rect.right) / 2, rect.bottom}; }

// The perimeter is the picture's middle: a vehicle beyond it is in alarm.
bool BeyondPerimeter(const NormalisedRect& bounds) { return (bounds.left + bounds.right) / 2 > 0.5; }

const char* AnalyticName(SceneRole role) {
  switch (role) {
    case SceneRole::kPerson: return "motion";
    case SceneRole::kVehicle: return "perimeter";
    case SceneRole::kLoiterer: return "loitering";
    case SceneRole::kFire: return "fire";
  }
  return "motion";
}

const char* LabelText(SceneRole role) {
  switch (role) {
    case SceneRole::kPerson: return "person";
    case SceneRole::kVehicle: return "vehicle";
    case SceneRole::kLoiterer: return "loiterer";
    case SceneRole::kFire: return "fire";
  }
  return "object";
}

Rgb OutlineColour(bool alarm) { return alarm ? Rgb{255, 0, 0} : Rgb{0, 255, 0}; }

std::vector<std::uint8_t> OneLetterRecord(const ScenePlacement& placement, const GridRect& rect, double seconds,
                                          SourceSize source) {
  const auto number = static_cast<std::uint8_t>(placement.object_number);
  switch (placement.role) {
    case SceneRole::kPerson:
      return MotionPayload(placement.object_number,
                           {Thousandth(placement.bounds.left), Thousandth(placement.bounds.top)},
                           {Thousandth(placement.bounds.right), Thousandth(placement.bounds.bottom)}, source);
    case SceneRole::kVehicle:
      return PerimeterObjectPayload(number, rect, FootPoint(rect), source);
    case SceneRole::kLoiterer:
      return LoiteringPayload(number, true, rect, static_cast<std::uint16_t>(seconds), source);
    case SceneRole::kFire: {
      const auto flicker = static_cast<std::uint16_t>(placement.bounds.bottom * 100);
      return FirePayload(number, kFireStateBurning, flicker, rect, source);
    }
  }
  return {};
}

// An outline that follows the object's shape: a hexagon around a figure or a flame, the box of a
// vehicle.
void AddOutline(AnalyticObjectBody& body, SceneRole role, const GridRect& rect) {
  if (role == SceneRole::kVehicle) {
    body.Vertex({rect.left, rect.top}).Vertex({rect.right, rect.top});
    body.Vertex({rect.right, rect.bottom}).Vertex({rect.left, rect.bottom});
    return;
  }
  const int middle_x = (rect.left + rect.right) / 2;
  const int upper_y = rect.top + (rect.bottom - rect.top) / 4;
  const int lower_y = rect.bottom - (rect.bottom - rect.top) / 4;
  body.Vertex({middle_x, rect.top}).Vertex({rect.right, upper_y}).Vertex({rect.right, lower_y});
  body.Vertex({middle_x, rect.bottom}).Vertex({rect.left, lower_y}).Vertex({rect.left, upper_y});
}

std::optional<std::vector<std::uint8_t>> StructuredBlock(const ScenePlacement& placement, const GridRect& rect,
                                                         SourceSize source) {
  const bool alarm = placement.role == SceneRole::kFire ||
                     (placement.role == SceneRole::kVehicle && BeyondPerimeter(placement.bounds));
  AnalyticObjectBody body;
  body.Header(static_cast<std::uint16_t>(placement.object_number), kObjectKindTabled,
              alarm ? kObjectStateAlarm : kObjectStateNormal);
  body.LineStyle(kLineWidth, OutlineColour(alarm), 0);
  body.TracePoint(FootPoint(rect), true);
  AddOutline(body, placement.role, rect);
  body.Label({rect.left, std::max(0, rect.top - 10)}, {255, 255, 255}, 0, kLayoutAbove,
             std::string(LabelText(placement.role)) + " " + std::to_string(placement.object_number));
  if (alarm) {
    body.Marker(kMarkerCross, {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}, 0);
    body.Indicator(kIndicatorAlarm);
  }
  AnalyticBlockBuilder block(AnalyticName(placement.role), source.width, source.height);
  block.AddObject(AnalyticObjectType::kDrawing, body);
  return block.Build();
}

}  // namespace

std::vector<TimedPayload> MakeAnalyticRecords(const Scene& scene, const AnalyticSettings& settings,
                                              std::int64_t duration_ms,
                                              const std::function<SourceSize(std::int64_t)>& source_size_at) {
  std::vector<TimedPayload> records;
  if (settings.interval_ms <= 0 || (!settings.one_letter_records && !settings.structured_blocks)) return records;
  for (std::int64_t offset = 0; offset < duration_ms; offset += settings.interval_ms) {
    const double seconds = static_cast<double>(offset) / 1000;
    const SourceSize source = source_size_at(offset);
    for (const ScenePlacement& placement : scene.PlacementsAt(seconds)) {
      const GridRect rect = ToGrid(placement.bounds);
      if (!Visible(rect)) continue;
      if (settings.one_letter_records) {
        records.push_back({offset, OneLetterRecord(placement, rect, seconds, source)});
        if (placement.role == SceneRole::kVehicle) {
          records.push_back({offset, PerimeterAlarmPayload(static_cast<std::uint16_t>(placement.object_number),
                                                           BeyondPerimeter(placement.bounds), source)});
        }
      }
      if (!settings.structured_blocks) continue;
      if (auto block = StructuredBlock(placement, rect, source)) records.push_back({offset, std::move(*block)});
    }
  }
  return records;
}

std::vector<TimedPayload> MakePrivacyRecords(std::uint16_t level, std::uint16_t algorithm, SourceSize source) {
  AnalyticObjectBody parameters;
  // Both selector words set: the level applies whatever the second privacy switch says.
  parameters.PixelateParameters(level, 1, 1, algorithm);
  AnalyticBlockBuilder block("Pixelate", source.width, source.height);
  block.AddObject(AnalyticObjectType::kInfo, parameters);
  std::vector<TimedPayload> records = {{0, PrivacySwitchesPayload(true, true)}};
  if (auto payload = block.Build()) records.push_back({0, std::move(*payload)});
  return records;
}

}  // namespace moraine::cairn
