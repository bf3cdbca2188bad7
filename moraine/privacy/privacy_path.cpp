#include "moraine/privacy/privacy_path.h"

#include <cstdio>
#include <cstring>

#include "moraine/privacy/anonymizer_options.h"
#include "moraine/privacy/mosaic.h"
#include "moraine/privacy/nv12_bgr_conversion.h"

namespace moraine {
namespace {

constexpr std::int32_t kBuiltInMosaic = 0;
constexpr std::uint8_t kNeutral = 128;

// Counts a picture that could not be masked as the recording asks; the first of a conversion is
// reported, saying how such pictures are covered instead.
void CountUnmaskedPicture(PrivacyState& state, const char* reason, const char* cover) {
  if (++state.privacy_fail_closed_pictures > 1) return;
  std::fprintf(stderr, "warning: a privacy-marked picture could not be masked as the recording asks (%s); such "
                       "pictures are %s\n", reason, cover);
}

// What the file then shows is a coarse mosaic, never the picture.
void FailClosed(PrivacyState& state, std::uint8_t* picture, std::int32_t width, std::int32_t height,
                const char* reason) {
  ApplyCoarseNv12Mosaic(picture, width, height, state.pixelation.pixelation_level);
  CountUnmaskedPicture(state, reason, "covered whole by a coarse mosaic");
}

void ReportMosaicFallbackOnce(PrivacyState& state) {
  if (state.mosaic_fallback_reported) return;
  state.mosaic_fallback_reported = true;
  std::fprintf(stderr, "warning: the recording asks for the Anonymizer module, which is not available (%s); "
                       "privacy-marked pictures are masked with the built-in mosaic\n",
               state.object_pixelator.UnavailableReason().c_str());
}

// The record the module reads the picture from; its reserved bytes are zero.
AnonymizerFrame FrameOf(WorkImage& image) {
  AnonymizerFrame frame;
  frame.pixels = image.pixels();
  frame.info_header = image.info_header();
  frame.data_size = static_cast<std::int32_t>(image.pixel_bytes());  // the image never exceeds 2 GiB
  frame.width = image.width();
  frame.height = image.height();
  return frame;
}

}  // namespace

void RunPrivacyPath(PrivacyState& state, std::uint8_t* picture, std::size_t length, std::int32_t width,
                    std::int32_t height) {
  const std::int64_t picture_bytes = Nv12PictureBytes(width, height);
  if (picture_bytes == 0 || static_cast<std::uint64_t>(picture_bytes) > length) {
    // Nothing in the block can be read as this picture; nothing of it may reach the file either.
    if (length > 0) std::memset(picture, kNeutral, length);
    return CountUnmaskedPicture(state, "the decoded block does not hold the picture", "blanked");
  }
  WorkImage& image = state.work_image;
  if (!image.Matches(width, height)) {
    // A stream marked only after its pipeline started, or a size the option step never saw: the
    // option step for this picture's size makes the image and sends the module its options.
    RunAnonymizerOptionStep(state, state.pixelation.pixelation_level,
                            {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)}, {0, 0});
  }
  if (!image.Matches(width, height)) return FailClosed(state, picture, width, height, "no memory for the work image");

  Nv12ToBgr(picture, width, height, image.pixels());
  if (state.pixelation.anonymizer_algorithm == kBuiltInMosaic || !state.object_pixelator.HasAnonymizer()) {
    if (state.pixelation.anonymizer_algorithm != kBuiltInMosaic) ReportMosaicFallbackOnce(state);
    ApplyMosaic(image.pixels(), width, height, state.pixelation.pixelation_level);
  } else {
    AnonymizerFrame frame = FrameOf(image);
    // The picture itself is still as decoded: the work image is what the module may have half done.
    if (!state.object_pixelator.AnonymizeFrame(frame)) {
      return FailClosed(state, picture, width, height, "the anonymizer module refused it");
    }
  }
  BgrToNv12(image.pixels(), width, height, picture);
}

}  // namespace moraine
