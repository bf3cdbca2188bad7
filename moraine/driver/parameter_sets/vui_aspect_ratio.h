#pragma once

// The start of the video usability information, shared by the H.264 and HEVC sequence parameter
// sets: whether it is present, and the sample aspect ratio it carries.

#include "moraine/driver/parameter_sets/bit_reader.h"
#include "moraine/driver/parameter_sets/sequence_parameters.h"

namespace moraine {

// Reads vui_parameters_present_flag and, when present, the aspect ratio fields; nothing after
// them. Sets the aspect ratio of `parameters`: the table ratio for aspect_ratio_idc 1 to 16, the
// explicit ratio for 255 (extended), and 1 : 1 when the ratio is absent, unspecified (0),
// reserved, or extended with a zero term.
void ReadVuiAspectRatio(BitReader& reader, SequenceParameters& parameters);

}  // namespace moraine
