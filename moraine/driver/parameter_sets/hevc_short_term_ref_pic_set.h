#pragma once

// The short-term reference picture sets of an HEVC sequence parameter set. Only their length in
// bits matters to the SPS parser, but a set predicted from the previous one has as many flags as
// that set has pictures, so each set's delta picture order counts are derived and kept.

#include <cstdint>
#include <vector>

#include "moraine/driver/parameter_sets/bit_reader.h"

namespace moraine {

// Delta picture order counts of one set: S0 (negative, nearest first) and S1 (positive, nearest
// first). 64-bit so that values from a damaged SPS cannot overflow.
struct ShortTermRefPicSet {
  std::vector<std::int64_t> negative_delta_pocs;
  std::vector<std::int64_t> positive_delta_pocs;
};

// Reads st_ref_pic_set(`index`) of an SPS. `previous` is set `index` - 1, the only set an SPS set
// can be predicted from; it is ignored for set 0. Reading stops at the end of the data, so the
// sets stay as small as the bits that describe them.
ShortTermRefPicSet ReadShortTermRefPicSet(BitReader& reader, std::uint32_t index,
                                          const ShortTermRefPicSet& previous);

}  // namespace moraine
