#include "moraine/overlay/metadata_object.h"

namespace moraine {
namespace {

constexpr std::size_t kLabelTextLengthOffset = 9;
constexpr std::size_t kLabelTextOffset = 10;

// Every read below degrades alike: a field the value is too short for reads as zero.
std::uint8_t ByteAt(const TagValue& value, std::size_t offset) { return offset < value.size() ? value[offset] : 0; }

RgbColour ColourAt(const TagValue& value, std::size_t offset) {
  if (value.size() < offset + 3) return {};
  return {value[offset], value[offset + 1], value[offset + 2]};
}

// A point needs both of its words; a value holding only x reads as (0, 0).
Point PointAt(const TagValue& value, std::size_t offset) {
  if (value.size() < offset + 4) return {};
  return {ReadWord(value, offset), ReadWord(value, offset + 2)};
}

// Layout byte: bits 0-1 code A, bits 2-3 code B.
std::uint8_t LayoutCodeA(std::uint8_t layout) { return layout & 0x03u; }
std::uint8_t LayoutCodeB(std::uint8_t layout) { return (layout >> 2) & 0x03u; }

AreaStyle AreaStyleOf(const TagValue* value) {
  if (value == nullptr) return {};
  return {ByteAt(*value, 0), ColourAt(*value, 1)};
}

// The text is taken by its length byte, zero bytes and all; a length running past the value
// gives no text rather than part of one.
std::string LabelText(const TagValue& value) {
  if (value.size() <= kLabelTextLengthOffset) return {};
  const std::size_t text_length = value[kLabelTextLengthOffset];
  if (value.size() - kLabelTextOffset < text_length) return {};
  const auto text_begin = value.begin() + kLabelTextOffset;
  return std::string(text_begin, text_begin + static_cast<std::ptrdiff_t>(text_length));
}

}  // namespace

MetaDataObject::MetaDataObject(std::span<const std::uint8_t> body) : tags_(ParseTagBody(body)) {}

std::vector<std::uint8_t> MetaDataObject::Serialize() const { return SerializeTagMap(tags_); }

const TagValue* MetaDataObject::LastValue(std::uint8_t tag) const {
  const auto found = tags_.find(tag);
  if (found == tags_.end() || found->second.empty()) return nullptr;
  return &found->second.back();
}

std::span<const TagValue> MetaDataObject::Values(std::uint8_t tag) const {
  const auto found = tags_.find(tag);
  if (found == tags_.end()) return {};
  return found->second;
}

ObjectHeader MetaDataDrawingObject::GetObjectHeader() const {
  const TagValue* value = LastValue(kObjectHeaderTag);
  if (value == nullptr) return {};
  return {ReadWord(*value, 0), ByteAt(*value, 2), ByteAt(*value, 3)};
}

LineStyle MetaDataDrawingObject::GetLineStyle() const {
  const TagValue* value = LastValue(kLineStyleTag);
  if (value == nullptr) return {};
  return {ByteAt(*value, 0), ColourAt(*value, 1), ByteAt(*value, 4)};
}

AreaStyle MetaDataDrawingObject::GetFillStyle() const { return AreaStyleOf(LastValue(kFillStyleTag)); }

AreaStyle MetaDataDrawingObject::GetSecondaryStyle() const { return AreaStyleOf(LastValue(kSecondaryStyleTag)); }

TracePoint MetaDataDrawingObject::GetTracePoint() const {
  const TagValue* value = LastValue(kTracePointTag);
  if (value == nullptr) return {};
  return {PointAt(*value, 0), ByteAt(*value, 4)};
}

std::vector<MarkerItem> MetaDataDrawingObject::GetMarkers() const {
  std::vector<MarkerItem> markers;
  for (const TagValue& value : Values(kMarkerItemTag)) {
    const std::uint8_t layout = ByteAt(value, 5);
    markers.push_back({PointAt(value, 1), ByteAt(value, 0), LayoutCodeA(layout), LayoutCodeB(layout)});
  }
  return markers;
}

std::vector<LabelItem> MetaDataDrawingObject::GetLabels() const {
  std::vector<LabelItem> labels;
  for (const TagValue& value : Values(kLabelItemTag)) {
    const std::uint8_t layout = ByteAt(value, 8);
    labels.push_back({LabelText(value), PointAt(value, 0), ColourAt(value, 4), ByteAt(value, 7), LayoutCodeA(layout),
                      LayoutCodeB(layout)});
  }
  return labels;
}

std::vector<Point> MetaDataDrawingObject::GetOutline() const {
  std::vector<Point> outline;
  for (const TagValue& value : Values(kVertexTag)) outline.push_back(PointAt(value, 0));
  return outline;
}

std::vector<std::uint8_t> MetaDataDrawingObject::GetIndicators() const {
  std::vector<std::uint8_t> indicators;
  for (const TagValue& value : Values(kIndicatorCodeTag)) {
    if (const std::uint8_t code = ByteAt(value, 0); code != 0) indicators.push_back(code);
  }
  return indicators;
}

PixelateParameters MetaDataInfoObject::GetPixelateParameters() const {
  const TagValue* value = LastValue(kPixelateParametersTag);
  if (value == nullptr) return {};
  return {ReadWord(*value, 0), ReadWord(*value, 2), ReadWord(*value, 4), ReadWord(*value, 6)};
}

}  // namespace moraine
