#pragma once

// What the program passes to the Anonymizer module (libAnonymizer.so): the parameter and frame
// records and the types of the four entry points it binds.

#include <cstdint>

#include "anonymizer/anonymizer_records.h"

namespace moraine {

// AnonymizationParameters and AnonymizerFrame are laid out in anonymizer/anonymizer_records.h, which
// the module shares.

// The anonymizer object is opaque to the program; it belongs to the module until released. The
// entry point types name it as the module does, so that calls through them match its exports.
class IAnonymizer;
using AnonymizerObject = IAnonymizer;

extern "C" {
using GetAnonymizerObjPtrFunction = AnonymizerObject* (*)(std::int32_t library, std::int32_t type);
using AnonymizeFrameFunction = bool (*)(AnonymizerObject* anonymizer, const AnonymizerFrame* frame);
using SetAnonymizationParametersFunction = bool (*)(AnonymizerObject* anonymizer,
                                                    const AnonymizationParameters* parameters);
using ReleaseAnonymizerObjPtrFunction = void (*)(AnonymizerObject* anonymizer);
}

}  // namespace moraine
