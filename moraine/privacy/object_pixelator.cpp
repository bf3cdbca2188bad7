#include "moraine/privacy/object_pixelator.h"

#include <utility>

#include "platform/debug_output.h"

namespace moraine {
namespace {

constexpr std::int32_t kPixelatedMasking = 2;
constexpr std::int32_t kStartingPixelBlockSize = 16;
constexpr std::int32_t kBlurIntensity = 4;
constexpr std::int32_t kMovingRegionsOrSkin = 0;

}  // namespace

AnonymizationParameters ObjectPixelator::StartingParameters() {
  AnonymizationParameters parameters;
  parameters.maskingType = kPixelatedMasking;
  parameters.pixelBlockSize = kStartingPixelBlockSize;
  parameters.blurIntensity = kBlurIntensity;
  parameters.algorithmType = kMovingRegionsOrSkin;
  return parameters;
}

ObjectPixelator::~ObjectPixelator() {
  Release();
  module_.reset();
}

void ObjectPixelator::Bind(const std::string& module_file) {
  if (anonymizer_ != nullptr) return;
  module_.emplace(module_file);
  if (!module_->IsLoaded()) {
    // The loader's own words are for a developer; the user learns that the module is not there.
    platform::OutputDebugText("Loading of the anonymizer module failed: " + module_->Error() + "\n");
    module_.reset();
    unavailable_reason_ = "module not found";
    return;
  }
  get_object_ = module_->EntryPoint<GetAnonymizerObjPtrFunction>("GetAnonymizerObjPtr");
  anonymize_frame_ = module_->EntryPoint<AnonymizeFrameFunction>("AnonymizeFrame");
  set_parameters_ = module_->EntryPoint<SetAnonymizationParametersFunction>("SetAnonymizationParameters");
  release_object_ = module_->EntryPoint<ReleaseAnonymizerObjPtrFunction>("ReleaseAnonymizerObjPtr");
  const std::pair<bool, const char*> entry_points[] = {{get_object_ != nullptr, "GetAnonymizerObjPtr"},
                                                       {anonymize_frame_ != nullptr, "AnonymizeFrame"},
                                                       {set_parameters_ != nullptr, "SetAnonymizationParameters"},
                                                       {release_object_ != nullptr, "ReleaseAnonymizerObjPtr"}};
  for (const auto& [found, name] : entry_points) {
    if (!found) {
      unavailable_reason_ = std::string("entry point ") + name + " missing";
      return;
    }
  }
  anonymizer_ = get_object_(0, 0);
  if (anonymizer_ == nullptr) {
    unavailable_reason_ = "no anonymizer object";
    return;
  }
  unavailable_reason_.clear();
  const AnonymizationParameters parameters = StartingParameters();
  set_parameters_(anonymizer_, &parameters);
}

bool ObjectPixelator::SetParameters(const AnonymizationParameters& parameters) {
  return anonymizer_ != nullptr && set_parameters_(anonymizer_, &parameters);
}

bool ObjectPixelator::AnonymizeFrame(AnonymizerFrame& frame) {
  if (anonymizer_ == nullptr) return false;
  // The module catches its own exceptions; one that escapes all the same counts as a refusal, so
  // the picture is still masked by the caller.
  try {
    return anonymize_frame_(anonymizer_, &frame);
  } catch (...) {
    return false;
  }
}

void ObjectPixelator::Release() {
  if (anonymizer_ == nullptr) return;
  release_object_(anonymizer_);
  anonymizer_ = nullptr;
  get_object_ = nullptr;
  anonymize_frame_ = nullptr;
  set_parameters_ = nullptr;
  release_object_ = nullptr;
  module_.reset();
  unavailable_reason_ = "module not loaded";
}

}  // namespace moraine
