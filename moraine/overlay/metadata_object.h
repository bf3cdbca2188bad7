#pragma once

// The objects of a structured analytic block. Each holds its own tag map and reads its values
// only when an accessor is called; a missing or short value gives the defaults recorders rely on.
// Objects copy by value, tag map and all.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "moraine/overlay/analytic_block.h"
#include "moraine/overlay/drawing_types.h"

namespace moraine {

// Tags of a drawing object. Single-valued tags count by their last occurrence; the others by
// every occurrence, in order.
inline constexpr std::uint8_t kObjectHeaderTag = 1;
inline constexpr std::uint8_t kLineStyleTag = 2;
inline constexpr std::uint8_t kFillStyleTag = 3;
inline constexpr std::uint8_t kSecondaryStyleTag = 4;
inline constexpr std::uint8_t kTracePointTag = 5;
inline constexpr std::uint8_t kMarkerItemTag = 6;
inline constexpr std::uint8_t kLabelItemTag = 7;
inline constexpr std::uint8_t kVertexTag = 8;
inline constexpr std::uint8_t kIndicatorCodeTag = 9;
// The one tag of an info object.
inline constexpr std::uint8_t kPixelateParametersTag = 3;

// Without a header tag an object is number 0, kind 2 (no outline), state 1.
struct ObjectHeader {
  std::uint16_t object_number = 0;
  std::uint8_t kind = 2;   // 1: also enters its analytic's table; 2: outline not drawn
  std::uint8_t state = 1;  // 2: in alarm
};

struct LineStyle {
  std::uint8_t width = 0;
  RgbColour colour;
  std::uint8_t option = 0;
};

// Fill and secondary styles.
struct AreaStyle {
  std::uint8_t option = 0;
  RgbColour colour;
};

struct TracePoint {
  Point point;
  std::uint8_t add_to_trace = 0;  // 1: the point extends the object's trace
};

struct MarkerItem {
  Point point;
  std::uint8_t marker_code = 0;
  std::uint8_t layout_code_a = 0;
  std::uint8_t layout_code_b = 0;
};

struct LabelItem {
  std::string text;  // the bytes as written, zero bytes included
  Point point;
  RgbColour colour;
  std::uint8_t option = 0;
  std::uint8_t layout_code_a = 0;
  std::uint8_t layout_code_b = 0;
};

struct PixelateParameters {
  std::uint16_t level = 0;
  std::uint16_t selector_one = 0;
  std::uint16_t selector_two = 0;
  std::uint16_t algorithm = 0;  // 0: built-in mosaic, else the anonymizer module
};

class MetaDataObject {
 public:
  // Parses `body` into the object's own tag map; the body itself is not kept.
  explicit MetaDataObject(std::span<const std::uint8_t> body);
  virtual ~MetaDataObject() = default;

  // The body as tag entries again: tags ascending, values in order, empty entries gone.
  virtual std::vector<std::uint8_t> Serialize() const;
  // kDrawingObjectType or kInfoObjectType.
  virtual std::int32_t ObjectType() const = 0;

  const TagMap& tags() const { return tags_; }

 protected:
  MetaDataObject(const MetaDataObject&) = default;
  MetaDataObject& operator=(const MetaDataObject&) = default;
  MetaDataObject(MetaDataObject&&) = default;
  MetaDataObject& operator=(MetaDataObject&&) = default;

  // The last value of `tag`, or null when the tag is absent.
  const TagValue* LastValue(std::uint8_t tag) const;
  // Every value of `tag` in order; empty when absent.
  std::span<const TagValue> Values(std::uint8_t tag) const;

 private:
  TagMap tags_;
};

class MetaDataDrawingObject final : public MetaDataObject {
 public:
  using MetaDataObject::MetaDataObject;

  std::int32_t ObjectType() const override { return kDrawingObjectType; }

  ObjectHeader GetObjectHeader() const;
  LineStyle GetLineStyle() const;
  AreaStyle GetFillStyle() const;
  AreaStyle GetSecondaryStyle() const;
  TracePoint GetTracePoint() const;
  std::vector<MarkerItem> GetMarkers() const;
  std::vector<LabelItem> GetLabels() const;
  // The vertices in body order, in analytic-grid units.
  std::vector<Point> GetOutline() const;
  // The non-zero indicator codes in body order.
  std::vector<std::uint8_t> GetIndicators() const;
};

class MetaDataInfoObject final : public MetaDataObject {
 public:
  using MetaDataObject::MetaDataObject;

  std::int32_t ObjectType() const override { return kInfoObjectType; }

  // A word the value is too short for reads 0; no parameters tag gives four zeros.
  PixelateParameters GetPixelateParameters() const;
};

}  // namespace moraine
