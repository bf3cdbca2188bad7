#pragma once

// Writes decoded libavcodec pictures into NV12 planes with a caller-chosen pitch. 8-bit 4:2:0
// pictures are copied row by row with their chroma interleaved; any other layout goes through
// swscale.

extern "C" {
#include <libavutil/frame.h>
}

#include <cstdint>

struct SwsContext;

namespace moraine::mediasdk {

struct Nv12Planes {
  uint8_t* luma = nullptr;
  uint8_t* chroma = nullptr;  // interleaved Cb, Cr
  uint32_t pitch = 0;         // bytes per row of both planes
};

class Nv12Writer {
 public:
  Nv12Writer() = default;
  ~Nv12Writer();
  Nv12Writer(const Nv12Writer&) = delete;
  Nv12Writer& operator=(const Nv12Writer&) = delete;

  // Writes all frame.width x frame.height samples (no cropping) into `planes`, which must hold
  // frame.height rows of luma and (frame.height + 1) / 2 rows of chroma, each at least frame.width
  // (rounded up to even) bytes. False when the picture's format cannot be converted.
  bool Write(const AVFrame& frame, const Nv12Planes& planes);

 private:
  SwsContext* scaler_ = nullptr;  // kept between pictures of the same format
};

}  // namespace moraine::mediasdk
