#include "tools/cairn/info_payloads.h"

#include <algorithm>
#include <cstdio>

#include "tools/cairn/byte_writer.h"

namespace moraine::cairn {
namespace {

constexpr int kMaxThousandth = 999;
constexpr std::size_t kPerimeterPayloadSize = 23;

std::uint16_t Word(int value) { return static_cast<std::uint16_t>(std::clamp(value, 0, 0xFFFF)); }

void Rect(ByteWriter& payload, GridRect rect) {
  payload.U16(Word(rect.left));
  payload.U16(Word(rect.top));
  payload.U16(Word(rect.right));
  payload.U16(Word(rect.bottom));
}

void Source(ByteWriter& payload, SourceSize source) {
  payload.U16(source.width);
  payload.U16(source.height);
}

// X * 1000 + Y, at most 999999: fits the 20 bits the payload has for it.
std::uint32_t PositionCode(Thousandths position) {
  const int x = std::clamp(position.x, 0, kMaxThousandth);
  const int y = std::clamp(position.y, 0, kMaxThousandth);
  return static_cast<std::uint32_t>(x * 1000 + y);
}

}  // namespace

std::vector<std::uint8_t> MotionPayload(int object_number, Thousandths top_left, Thousandths bottom_right,
                                        SourceSize source) {
  const std::uint32_t top_left_code = PositionCode(top_left);
  const std::uint32_t bottom_right_code = PositionCode(bottom_right);
  const int number_nibble = std::clamp(object_number, 1, 16) - 1;
  ByteWriter payload;
  payload.U8('M');
  payload.U8(static_cast<std::uint8_t>(number_nibble << 4 | (top_left_code >> 16)));
  payload.U16(static_cast<std::uint16_t>(top_left_code));
  payload.U8(static_cast<std::uint8_t>(bottom_right_code >> 16));
  payload.U16(static_cast<std::uint16_t>(bottom_right_code));
  payload.Zeros(2);  // bytes 7-8
  Source(payload, source);
  return payload.Take();
}

std::vector<std::uint8_t> LoiteringPayload(std::uint8_t object_number, bool active, GridRect rect,
                                           std::uint16_t value, SourceSize source) {
  ByteWriter payload;
  payload.U8('L');
  payload.U8(object_number);
  payload.U8(active ? 1 : 0);
  Rect(payload, rect);
  payload.U16(value);
  payload.Zeros(3);  // bytes 13-15
  Source(payload, source);
  return payload.Take();
}

std::vector<std::uint8_t> FirePayload(std::uint8_t object_number, std::uint16_t fire_state,
                                      std::uint16_t fire_detail, GridRect rect, SourceSize source) {
  ByteWriter payload;
  payload.U8('F');
  payload.U8(object_number);
  payload.U16(fire_state);
  payload.U16(fire_detail);
  Rect(payload, rect);
  payload.Zeros(2);  // bytes 14-15
  Source(payload, source);
  return payload.Take();
}

std::vector<std::uint8_t> PerimeterObjectPayload(std::uint16_t object_number, GridRect rect, GridPoint trace,
                                                 SourceSize source) {
  ByteWriter payload;
  payload.U8('P');
  payload.U8('O');
  payload.Zeros(1);  // byte 2
  payload.U16(object_number);
  Rect(payload, rect);
  payload.U16(Word(trace.x));
  payload.U16(Word(trace.y));
  payload.Zeros(2);  // bytes 17-18
  Source(payload, source);
  return payload.Take();
}

std::vector<std::uint8_t> PerimeterAlarmPayload(std::uint16_t object_number, bool active, SourceSize source) {
  ByteWriter payload;
  payload.U8('P');
  payload.U8('A');
  payload.Zeros(1);  // byte 2
  payload.U16(object_number);
  payload.U8(active ? 1 : 0);
  payload.U8(active ? 1 : 0);
  payload.Zeros(kPerimeterPayloadSize - 4 - payload.size());  // up to the source size at 19
  Source(payload, source);
  return payload.Take();
}

std::optional<std::array<std::uint8_t, kCodecDescriptorSize>> CodecDescriptorPayload(int codec_number) {
  if (codec_number < -999 || codec_number > 9999) return std::nullopt;
  char text[kCodecDescriptorSize + 1] = {};
  std::snprintf(text, sizeof text, "c%4d", codec_number);
  std::array<std::uint8_t, kCodecDescriptorSize> payload{};
  for (std::size_t i = 0; i < kCodecDescriptorSize; ++i) payload[i] = static_cast<std::uint8_t>(text[i]);
  return payload;
}

std::vector<std::uint8_t> PrivacySwitchesPayload(bool switch_one, bool switch_two) {
  return {'B', static_cast<std::uint8_t>(switch_one ? 1 : 0), static_cast<std::uint8_t>(switch_two ? 1 : 0)};
}

}  // namespace moraine::cairn
