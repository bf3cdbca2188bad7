#pragma once

// HEVC encoding with libx265.

#include <memory>
#include <string>

#include "tools/cairn/video_encoder.h"

struct x265_encoder;
struct x265_param;

namespace moraine::cairn {

class X265VideoEncoder final : public VideoEncoder {
 public:
  static std::unique_ptr<X265VideoEncoder> Open(const VideoEncoderSettings& settings, std::string& error);

  std::vector<EncodedPicture> Encode(const YuvPicture& picture, std::int64_t frame_index) override;
  std::vector<EncodedPicture> Flush() override;

 private:
  struct ParamFree {
    void operator()(x265_param* param) const;
  };
  struct Closer {
    void operator()(x265_encoder* encoder) const;
  };
  X265VideoEncoder(std::unique_ptr<x265_param, ParamFree> param, std::unique_ptr<x265_encoder, Closer> encoder);

  std::vector<EncodedPicture> EncodeOrDrain(const YuvPicture* picture, std::int64_t frame_index);

  std::unique_ptr<x265_param, ParamFree> param_;
  std::unique_ptr<x265_encoder, Closer> encoder_;
};

}  // namespace moraine::cairn
