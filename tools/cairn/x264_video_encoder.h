#pragma once

// H.264 encoding with libx264.

#include <memory>
#include <string>

#include "tools/cairn/video_encoder.h"

struct x264_t;

namespace moraine::cairn {

class X264VideoEncoder final : public VideoEncoder {
 public:
  static std::unique_ptr<X264VideoEncoder> Open(const VideoEncoderSettings& settings, std::string& error);

  std::vector<EncodedPicture> Encode(const YuvPicture& picture, std::int64_t frame_index) override;
  std::vector<EncodedPicture> Flush() override;

 private:
  struct Closer {
    void operator()(x264_t* encoder) const;
  };
  explicit X264VideoEncoder(std::unique_ptr<x264_t, Closer> encoder);

  std::unique_ptr<x264_t, Closer> encoder_;
};

}  // namespace moraine::cairn
