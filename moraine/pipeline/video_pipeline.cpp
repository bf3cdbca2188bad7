#include "moraine/pipeline/video_pipeline.h"

#include <limits>

namespace moraine {
namespace {

constexpr std::int32_t kInstance = 0;
constexpr std::int32_t kTarnCodecHevc = 13;
constexpr std::int32_t kTarnCodecH264 = 1;
constexpr std::int32_t kEncoderFrameRate = 25;
constexpr std::int32_t kEncoderKilobitsPerSecond = 10000;
constexpr std::int32_t kEncoderOutputReady = 1;

// Sizes of record payloads fit 24 bits; a larger span cannot be passed to a module and is cut to
// nothing rather than wrapped.
std::int32_t ModuleSize(std::span<const std::uint8_t> bytes) {
  return bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())
             ? 0
             : static_cast<std::int32_t>(bytes.size());
}

}  // namespace

VideoPipeline::VideoPipeline(const TarnEntryPoints& tarn, const FellEntryPoints& fell) : tarn_(tarn), fell_(fell) {}

void VideoPipeline::Start(bool hevc, std::int32_t width, std::int32_t height,
                          std::span<const std::uint8_t> decoder_header,
                          const std::vector<std::span<const std::uint8_t>>& parameter_sets) {
  tarn_.create(kInstance, hevc ? kTarnCodecHevc : kTarnCodecH264, width, height, decoder_header.data(),
               ModuleSize(decoder_header));
  fell_.create(kInstance, kEncoderFrameRate, kEncoderKilobitsPerSecond, width, height);
  for (const auto& parameter_set : parameter_sets) Decode(0, parameter_set);
}

void VideoPipeline::Decode(std::uint32_t counter, std::span<const std::uint8_t> access_unit) {
  tarn_.decode_video_frame(kInstance, counter, access_unit.data(), ModuleSize(access_unit));
}

std::optional<DecodedPicture> VideoPipeline::TakePicture() {
  std::uint8_t* bytes = nullptr;
  DecodedPicture picture;
  const std::int32_t status =
      tarn_.get_decoded_video_frame(kInstance, &bytes, &picture.size, &picture.width, &picture.height);
  picture.bytes.reset(bytes);  // owned from here on, whatever the status says
  if (status != 0 || !picture.bytes) return std::nullopt;
  // A block shorter than its NV12 size would be read past its end by everything after the decoder.
  const std::int64_t nv12_size = std::int64_t{picture.width} * picture.height * 3 / 2;
  if (picture.width <= 0 || picture.height <= 0 || picture.size < nv12_size) return std::nullopt;
  return picture;
}

std::span<const std::uint8_t> VideoPipeline::Encode(const DecodedPicture* picture) {
  const std::uint8_t* input = picture != nullptr ? picture->bytes.get() : nullptr;
  const std::int32_t input_size = picture != nullptr ? picture->size : 0;
  if (fell_.encode_video_frame(kInstance, 0, input, input_size) != kEncoderOutputReady) return {};
  const std::uint8_t* output = nullptr;
  std::int32_t output_size = 0;
  if (fell_.get_encoded_video_frame(kInstance, &output, &output_size) != 0 || output == nullptr ||
      output_size <= 0) {
    return {};
  }
  return {output, static_cast<std::size_t>(output_size)};
}

void VideoPipeline::Close() {
  tarn_.close(kInstance);
  fell_.close(kInstance);
}

}  // namespace moraine
