#pragma once

// One encoder object of the module: an SDK session that encodes NV12 pictures from system memory to
// an H.264 byte stream. Every operation takes the object's lock, so an object may be used from
// several threads.

#include <mfx/mfxvideo++.h>

#include <cstdint>
#include <memory>

#include "mediacommon/surface_pool.h"
#include "platform/critical_section.h"

namespace moraine::fell {

class CHardwareVideoEncoder {
 public:
  CHardwareVideoEncoder() = default;
  ~CHardwareVideoEncoder();
  CHardwareVideoEncoder(const CHardwareVideoEncoder&) = delete;
  CHardwareVideoEncoder& operator=(const CHardwareVideoEncoder&) = delete;

  // Opens a session that encodes width × height pictures at `frame_rate` pictures a second and
  // `kilobits_per_second` (variable bit rate, no B pictures). Returns 0 when ready; otherwise a
  // negative status, and the object stays idle.
  mfxStatus Create(std::int32_t frame_rate, std::int32_t kilobits_per_second, std::int32_t width,
                   std::int32_t height);

  // Encodes one packed NV12 picture of the created size (width × height × 3 / 2 bytes); a null
  // picture or size 0 only collects what the encoder still holds. Returns 1 once any output has been
  // produced on this object, 0 before that or when idle, MFX_ERR_NOT_ENOUGH_BUFFER when `size` is
  // below the picture size, -4 when no surface is free, -2 when the device failed, or the negative
  // status of a failed submission or synchronisation (the object is then closed).
  std::int32_t EncodeFrame(const std::uint8_t* picture, std::int32_t size);

  // The bytes of the last encode (null and 0 when it produced none), owned by this object and valid
  // until its next EncodeFrame or Close. Returns 0, or -1 when idle or before any output.
  std::int32_t GetEncodedFrame(const std::uint8_t** data, std::int32_t* size);

  // Collects what the encoder still holds, closes the session and frees the output.
  void Close();

 private:
  mfxStatus FailCall(mfxStatus status, const char* source_path, int line);
  mfxStatus FailAllocation(const char* source_path, int line);
  mfxStatus OpenSession();
  mfxStatus SubmitUntilAccepted(mfxFrameSurface1* surface);
  void TakeOutputCopy();

  // The encoder's input surfaces. One may point into the caller's picture during EncodeFrame (see
  // PrepareInputSurface), never after it.
  std::unique_ptr<mediacommon::SurfacePool> surfaces_;
  std::unique_ptr<MFXVideoENCODE> encode_;
  MFXVideoSession session_;
  mfxVideoParam video_parameters_{};
  mfxBitstream bitstream_{};
  std::unique_ptr<mfxU8[]> bitstream_buffer_;
  mfxSyncPoint sync_point_ = nullptr;
  std::unique_ptr<std::uint8_t[]> output_copy_;
  std::int32_t output_size_ = 0;
  std::int32_t requested_width_ = 0;
  std::int32_t requested_height_ = 0;
  bool output_flag_ = false;
  bool initialised_ = false;
  platform::CriticalSection lock_;
};

}  // namespace moraine::fell
