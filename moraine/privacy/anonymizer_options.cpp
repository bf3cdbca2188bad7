#include "moraine/privacy/anonymizer_options.h"

#include <cstdio>
#include <limits>

#include "platform/debug_output.h"

namespace moraine {
namespace {

constexpr std::uint32_t kMaxModuleLevel = 100;

std::int32_t ToSide(std::uint32_t side) {
  return side > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()) ? 0 : static_cast<std::int32_t>(side);
}

}  // namespace

AnonymizationParameters AnonymizerOptions(std::int32_t level, std::int32_t algorithm, PictureSize size) {
  std::uint32_t clamped = static_cast<std::uint32_t>(level);
  if (clamped > kMaxModuleLevel) clamped = kMaxModuleLevel;
  if (clamped == 0) clamped = 1;
  AnonymizationParameters parameters = ObjectPixelator::StartingParameters();
  const std::uint64_t block = (std::uint64_t{size.width} + size.height) / clamped;
  parameters.pixelBlockSize = static_cast<std::int32_t>(
      block > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max() : block);
  parameters.algorithmType = algorithm;
  return parameters;
}

void RunAnonymizerOptionStep(PrivacyState& state, std::int32_t level, PictureSize new_size,
                             PictureSize old_size) {
  state.pixelation_active = level != 0;
  if (!state.privacy_marked) return;
  if (new_size.width != old_size.width || new_size.height != old_size.height) {
    // A size the image cannot take leaves none; the privacy path makes one for the picture itself.
    state.work_image.Prepare(ToSide(new_size.width), ToSide(new_size.height));
  }
  if (!state.object_pixelator.HasAnonymizer()) return;
  const AnonymizationParameters parameters =
      AnonymizerOptions(level, state.pixelation.anonymizer_algorithm, new_size);
  char text[96];
  std::snprintf(text, sizeof text, "Setting anonymisation options algo %d pixelationsize %d\n",
                parameters.algorithmType, parameters.pixelBlockSize);
  platform::OutputDebugText(text);
  state.object_pixelator.SetParameters(parameters);
}

}  // namespace moraine
