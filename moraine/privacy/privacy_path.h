#pragma once

// The privacy path of one decoded picture of a privacy-marked stream: the NV12 picture goes into
// the 24-bit work image, is masked there (the built-in mosaic for anonymizer algorithm 0, the
// Anonymizer module for any other) and comes back into the picture in place, before the overlay
// is drawn and the picture is encoded.

#include <cstddef>
#include <cstdint>

#include "moraine/privacy/privacy_state.h"

namespace moraine {

// Masks the NV12 `picture` of width × height (`length` bytes, owned by the caller) in place. The
// first picture of a size the work image was not made for runs the anonymizer option step for
// that size (a stream may be marked only after its pipeline started).
// Privacy fails closed: a picture that cannot be masked as asked (no work image for it, or the
// module refuses it) is covered whole by the coarse mosaic, and a block too short for the picture
// is blanked; such pictures are counted and the first of a conversion is reported on standard
// error. An algorithm other than 0 without the module's object is masked by the built-in mosaic at
// the recording's level, with one warning a conversion naming why the module is missing.
void RunPrivacyPath(PrivacyState& state, std::uint8_t* picture, std::size_t length, std::int32_t width,
                    std::int32_t height);

}  // namespace moraine
