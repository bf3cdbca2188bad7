#include "tools/cairn/video_encoder.h"

#include "tools/cairn/x264_video_encoder.h"
#include "tools/cairn/x265_video_encoder.h"

namespace moraine::cairn {

std::unique_ptr<VideoEncoder> OpenVideoEncoder(const VideoEncoderSettings& settings, std::string& error) {
  if (settings.width <= 0 || settings.height <= 0 || settings.width % 2 != 0 || settings.height % 2 != 0) {
    error = "picture size must be positive and even";
    return nullptr;
  }
  if (settings.codec == VideoCodec::kHevc) return X265VideoEncoder::Open(settings, error);
  return X264VideoEncoder::Open(settings, error);
}

NalUnit WithoutStartCode(const std::uint8_t* data, std::size_t size) {
  std::size_t skip = 0;
  if (size >= 4 && data[0] == 0 && data[1] == 0 && data[2] == 0 && data[3] == 1) {
    skip = 4;
  } else if (size >= 3 && data[0] == 0 && data[1] == 0 && data[2] == 1) {
    skip = 3;
  }
  return NalUnit(data + skip, data + size);
}

}  // namespace moraine::cairn
