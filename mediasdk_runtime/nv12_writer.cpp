#include "mediasdk_runtime/nv12_writer.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <cstring>

namespace moraine::mediasdk {
namespace {

void CopyPlane(const uint8_t* source, int source_pitch, uint8_t* destination,
               uint32_t destination_pitch, size_t row_bytes, int rows) {
  for (int row = 0; row < rows; ++row) {
    std::memcpy(destination + static_cast<size_t>(row) * destination_pitch,
                source + static_cast<ptrdiff_t>(row) * source_pitch, row_bytes);
  }
}

void InterleaveChroma(const AVFrame& frame, const Nv12Planes& planes) {
  const int chroma_width = (frame.width + 1) / 2;
  const int chroma_rows = (frame.height + 1) / 2;
  for (int row = 0; row < chroma_rows; ++row) {
    const uint8_t* u = frame.data[1] + static_cast<ptrdiff_t>(row) * frame.linesize[1];
    const uint8_t* v = frame.data[2] + static_cast<ptrdiff_t>(row) * frame.linesize[2];
    uint8_t* out = planes.chroma + static_cast<size_t>(row) * planes.pitch;
    for (int i = 0; i < chroma_width; ++i) {
      out[2 * i] = u[i];
      out[2 * i + 1] = v[i];
    }
  }
}

}  // namespace

Nv12Writer::~Nv12Writer() { sws_freeContext(scaler_); }

bool Nv12Writer::Write(const AVFrame& frame, const Nv12Planes& planes) {
  const auto format = static_cast<AVPixelFormat>(frame.format);
  const size_t even_width = (static_cast<size_t>(frame.width) + 1) & ~size_t{1};
  if (format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P) {
    CopyPlane(frame.data[0], frame.linesize[0], planes.luma, planes.pitch,
              static_cast<size_t>(frame.width), frame.height);
    InterleaveChroma(frame, planes);
    return true;
  }
  if (format == AV_PIX_FMT_NV12) {
    CopyPlane(frame.data[0], frame.linesize[0], planes.luma, planes.pitch,
              static_cast<size_t>(frame.width), frame.height);
    CopyPlane(frame.data[1], frame.linesize[1], planes.chroma, planes.pitch, even_width,
              (frame.height + 1) / 2);
    return true;
  }
  scaler_ = sws_getCachedContext(scaler_, frame.width, frame.height, format, frame.width,
                                 frame.height, AV_PIX_FMT_NV12, SWS_BILINEAR, nullptr, nullptr,
                                 nullptr);
  if (scaler_ == nullptr) return false;
  uint8_t* const destination[4] = {planes.luma, planes.chroma, nullptr, nullptr};
  const int destination_pitch[4] = {static_cast<int>(planes.pitch), static_cast<int>(planes.pitch),
                                    0, 0};
  return sws_scale(scaler_, frame.data, frame.linesize, 0, frame.height, destination,
                   destination_pitch) == frame.height;
}

}  // namespace moraine::mediasdk
