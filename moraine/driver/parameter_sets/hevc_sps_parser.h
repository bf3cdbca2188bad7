#pragma once

// Picture size and sample aspect ratio from an HEVC sequence parameter set, read in syntax order
// up to the aspect ratio of the video usability information.

#include <cstddef>
#include <cstdint>

#include "moraine/driver/parameter_sets/sequence_parameters.h"

namespace moraine {

// `nal` is a whole NAL unit without its start code, its two-byte header first. For an SPS (NAL
// unit type 33) width and height are the displayed size: the coded luma size less the
// conformance window, so a 1080-line stream coded in 16-line units gives 1080. For any other NAL unit type the result keeps the width and height of `previous` and has the
// aspect ratio 1 : 1. There is no error result: a truncated SPS reads as zero bits from its end
// on. Borrows `nal` for the call.
SequenceParameters ParseHevcSps(const std::uint8_t* nal, std::size_t size,
                                const SequenceParameters& previous);

}  // namespace moraine
