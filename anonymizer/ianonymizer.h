#pragma once

// The interface of an anonymizer object as the module hands it out. One object serves one video
// stream: its background model learns from every picture it is given. Not for use by two threads
// at once.

#include <cstdint>

#include "anonymizer/anonymizer_records.h"

namespace moraine {

// Which implementation GetAnonymizer creates; only the OpenCV one exists.
enum class AnonymizerLibrary : std::int32_t { kOpenCV = 0 };
// Accepted for the record; it does not change what is created.
enum class AnonymizeType : std::int32_t { kBackgroundSubtraction = 0 };

class IAnonymizer {
 public:
  // Masks the picture `frame` describes in place. The record is copied first; a null record, a
  // picture other than 24 or 32 bits a pixel, or a data size that does not match the picture is
  // refused. False when refused or when the processing failed (the picture is then left as it was).
  virtual bool AnonymizeFrame(const AnonymizerFrame* frame) = 0;
  // Reads the video file `input`, anonymizes every picture and writes them to `output` (XVID, the
  // input's size and frame rate). False, with a diagnostic, when either file cannot be opened or a
  // picture cannot be anonymized; a missing input creates no output.
  virtual bool AnonymizeClip(const char* input, const char* output) = 0;
  virtual AnonymizationParameters GetAnonymizationParameters() = 0;
  // Takes all 32 bytes as they come. Always true.
  virtual bool SetAnonymizationParameters(AnonymizationParameters parameters) = 0;
  // Destroys the object; the only way to do so.
  virtual void Release() = 0;

 protected:
  ~IAnonymizer() = default;
};

// A new object owned by the caller until its Release, or null when `library` is not kOpenCV or the
// object cannot be built.
__attribute__((visibility("default"))) IAnonymizer* GetAnonymizer(AnonymizerLibrary library, AnonymizeType type);

}  // namespace moraine
