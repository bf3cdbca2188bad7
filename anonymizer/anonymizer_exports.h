#pragma once

// The entry points of the Anonymizer module libAnonymizer.so, looked up by these names. The object
// they take is one made by GetAnonymizerObjPtr and belongs to the module until
// ReleaseAnonymizerObjPtr; a null object is answered with false (or nothing). Records passed by
// pointer belong to the caller and are copied. No exception leaves an entry point.
//
// Besides these the module exports moraine::GetAnonymizer (anonymizer/ianonymizer.h) under its C++
// name.

#include <cstdint>

#include "anonymizer/anonymizer_records.h"

#define ANONYMIZER_EXPORT __attribute__((visibility("default")))

namespace moraine {
class IAnonymizer;
}

extern "C" {

// A new anonymizer object for library 0, else null; `type` is not used.
ANONYMIZER_EXPORT moraine::IAnonymizer* GetAnonymizerObjPtr(std::int32_t library, std::int32_t type);

// Masks the picture of `frame` in place (IAnonymizer::AnonymizeFrame). False for a null object.
ANONYMIZER_EXPORT bool AnonymizeFrame(moraine::IAnonymizer* anonymizer, const moraine::AnonymizerFrame* frame);

// The object's parameters; all zeros for a null object. The record's default member initializers
// serve C++ callers only: it is trivially copyable with standard layout, so it is returned exactly
// as a C structure would be, which clang cannot tell from the declaration.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wreturn-type-c-linkage"
#endif
ANONYMIZER_EXPORT moraine::AnonymizationParameters GetAnonymizationParameters(moraine::IAnonymizer* anonymizer);
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

// Copies `*parameters` into the object. False for a null object or null parameters.
ANONYMIZER_EXPORT bool SetAnonymizationParameters(moraine::IAnonymizer* anonymizer,
                                                  const moraine::AnonymizationParameters* parameters);

// Destroys the object; nothing for a null object.
ANONYMIZER_EXPORT void ReleaseAnonymizerObjPtr(moraine::IAnonymizer* anonymizer);

// Anonymizes the video file `input` into `output` (IAnonymizer::AnonymizeClip). False for a null
// object.
ANONYMIZER_EXPORT bool AnonymizeClip(moraine::IAnonymizer* anonymizer, const char* input, const char* output);

}  // extern "C"

