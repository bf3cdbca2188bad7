#pragma once

// The short-term reference picture sets of an HEVC sequence parameter set. Only their length in
// bits matters to the SPS parser, but a set predicted from the previous one has as many flags as
// that set has pictures, so each set's delta picture order counts are derived and kept.

#include <cstdint>
#include <optional>
#include <vector>

#include "bitstream/bit_reader.h"

namespace moraine {

// Delta picture order counts of one set: S0 (negative, nearest first) and S1 (positive, nearest
// first). 64-bit so that values from a damaged SPS cannot overflow.
struct ShortTermRefPicSet {
  std::vector<std::int64_t> negative_delta_pocs;
  std::vector<std::int64_t> positive_delta_pocs;
};

// Reads st_ref_pic_set(`index`) of an SPS. `previous` is set `index` - 1, the only set an SPS set
// can be predicted from; it is ignored for set 0. Empty when the data ends or the set holds more
// than 16 pictures (no decoded picture buffer holds more).
std::optional<ShortTermRefPicSet> ReadShortTermRefPicSet(BitReader& reader, std::uint32_t index,
                                                         const ShortTermRefPicSet& previous);

}  // namespace moraine
