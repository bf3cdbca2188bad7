#include "moraine/driver/privacy_path.h"

#include <cstdio>
#include <cstring>

#include "moraine/driver/anonymizer_options.h"
#include "moraine/driver/mosaic.h"
#include "moraine/driver/nv12_bgr_conversion.h"

namespace moraine {
namespace {

constexpr std::int32_t kBuiltInMosaic = 0;
constexpr std::uint8_t kNeutral = 128;

void ReportOnce(ConversionState& state, const char* reason) {
  if (state.privacy_failure_reported) return;
  state.privacy_failure_reported = true;
  std::fprintf(stderr, "warning: a privacy-marked picture could not be masked (%s); such pictures are "
                       "encoded without colour\n", reason);
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

void RunPrivacyPath(ConversionState& state, std::uint8_t* picture, std::size_t length, std::int32_t width,
                    std::int32_t height) {
  const std::int64_t picture_bytes = Nv12PictureBytes(width, height);
  if (picture_bytes == 0 || static_cast<std::uint64_t>(picture_bytes) > length) {
    // Nothing in the block can be read as this picture; nothing of it may reach the file either.
    if (length > 0) std::memset(picture, kNeutral, length);
    ReportOnce(state, "the decoded block does not hold the picture");
    return;
  }
  const std::size_t luma_bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  const std::size_t chroma_bytes = static_cast<std::size_t>(picture_bytes) - luma_bytes;
  WorkImage& image = state.work_image;
  if (!image.Matches(width, height)) {
    // A stream marked only after its pipeline started, or a size the option step never saw: the
    // option step for this picture's size makes the image and sends the module its options.
    RunAnonymizerOptionStep(state, state.pixelation.pixelation_level,
                            {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)}, {0, 0});
  }
  if (!image.Matches(width, height)) {
    std::memset(picture + luma_bytes, kNeutral, chroma_bytes);
    ReportOnce(state, "no memory for the work image");
    return;
  }
  Nv12ToBgr(picture, width, height, image.pixels());
  if (state.pixelation.anonymizer_algorithm == kBuiltInMosaic) {
    ApplyMosaic(image.pixels(), width, height, state.pixelation.pixelation_level);
  } else if (state.object_pixelator.HasAnonymizer()) {
    AnonymizerFrame frame = FrameOf(image);
    if (!state.object_pixelator.AnonymizeFrame(frame)) {
      std::memset(picture + luma_bytes, kNeutral, chroma_bytes);
      ReportOnce(state, "the anonymizer module refused it");
      return;
    }
  }
  BgrToNv12(image.pixels(), width, height, picture);
}

}  // namespace moraine
