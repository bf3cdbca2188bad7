#pragma once

// Cuts an H.264 access unit in byte-stream form (start codes 00 00 01 or 00 00 00 01) into its NAL
// units.

#include <cstdint>
#include <span>
#include <vector>

namespace moraine {

struct CutNalUnit {
  std::span<const std::uint8_t> bytes;  // the unit with its own start code (3 or 4 bytes)
  std::uint8_t nal_unit_type = 0;       // low five bits of the byte after the start code
};

// The NAL units of `access_unit` in order. Bytes before the first start code are skipped; zero bytes
// in front of a start code belong to neither unit, except one that makes it a four-byte start code.
// A start code with nothing behind it yields no unit; an access unit without any start code yields
// none. The spans point into `access_unit`.
std::vector<CutNalUnit> CutAccessUnit(std::span<const std::uint8_t> access_unit);

}  // namespace moraine
