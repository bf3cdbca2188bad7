#pragma once

// Builds structured analytic metadata payloads: a "GAD" block holding named objects, each a body
// of tag entries (header, styles, trace point, markers, labels, outline vertices, indicators and
// pixelation parameters).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/cairn/analytic_geometry.h"
#include "tools/cairn/byte_writer.h"

namespace moraine::cairn {

enum class AnalyticObjectType : std::uint8_t { kDrawing = 1, kInfo = 2 };

// The tag entries of one object, in the order they are added.
class AnalyticObjectBody {
 public:
  AnalyticObjectBody& Header(std::uint16_t object_number, std::uint8_t object_kind, std::uint8_t object_state);
  AnalyticObjectBody& LineStyle(std::uint8_t width, Rgb colour, std::uint8_t option);
  AnalyticObjectBody& FillStyle(std::uint8_t option, Rgb colour);
  AnalyticObjectBody& TracePoint(GridPoint point, bool add_to_trace);
  AnalyticObjectBody& Marker(std::uint8_t marker_code, GridPoint point, std::uint8_t layout);
  // Texts longer than a tag value can hold are cut.
  AnalyticObjectBody& Label(GridPoint point, Rgb colour, std::uint8_t option, std::uint8_t layout, std::string_view text);
  AnalyticObjectBody& Vertex(GridPoint point);
  AnalyticObjectBody& Indicator(std::uint8_t indicator_code);
  // Info objects: pixelation level, two selector words and the anonymizer algorithm.
  AnalyticObjectBody& PixelateParameters(std::uint16_t level, std::uint16_t selector_one, std::uint16_t selector_two,
                                         std::uint16_t algorithm);

  const std::vector<std::uint8_t>& bytes() const { return body_.bytes(); }

 private:
  void Entry(std::uint8_t tag, const ByteWriter& value);
  ByteWriter body_;
};

class AnalyticBlockBuilder {
 public:
  AnalyticBlockBuilder(std::string name, std::uint16_t source_width, std::uint16_t source_height);

  void AddObject(AnalyticObjectType type, const AnalyticObjectBody& body);

  // The payload, "GAD" and its total length first; nullopt when the name is longer than 255 bytes
  // or the block would not fit the 16-bit lengths of the format.
  std::optional<std::vector<std::uint8_t>> Build() const;

 private:
  struct Object {
    AnalyticObjectType type;
    std::vector<std::uint8_t> body;
  };
  std::string name_;
  std::uint16_t source_width_;
  std::uint16_t source_height_;
  std::vector<Object> objects_;
};

}  // namespace moraine::cairn
