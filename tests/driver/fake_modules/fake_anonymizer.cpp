// A stand-in for the Anonymizer module that records how it was called and paints every pixel of a
// frame pure red (B, G, R = 0, 0, 255). Variants: FAKE_NO_OBJECT (GetAnonymizerObjPtr gives none),
// FAKE_INCOMPLETE (no ReleaseAnonymizerObjPtr), FAKE_REFUSE (AnonymizeFrame refuses every frame).

#include "tests/driver/fake_modules/fake_anonymizer.h"

#include <cstring>

#include "moraine/privacy/anonymizer_interface.h"

namespace {

using moraine::AnonymizerObject;

FakeAnonymizerLog log_of_calls;
int object_storage = 0;
// The object handed out: an address the fake recognises; nobody looks behind it.
AnonymizerObject* const kObject = reinterpret_cast<AnonymizerObject*>(&object_storage);

}  // namespace

FAKE_ANONYMIZER_EXPORT FakeAnonymizerLog* FakeAnonymizerCalls() { return &log_of_calls; }

FAKE_ANONYMIZER_EXPORT AnonymizerObject* GetAnonymizerObjPtr(std::int32_t library, std::int32_t type) {
  ++log_of_calls.get_object_calls;
  log_of_calls.library = library;
  log_of_calls.type = type;
#if defined(FAKE_NO_OBJECT)
  return nullptr;
#else
  return kObject;
#endif
}

FAKE_ANONYMIZER_EXPORT bool AnonymizeFrame(AnonymizerObject* anonymizer, const moraine::AnonymizerFrame* frame) {
  if (anonymizer != kObject) return false;
  ++log_of_calls.anonymize_calls;
  static_assert(sizeof *frame == sizeof log_of_calls.frame);
  std::memcpy(log_of_calls.frame, frame, sizeof log_of_calls.frame);
#if defined(FAKE_REFUSE)
  return false;
#else
  for (std::int32_t i = 0; i + 2 < frame->data_size; i += 3) {
    frame->pixels[i] = 0;
    frame->pixels[i + 1] = 0;
    frame->pixels[i + 2] = 255;
  }
  return true;
#endif
}

FAKE_ANONYMIZER_EXPORT bool SetAnonymizationParameters(AnonymizerObject* anonymizer,
                                                       const moraine::AnonymizationParameters* parameters) {
  if (anonymizer != kObject) return false;
  ++log_of_calls.set_parameters_calls;
  static_assert(sizeof *parameters == sizeof log_of_calls.parameters);
  std::memcpy(log_of_calls.parameters, parameters, sizeof log_of_calls.parameters);
  return true;
}

#if !defined(FAKE_INCOMPLETE)
FAKE_ANONYMIZER_EXPORT void ReleaseAnonymizerObjPtr(AnonymizerObject* anonymizer) {
  if (anonymizer == kObject) ++log_of_calls.release_calls;
}
#endif
