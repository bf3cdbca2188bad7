#pragma once

// One decoder object of the module: an SDK session that turns H.264 or HEVC access units into NV12
// pictures in system memory. Every operation takes the object's lock, so an object may be used from
// several threads.

#include <mfx/mfxvideo++.h>

#include <cstdint>
#include <memory>

#include "mediacommon/locks.h"
#include "mediacommon/surface_pool.h"
#include "tarn/utils/client_log.h"
#include "tarn/utils/key_data.h"

namespace moraine::tarn {

// The codec number that selects HEVC; any other number selects H.264.
inline constexpr std::int32_t kHevcCodecNumber = 13;

// Size of the compressed-input buffer: more waiting bytes than this make a decode fail.
inline constexpr mfxU32 kBitstreamCapacity = 0x200000;

// Number of work surfaces for the SDK's suggestion: at least 10.
constexpr mfxU16 DecoderSurfaceCount(mfxU16 suggested) { return suggested > 10 ? suggested : mfxU16{10}; }

class CHardwareVideoDecoder {
 public:
  CHardwareVideoDecoder();
  ~CHardwareVideoDecoder();
  CHardwareVideoDecoder(const CHardwareVideoDecoder&) = delete;
  CHardwareVideoDecoder& operator=(const CHardwareVideoDecoder&) = delete;

  // Opens a session for `codec_number` (kHevcCodecNumber or H.264) and pictures of width × height,
  // reading the stream's parameter sets from `header`. Returns the status of the decoder's
  // initialisation: 0 when ready, a positive SDK warning when set up with reservations, negative
  // (an SDK error, or -1 to -5 for this module's own checks) when the object stays idle.
  mfxStatus Create(std::int32_t codec_number, std::int32_t width, std::int32_t height,
                   const std::uint8_t* header, std::int32_t header_size);

  // Decodes one access unit. Before the first access unit that starts with a parameter set, data is
  // dropped. Returns 1 when a picture is ready, 0 when none is, -1 for a full input buffer or no
  // free surface, -2 when the device failed.
  std::int32_t DecodeFrame(const std::uint8_t* data, std::int32_t size);

  // Hands out the ready picture, once: a new block (new[]; the caller releases it with delete[])
  // holding the top-left part of the requested size. Returns 0, with a null picture and size 0 when
  // no new picture is ready, or -1 when nothing can be delivered (idle, no picture decoded yet, or
  // the requested size exceeds the decoded one).
  std::int32_t GetDecodedFrame(std::uint8_t** picture, std::int32_t* size, std::int32_t* width,
                               std::int32_t* height);

  // Drains and closes the session; the object is idle afterwards.
  void Close();

 private:
  mfxStatus FailCall(mfxStatus status, const char* source_path, int line);
  mfxStatus FailAllocation(const char* source_path, int line);
  mfxStatus OpenSession();
  mfxStatus LoadHevcPlugin();
  mfxStatus InitializeDecoder();
  mfxStatus DecodeAsync(mfxBitstream* bitstream);
  bool PickWorkSurface();

  std::unique_ptr<MFXVideoDECODE> decode_;
  std::unique_ptr<mediacommon::SurfacePool> surfaces_;
  mfxFrameSurface1* output_surface_ = nullptr;
  mfxVideoParam video_parameters_{};
  mfxSyncPoint sync_point_ = nullptr;
  mfxBitstream bitstream_{};
  std::unique_ptr<mfxU8[]> bitstream_buffer_;
  mfxStatus last_status_ = MFX_ERR_NONE;
  int work_surface_index_ = mediacommon::kNoFreeSurface;
  std::int32_t requested_width_ = 0;
  std::int32_t requested_height_ = 0;
  bool frame_ready_ = false;
  bool initialised_ = false;
  bool waiting_for_key_data_ = true;
  VideoCodec codec_ = VideoCodec::kH264;
  MFXVideoSession session_;
  mediacommon::MyLock lock_;
  CClientLog log_;
};

}  // namespace moraine::tarn
