#pragma once

// Anonymization of a whole video file, picture by picture, through an anonymizer object.

#include "anonymizer/ianonymizer.h"

namespace moraine::anonymizer {

// Reads `input` with OpenCV's video reader (FFmpeg back end), passes every picture to `anonymizer` and writes it to
// `output` as XVID at the input's size and frame rate. False, with a diagnostic, when the input
// cannot be opened (no output is created), the output cannot be opened, or a picture is refused (the
// unfinished output is then removed, so no half-anonymized file is left).
bool AnonymizeClipFile(IAnonymizer& anonymizer, const char* input, const char* output);

}  // namespace moraine::anonymizer
