#pragma once

// What the program passes to the Anonymizer module (libAnonymizer.so): the parameter record and the
// types of the four entry points it binds.

#include <cstddef>
#include <cstdint>

namespace moraine {

// 32 bytes, copied by the module. The reserved fields carry no meaning and are sent as zeros.
struct AnonymizationParameters {
  std::int32_t maskingType = 0;      // 0 blurred, 1 solid colour, 2 pixelated
  std::int32_t reserved_int = 0;
  double reserved_double = 0.0;
  std::uint8_t reserved_flag = 0;
  std::uint8_t reserved_padding[3] = {};
  std::int32_t pixelBlockSize = 0;   // divisor giving the pixelation block size
  std::int32_t blurIntensity = 0;    // divisor giving the blur kernel size
  std::int32_t algorithmType = 0;    // 0 moving regions or skin, 1 moving only, 2 skin only
};
static_assert(sizeof(AnonymizationParameters) == 32);
static_assert(offsetof(AnonymizationParameters, reserved_double) == 8);
static_assert(offsetof(AnonymizationParameters, reserved_flag) == 16);
static_assert(offsetof(AnonymizationParameters, pixelBlockSize) == 20);
static_assert(offsetof(AnonymizationParameters, blurIntensity) == 24);
static_assert(offsetof(AnonymizationParameters, algorithmType) == 28);

// The frame record of AnonymizeFrame; laid out by the privacy path that sends pictures.
struct AnonymizerFrame;

// The anonymizer object is opaque to the program; it belongs to the module until released.
using AnonymizerObject = void;

extern "C" {
using GetAnonymizerObjPtrFunction = AnonymizerObject* (*)(std::int32_t library, std::int32_t type);
using AnonymizeFrameFunction = bool (*)(AnonymizerObject* anonymizer, AnonymizerFrame* frame);
using SetAnonymizationParametersFunction = bool (*)(AnonymizerObject* anonymizer,
                                                    const AnonymizationParameters* parameters);
using ReleaseAnonymizerObjPtrFunction = void (*)(AnonymizerObject* anonymizer);
}

}  // namespace moraine
