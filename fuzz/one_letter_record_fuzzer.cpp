// Arbitrary one-letter payloads through one long-lived box draw, as a conversion feeds them, on
// frames of any size; then the grid mapping with the record's source size and with crafted values.
// Input: frame width and height (4 bytes each, big-endian, any sign), a grid point (4 + 4 bytes),
// then the payload.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "moraine/overlay/grid_mapping.h"
#include "moraine/overlay/yuv_bounding_box_draw.h"

namespace {

constexpr std::size_t kHeaderSize = 16;

std::int32_t ReadInt32(const std::uint8_t* bytes) {
  const std::uint32_t value = std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
                              std::uint32_t{bytes[2]} << 8 | bytes[3];
  return static_cast<std::int32_t>(value);
}

float ReadFloat(const std::uint8_t* bytes) {
  const std::uint32_t bits = static_cast<std::uint32_t>(ReadInt32(bytes));
  float value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The calibration table and the record carry over from one input to the next, as they do
  // across the payloads of a recording.
  static moraine::CYUVBoundingBoxDraw draw;
  if (size < kHeaderSize) return 0;
  const std::int32_t frame_width = ReadInt32(data);
  const std::int32_t frame_height = ReadInt32(data + 4);
  const moraine::Point grid_point{ReadInt32(data + 8), ReadInt32(data + 12)};
  draw.SetFrame(frame_width, frame_height);
  draw.ParseOneLetterPayload(data + kHeaderSize, size - kHeaderSize);

  const moraine::BoxRecord& record = draw.record();
  const moraine::GridMapping mapping =
      draw.ComputeGridMapping(record.source_width, record.source_height, frame_width, frame_height);
  const moraine::Point mapped = moraine::MapGridPoint(mapping, grid_point);
  if (frame_width > 0 && (mapped.x < 0 || mapped.x >= frame_width)) __builtin_trap();
  if (frame_height > 0 && (mapped.y < 0 || mapped.y >= frame_height)) __builtin_trap();
  draw.ComputeGridMapping(grid_point.x, grid_point.y, frame_width, frame_height);

  // A mapping of any values at all, offsets not finite included.
  const moraine::GridMapping crafted{frame_width, frame_height, ReadFloat(data + 8), ReadFloat(data + 12),
                                     grid_point.x, grid_point.y};
  moraine::MapGridPoint(crafted, grid_point);
  moraine::MapRecordPoint(crafted, grid_point);
  return 0;
}
