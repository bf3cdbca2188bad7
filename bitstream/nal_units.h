#pragma once

// Annex B byte streams: NAL units behind start codes, and where one access unit (the NAL units of
// one picture) ends and the next begins, for H.264 and HEVC.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace moraine {

enum class VideoCodec { kH264, kHevc };

struct NalUnit {
  size_t start_code_offset = 0;  // first byte of its start code, a leading zero_byte included
  size_t payload_offset = 0;     // first byte of the NAL unit header
  size_t size = 0;               // bytes from payload_offset up to the next start code or the end
};

// The first NAL unit whose 00 00 01 begins at or after `from`; empty when there is none. A zero
// byte right before the 00 00 01 makes it a four-byte start code.
std::optional<NalUnit> NextNalUnit(std::span<const uint8_t> stream, size_t from);

// The bytes of `unit` without the zero bytes that end it: a NAL unit never ends in one, they are
// trailing padding. Empty when the start code has nothing but zeros behind it.
std::span<const uint8_t> PayloadWithoutTrailingZeros(std::span<const uint8_t> stream, const NalUnit& unit);

// Every NAL unit of `stream` in order; bytes before the first start code belong to none.
std::vector<NalUnit> SplitNalUnits(std::span<const uint8_t> stream);

// nal_unit_type of the NAL unit whose header starts `nal`, or -1 when the header is incomplete.
int NalUnitType(VideoCodec codec, std::span<const uint8_t> nal);

// Slices (video coding layer units) of either codec; data partitions count for H.264.
bool IsSlice(VideoCodec codec, int nal_unit_type);
// True when `stream` holds at least one slice.
bool HoldsSlice(VideoCodec codec, std::span<const uint8_t> stream);

bool IsSequenceParameterSet(VideoCodec codec, int nal_unit_type);
bool IsPictureParameterSet(VideoCodec codec, int nal_unit_type);

struct AccessUnitBounds {
  size_t begin = 0;           // offset of the first start code (the stream's size when there is none)
  std::optional<size_t> end;  // offset where the next access unit starts; empty when `stream` holds
                              // no recognisable start of a second access unit
};

// Finds the first access unit of `stream`. A new access unit begins, once a slice has been seen, at
// a parameter set, delimiter or prefix NAL unit, or at a slice that is the first of its picture.
AccessUnitBounds FindFirstAccessUnit(VideoCodec codec, std::span<const uint8_t> stream);

}  // namespace moraine
