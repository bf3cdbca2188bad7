#pragma once

// A track of the MP4 writer as the writer keeps it until the index is written.

#include <vector>

#include "moraine/mp4/mp4_parameter_list.h"
#include "moraine/mp4/mp4_sample_index.h"
#include "moraine/mp4/mp4_writer.h"

namespace moraine {

struct Mp4Track {
  Mp4TrackInfo info;
  Mp4SampleIndex samples;
  // Video: sequence parameter sets. Audio: the decoder-specific info (one entry).
  Mp4ParameterList first_list;
  // Video: picture parameter sets.
  Mp4ParameterList second_list;
};

// Builds the whole `moov` box for `tracks` into `builder`, which was sized by
// MovieBoxSizeEstimate. The caller checks builder.ok().
void BuildMovieBox(const std::vector<Mp4Track>& tracks, class BoxBuilder& builder);

// An upper bound of the `moov` box's size: 256 bytes, plus per track its index bytes x 32 / 24,
// its parameter lists and 512.
std::int64_t MovieBoxSizeEstimate(const std::vector<Mp4Track>& tracks);

}  // namespace moraine
