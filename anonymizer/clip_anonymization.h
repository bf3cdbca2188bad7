#pragma once

// The entry point of the clip library libAnonymizerClip.so: the reading and writing of video files
// for AnonymizeClip. It is a library of its own because OpenCV's video file support loads some 240
// libraries, about 40 MB of memory, that a program anonymizing only its own pictures never needs;
// libAnonymizer.so loads it on its first clip. No exception leaves the entry point.

#include <cstdint>

#define ANONYMIZER_CLIP_EXPORT __attribute__((visibility("default")))

namespace moraine::anonymizer {

// The module name of the clip library (platform::ModuleFileName gives its file name).
inline constexpr char kClipLibraryName[] = "AnonymizerClip";

}  // namespace moraine::anonymizer

extern "C" {

// Anonymizes one picture of a clip in place: `rows` rows of `columns` packed pixels of `channels`
// bytes each, blue first, rows in the order the file stores them. False stops the clip. Must not
// throw.
using ClipPictureHandler = bool (*)(void* context, std::uint8_t* pixels, std::int32_t columns, std::int32_t rows,
                                    std::int32_t channels);

// Reads `input` with OpenCV's video reader (FFmpeg back end), passes every picture to `handler`
// with `context` and writes it to `output` as XVID at the input's size and frame rate. False, with a
// diagnostic, when the input cannot be opened (no output is created), the output cannot be opened,
// or the handler refuses a picture (the unfinished output is then removed, so no half-anonymized
// file is left).
ANONYMIZER_CLIP_EXPORT bool AnonymizeClipPictures(const char* input, const char* output, ClipPictureHandler handler,
                                                  void* context);

}  // extern "C"
