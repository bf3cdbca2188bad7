#include "tools/cairn/analytic_block_builder.h"

#include <algorithm>
#include <limits>

namespace moraine::cairn {
namespace {

constexpr std::uint8_t kTagObjectHeader = 1;
constexpr std::uint8_t kTagLineStyle = 2;
constexpr std::uint8_t kTagFillStyle = 3;  // in info objects: the pixelation parameters
constexpr std::uint8_t kTagTracePoint = 5;
constexpr std::uint8_t kTagMarkerItem = 6;
constexpr std::uint8_t kTagLabelItem = 7;
constexpr std::uint8_t kTagVertex = 8;
constexpr std::uint8_t kTagIndicatorCode = 9;

constexpr std::size_t kMaxTagValue = std::numeric_limits<std::uint8_t>::max();
constexpr std::size_t kLabelFixedBytes = 10;
constexpr std::size_t kMaxLengthField = std::numeric_limits<std::uint16_t>::max();

std::uint16_t Word(int value) { return static_cast<std::uint16_t>(std::clamp(value, 0, 0xFFFF)); }

void Point(ByteWriter& value, GridPoint point) {
  value.U16(Word(point.x));
  value.U16(Word(point.y));
}

void Colour(ByteWriter& value, Rgb colour) {
  value.U8(colour.red);
  value.U8(colour.green);
  value.U8(colour.blue);
}

}  // namespace

void AnalyticObjectBody::Entry(std::uint8_t tag, const ByteWriter& value) {
  body_.U8(tag);
  body_.U8(static_cast<std::uint8_t>(value.size()));
  body_.Bytes(value.bytes());
}

AnalyticObjectBody& AnalyticObjectBody::Header(std::uint16_t object_number, std::uint8_t object_kind,
                                               std::uint8_t object_state) {
  ByteWriter value;
  value.U16(object_number);
  value.U8(object_kind);
  value.U8(object_state);
  Entry(kTagObjectHeader, value);
  return *this;
}

AnalyticObjectBody& AnalyticObjectBody::LineStyle(std::uint8_t width, Rgb colour, std::uint8_t option) {
  ByteWriter value;
  value.U8(width);
  Colour(value, colour);
  value.U8(option);
  Entry(kTagLineStyle, value);
  return *this;
}

AnalyticObjectBody& AnalyticObjectBody::FillStyle(std::uint8_t option, Rgb colour) {
  ByteWriter value;
  value.U8(option);
  Colour(value, colour);
  Entry(kTagFillStyle, value);
  return *this;
}

AnalyticObjectBody& AnalyticObjectBody::TracePoint(GridPoint point, bool add_to_trace) {
  ByteWriter value;
  Point(value, point);
  value.U8(add_to_trace ? 1 : 0);
  Entry(kTagTracePoint, value);
  return *this;
}

AnalyticObjectBody& AnalyticObjectBody::Marker(std::uint8_t marker_code, GridPoint point, std::uint8_t layout) {
  ByteWriter value;
  value.U8(marker_code);
  Point(value, point);
  value.U8(layout);
  Entry(kTagMarkerItem, value);
  return *this;
}

AnalyticObjectBody& AnalyticObjectBody::Label(GridPoint point, Rgb colour, std::uint8_t option, std::uint8_t layout,
                                              std::string_view text) {
  const std::string_view kept = text.substr(0, kMaxTagValue - kLabelFixedBytes);
  ByteWriter value;
  Point(value, point);
  Colour(value, colour);
  value.U8(option);
  value.U8(layout);
  value.U8(static_cast<std::uint8_t>(kept.size()));
  value.Text(kept);
  Entry(kTagLabelItem, value);
  return *this;
}

AnalyticObjectBody& AnalyticObjectBody::Vertex(GridPoint point) {
  ByteWriter value;
  Point(value, point);
  Entry(kTagVertex, value);
  return *this;
}

AnalyticObjectBody& AnalyticObjectBody::Indicator(std::uint8_t indicator_code) {
  ByteWriter value;
  value.U8(indicator_code);
  Entry(kTagIndicatorCode, value);
  return *this;
}

AnalyticObjectBody& AnalyticObjectBody::PixelateParameters(std::uint16_t level, std::uint16_t selector_one,
                                                           std::uint16_t selector_two, std::uint16_t algorithm) {
  ByteWriter value;
  value.U16(level);
  value.U16(selector_one);
  value.U16(selector_two);
  value.U16(algorithm);
  Entry(kTagFillStyle, value);
  return *this;
}

AnalyticBlockBuilder::AnalyticBlockBuilder(std::string name, std::uint16_t source_width, std::uint16_t source_height)
    : name_(std::move(name)), source_width_(source_width), source_height_(source_height) {}

void AnalyticBlockBuilder::AddObject(AnalyticObjectType type, const AnalyticObjectBody& body) {
  objects_.push_back({type, body.bytes()});
}

std::optional<std::vector<std::uint8_t>> AnalyticBlockBuilder::Build() const {
  if (name_.size() > kMaxTagValue || objects_.size() > kMaxLengthField) return std::nullopt;
  ByteWriter block;
  block.Text("GAD");
  const std::size_t total_length_position = block.size();
  block.U16(0);
  block.U16(source_width_);
  block.U16(source_height_);
  block.U8(static_cast<std::uint8_t>(name_.size()));
  block.Text(name_);
  block.U16(static_cast<std::uint16_t>(objects_.size()));
  for (const Object& object : objects_) {
    if (object.body.size() > kMaxLengthField) return std::nullopt;
    block.U8(static_cast<std::uint8_t>(object.type));
    block.U16(static_cast<std::uint16_t>(object.body.size()));
    block.Bytes(object.body);
  }
  if (block.size() > kMaxLengthField) return std::nullopt;
  block.PatchU16(total_length_position, static_cast<std::uint16_t>(block.size()));
  return block.Take();
}

}  // namespace moraine::cairn
