// The module's exported functions. Each catches everything, so no exception leaves the module.

#include "anonymizer/anonymizer_exports.h"

#include "anonymizer/anonymizer_opencv_bgs.h"

namespace moraine {

IAnonymizer* GetAnonymizer(AnonymizerLibrary library, AnonymizeType /*type*/) {
  if (library != AnonymizerLibrary::kOpenCV) return nullptr;
  try {
    return anonymizer::AnonymizerOpenCVBGS::Create();
  } catch (...) {
    return nullptr;
  }
}

}  // namespace moraine

extern "C" {

moraine::IAnonymizer* GetAnonymizerObjPtr(std::int32_t library, std::int32_t type) {
  return moraine::GetAnonymizer(static_cast<moraine::AnonymizerLibrary>(library),
                                static_cast<moraine::AnonymizeType>(type));
}

bool AnonymizeFrame(moraine::IAnonymizer* anonymizer, const moraine::AnonymizerFrame* frame) {
  if (anonymizer == nullptr) return false;
  try {
    return anonymizer->AnonymizeFrame(frame);
  } catch (...) {
    return false;
  }
}

moraine::AnonymizationParameters GetAnonymizationParameters(moraine::IAnonymizer* anonymizer) {
  moraine::AnonymizationParameters parameters;
  if (anonymizer == nullptr) return parameters;
  try {
    parameters = anonymizer->GetAnonymizationParameters();
  } catch (...) {
  }
  return parameters;
}

bool SetAnonymizationParameters(moraine::IAnonymizer* anonymizer, const moraine::AnonymizationParameters* parameters) {
  if (anonymizer == nullptr || parameters == nullptr) return false;
  try {
    return anonymizer->SetAnonymizationParameters(*parameters);
  } catch (...) {
    return false;
  }
}

void ReleaseAnonymizerObjPtr(moraine::IAnonymizer* anonymizer) {
  if (anonymizer == nullptr) return;
  try {
    anonymizer->Release();
  } catch (...) {
  }
}

bool AnonymizeClip(moraine::IAnonymizer* anonymizer, const char* input, const char* output) {
  if (anonymizer == nullptr) return false;
  try {
    return anonymizer->AnonymizeClip(input, output);
  } catch (...) {
    return false;
  }
}

}  // extern "C"
