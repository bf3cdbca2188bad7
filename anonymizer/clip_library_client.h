#pragma once

// Anonymization of a whole video file, picture by picture, through an anonymizer object. The video
// files are read and written by the clip library libAnonymizerClip.so (anonymizer/clip_anonymization.h),
// loaded on the first clip and kept loaded: the loader never unmaps a library, so unloading it after
// each clip would give no memory back and only repeat the loading. A failed load is not retried
// either: every later clip fails the same way.

#include "anonymizer/ianonymizer.h"

namespace moraine::anonymizer {

// Anonymizes `input` into `output` as the clip library's AnonymizeClipPictures does, with
// `anonymizer` working on every picture. False with one diagnostic, and no output created, when the
// clip library cannot be loaded.
bool AnonymizeClipFile(IAnonymizer& anonymizer, const char* input, const char* output);

}  // namespace moraine::anonymizer
