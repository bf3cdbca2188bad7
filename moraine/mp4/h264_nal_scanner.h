#pragma once

// Finds the NAL units of an H.264 byte stream (Annex B): each unit follows a start code of two or
// more zero bytes and 0x01 and runs to the next start code or the end of the buffer.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace moraine {

struct NalUnitSpan {
  std::size_t begin = 0;  // first byte after the start code (the NAL header)
  std::size_t end = 0;    // one past the last byte, trailing zero bytes excluded
  std::size_t next = 0;   // where to look for the following unit
};

// The first unit whose start code begins at or after `from`; nullopt when there is none.
// The span may be empty when a start code is followed only by zeros or another start code.
std::optional<NalUnitSpan> FindNextNalUnit(const std::uint8_t* data, std::size_t size,
                                           std::size_t from);

}  // namespace moraine
