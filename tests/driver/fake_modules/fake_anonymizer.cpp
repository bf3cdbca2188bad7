// A stand-in for the Anonymizer module that records how it was called. Variants: FAKE_NO_OBJECT
// (GetAnonymizerObjPtr gives none), FAKE_INCOMPLETE (no ReleaseAnonymizerObjPtr).

#include "tests/driver/fake_modules/fake_anonymizer.h"

#include <cstring>

#include "moraine/driver/anonymizer_interface.h"

namespace {

FakeAnonymizerLog log_of_calls;
int object = 0;  // its address is the object handed out

}  // namespace

FAKE_ANONYMIZER_EXPORT FakeAnonymizerLog* FakeAnonymizerCalls() { return &log_of_calls; }

FAKE_ANONYMIZER_EXPORT void* GetAnonymizerObjPtr(std::int32_t library, std::int32_t type) {
  ++log_of_calls.get_object_calls;
  log_of_calls.library = library;
  log_of_calls.type = type;
#if defined(FAKE_NO_OBJECT)
  return nullptr;
#else
  return &object;
#endif
}

FAKE_ANONYMIZER_EXPORT bool AnonymizeFrame(void* anonymizer, moraine::AnonymizerFrame*) { return anonymizer == &object; }

FAKE_ANONYMIZER_EXPORT bool SetAnonymizationParameters(void* anonymizer, const moraine::AnonymizationParameters* parameters) {
  if (anonymizer != &object) return false;
  ++log_of_calls.set_parameters_calls;
  static_assert(sizeof *parameters == sizeof log_of_calls.parameters);
  std::memcpy(log_of_calls.parameters, parameters, sizeof log_of_calls.parameters);
  return true;
}

#if !defined(FAKE_INCOMPLETE)
FAKE_ANONYMIZER_EXPORT void ReleaseAnonymizerObjPtr(void* anonymizer) {
  if (anonymizer == &object) ++log_of_calls.release_calls;
}
#endif
