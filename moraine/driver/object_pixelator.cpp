#include "moraine/driver/object_pixelator.h"

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
    // The module is optional; the reason is for a developer only.
    platform::OutputDebugText("Loading of the anonymizer module failed: " + module_->Error() + "\n");
    module_.reset();
    return;
  }
  get_object_ = module_->EntryPoint<GetAnonymizerObjPtrFunction>("GetAnonymizerObjPtr");
  anonymize_frame_ = module_->EntryPoint<AnonymizeFrameFunction>("AnonymizeFrame");
  set_parameters_ = module_->EntryPoint<SetAnonymizationParametersFunction>("SetAnonymizationParameters");
  release_object_ = module_->EntryPoint<ReleaseAnonymizerObjPtrFunction>("ReleaseAnonymizerObjPtr");
  if (get_object_ == nullptr || anonymize_frame_ == nullptr || set_parameters_ == nullptr ||
      release_object_ == nullptr) {
    return;
  }
  anonymizer_ = get_object_(0, 0);
  if (anonymizer_ == nullptr) return;
  const AnonymizationParameters parameters = StartingParameters();
  set_parameters_(anonymizer_, &parameters);
}

bool ObjectPixelator::SetParameters(const AnonymizationParameters& parameters) {
  return anonymizer_ != nullptr && set_parameters_(anonymizer_, &parameters);
}

bool ObjectPixelator::AnonymizeFrame(AnonymizerFrame& frame) {
  return anonymizer_ != nullptr && anonymize_frame_(anonymizer_, &frame);
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
}

}  // namespace moraine
