#include "bitstream/nal_units.h"

#include <cstring>

namespace moraine {
namespace {

// NAL unit types that, after a slice of the current picture, always open the next access unit.
bool OpensAccessUnit(VideoCodec codec, int type) {
  if (codec == VideoCodec::kH264) {
    // SEI, SPS, PPS, access unit delimiter, prefix and reserved types 14 to 18.
    return (type >= 6 && type <= 9) || (type >= 14 && type <= 18);
  }
  // VPS, SPS, PPS, access unit delimiter, prefix SEI, reserved 41..44 and unspecified 48..55.
  return (type >= 32 && type <= 35) || type == 39 || (type >= 41 && type <= 44) ||
         (type >= 48 && type <= 55);
}

size_t HeaderSize(VideoCodec codec) { return codec == VideoCodec::kH264 ? 1 : 2; }

// Position of the next 00 00 01 at or after `from`, or the stream's size when there is none. Jumps
// from zero byte to zero byte: most bytes of a coded picture are not zero.
size_t FindStartCode(std::span<const uint8_t> stream, size_t from) {
  const size_t size = stream.size();
  size_t i = from;
  while (size >= 3 && i <= size - 3) {
    const void* zero = std::memchr(stream.data() + i, 0, size - 2 - i);
    if (zero == nullptr) break;
    i = static_cast<size_t>(static_cast<const uint8_t*>(zero) - stream.data());
    if (stream[i + 1] == 0 && stream[i + 2] == 1) return i;
    // A start code cannot begin at i + 1 unless stream[i + 1] is zero.
    i += stream[i + 1] == 0 ? 1 : 2;
  }
  return size;
}

}  // namespace

std::optional<NalUnit> NextNalUnit(std::span<const uint8_t> stream, size_t from) {
  const size_t start_code = FindStartCode(stream, from);
  if (start_code == stream.size()) return std::nullopt;
  NalUnit unit;
  unit.start_code_offset = (start_code > 0 && stream[start_code - 1] == 0x00) ? start_code - 1 : start_code;
  unit.payload_offset = start_code + 3;
  size_t end = FindStartCode(stream, unit.payload_offset);
  if (end < stream.size() && stream[end - 1] == 0x00) --end;  // the next four-byte start code
  unit.size = end - unit.payload_offset;
  return unit;
}

std::span<const uint8_t> PayloadWithoutTrailingZeros(std::span<const uint8_t> stream, const NalUnit& unit) {
  std::span<const uint8_t> payload = stream.subspan(unit.payload_offset, unit.size);
  while (!payload.empty() && payload.back() == 0x00) payload = payload.first(payload.size() - 1);
  return payload;
}

std::vector<NalUnit> SplitNalUnits(std::span<const uint8_t> stream) {
  std::vector<NalUnit> units;
  size_t from = 0;
  while (const std::optional<NalUnit> unit = NextNalUnit(stream, from)) {
    units.push_back(*unit);
    from = unit->payload_offset + unit->size;
  }
  return units;
}

int NalUnitType(VideoCodec codec, std::span<const uint8_t> nal) {
  if (nal.size() < HeaderSize(codec)) return -1;
  return codec == VideoCodec::kH264 ? (nal[0] & 0x1F) : ((nal[0] >> 1) & 0x3F);
}

bool IsSlice(VideoCodec codec, int type) {
  return codec == VideoCodec::kH264 ? (type >= 1 && type <= 5) : (type >= 0 && type <= 31);
}

bool HoldsSlice(VideoCodec codec, std::span<const uint8_t> stream) {
  size_t from = 0;
  while (const std::optional<NalUnit> unit = NextNalUnit(stream, from)) {
    if (IsSlice(codec, NalUnitType(codec, stream.subspan(unit->payload_offset, unit->size)))) return true;
    from = unit->payload_offset + unit->size;
  }
  return false;
}

bool IsSequenceParameterSet(VideoCodec codec, int type) {
  return codec == VideoCodec::kH264 ? type == 7 : type == 33;
}

bool IsPictureParameterSet(VideoCodec codec, int type) {
  return codec == VideoCodec::kH264 ? type == 8 : type == 34;
}

AccessUnitBounds FindFirstAccessUnit(VideoCodec codec, std::span<const uint8_t> stream) {
  AccessUnitBounds bounds;
  bounds.begin = stream.size();
  bool slice_seen = false;
  size_t from = 0;
  while (const std::optional<NalUnit> unit_found = NextNalUnit(stream, from)) {
    const NalUnit& unit = *unit_found;
    from = unit.payload_offset + unit.size;
    if (bounds.begin == stream.size()) bounds.begin = unit.start_code_offset;
    const auto nal = stream.subspan(unit.payload_offset, unit.size);
    const int type = NalUnitType(codec, nal);
    if (type < 0) return bounds;  // header cut off by the end of the data: undecided
    if (codec == VideoCodec::kH264 && (type == 3 || type == 4)) {
      slice_seen = true;  // data partitions B and C carry no slice header
    } else if (IsSlice(codec, type)) {
      // first_mb_in_slice == 0 (H.264, ue(v) coded as a single 1 bit) or
      // first_slice_segment_in_pic_flag == 1 (HEVC): the first bit after the header is set.
      if (nal.size() <= HeaderSize(codec)) return bounds;
      const bool first_of_picture = (nal[HeaderSize(codec)] & 0x80) != 0;
      if (slice_seen && first_of_picture) {
        bounds.end = unit.start_code_offset;
        return bounds;
      }
      slice_seen = true;
    } else if (slice_seen && OpensAccessUnit(codec, type)) {
      bounds.end = unit.start_code_offset;
      return bounds;
    }
  }
  return bounds;
}

}  // namespace moraine
