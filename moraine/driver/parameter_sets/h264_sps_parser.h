#pragma once

// Picture size and sample aspect ratio from an H.264 sequence parameter set, read in syntax
// order up to the aspect ratio of the video usability information.

#include <cstddef>
#include <cstdint>

#include "moraine/driver/parameter_sets/sequence_parameters.h"

namespace moraine {

// `nal` is a whole SPS NAL unit without its start code, its one-byte header first (the header is
// not examined). Width and height are the cropped picture size. There is no error result: a
// truncated SPS reads as zero bits from its end on and the sizes follow from those bits; a crop
// at least as large as the coded size gives 0 for that dimension. Borrows `nal` for the call.
SequenceParameters ParseH264Sps(const std::uint8_t* nal, std::size_t size);

}  // namespace moraine
