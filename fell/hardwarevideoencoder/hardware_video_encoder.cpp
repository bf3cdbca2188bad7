#include "fell/hardwarevideoencoder/hardware_video_encoder.h"

#include <cstring>
#include <new>

#include "fell/utils/picture_copy_in.h"
#include "mediacommon/failure_markers.h"
#include "mediacommon/locks.h"
#include "mediacommon/status_report.h"
#include "platform/clock.h"

namespace moraine::fell {
namespace {

constexpr mfxU32 kSyncTimeoutMilliseconds = 60000;
constexpr std::int32_t kLargestDimension = 0xFFF0;  // the largest multiple of 16 an SDK frame size holds

// Initial pixels of every input surface: a flat grey that the encoder never gets to see as a picture.
constexpr std::uint8_t kInitialLuma = 100;
constexpr std::uint8_t kInitialChroma = 50;

constexpr mfxU16 AlignTo16(std::int32_t value) { return static_cast<mfxU16>((value + 15) & ~15); }

}  // namespace

CHardwareVideoEncoder::~CHardwareVideoEncoder() { Close(); }

mfxStatus CHardwareVideoEncoder::FailCall(mfxStatus status, const char* source_path, int line) {
  mediacommon::PrintStatusReport(status, source_path, line);
  Close();
  mediacommon::MarkFailedCall();
  return status;
}

mfxStatus CHardwareVideoEncoder::FailAllocation(const char* source_path, int line) {
  mediacommon::PrintStatusReport(MFX_ERR_MEMORY_ALLOC, source_path, line);
  Close();
  mediacommon::MarkFailedAllocation();
  return MFX_ERR_MEMORY_ALLOC;
}

mfxStatus CHardwareVideoEncoder::OpenSession() {
  mfxVersion version{};
  version.Major = 1;
  version.Minor = 0;
  const mfxStatus status = session_.Init(MFX_IMPL_AUTO_ANY, &version);
  if (status < MFX_ERR_NONE) MORAINE_REPORT_STATUS(status);
  return status;
}

mfxStatus CHardwareVideoEncoder::Create(std::int32_t frame_rate, std::int32_t kilobits_per_second,
                                        std::int32_t width, std::int32_t height) {
  if (width <= 0 || height <= 0 || width > kLargestDimension || height > kLargestDimension) {
    return MFX_ERR_INVALID_VIDEO_PARAM;
  }
  Close();
  mediacommon::ScopedLock guard(lock_);

  mfxStatus status = OpenSession();
  if (status < MFX_ERR_NONE) return FailCall(status, __FILE__, __LINE__);

  video_parameters_ = mfxVideoParam{};
  mfxInfoMFX& mfx = video_parameters_.mfx;
  mfx.CodecId = MFX_CODEC_AVC;
  mfx.TargetUsage = MFX_TARGETUSAGE_4;
  mfx.RateControlMethod = MFX_RATECONTROL_VBR;
  mfx.TargetKbps = static_cast<mfxU16>(kilobits_per_second);
  mfx.FrameInfo.FrameRateExtN = static_cast<mfxU32>(frame_rate);
  mfx.FrameInfo.FrameRateExtD = 1;
  mfx.FrameInfo.FourCC = MFX_FOURCC_NV12;
  mfx.FrameInfo.ChromaFormat = MFX_CHROMAFORMAT_YUV420;
  mfx.FrameInfo.PicStruct = MFX_PICSTRUCT_PROGRESSIVE;
  mfx.FrameInfo.Width = AlignTo16(width);
  mfx.FrameInfo.Height = AlignTo16(height);
  mfx.FrameInfo.CropX = 0;
  mfx.FrameInfo.CropY = 0;
  mfx.FrameInfo.CropW = static_cast<mfxU16>(width);
  mfx.FrameInfo.CropH = static_cast<mfxU16>(height);
  mfx.GopRefDist = 1;  // no B pictures: every picture comes out as soon as it went in
  video_parameters_.AsyncDepth = 1;
  video_parameters_.IOPattern = MFX_IOPATTERN_IN_SYSTEM_MEMORY;

  encode_ = std::make_unique<MFXVideoENCODE>(session_);

  status = encode_->Query(&video_parameters_, &video_parameters_);
  if (status < MFX_ERR_NONE) return FailCall(status, __FILE__, __LINE__);

  mfxFrameAllocRequest request{};
  status = encode_->QueryIOSurf(&video_parameters_, &request);
  if (status < MFX_ERR_NONE) return FailCall(status, __FILE__, __LINE__);

  surfaces_ = mediacommon::SurfacePool::Create(video_parameters_.mfx.FrameInfo, request.Info.Width,
                                               request.Info.Height, request.NumFrameSuggested);
  if (!surfaces_) return FailAllocation(__FILE__, __LINE__);
  surfaces_->FillPixels(kInitialLuma, kInitialChroma);

  {
    mediacommon::ScopedLock global_lock(mediacommon::CGlobalLock::Instance().Section());
    status = encode_->Init(&video_parameters_);
  }
  if (status < MFX_ERR_NONE) return FailCall(status, __FILE__, __LINE__);

  mfxVideoParam actual{};
  status = encode_->GetVideoParam(&actual);
  if (status < MFX_ERR_NONE) return FailCall(status, __FILE__, __LINE__);

  bitstream_ = mfxBitstream{};
  bitstream_.MaxLength = static_cast<mfxU32>(actual.mfx.BufferSizeInKB) * 1000;
  bitstream_buffer_.reset(new (std::nothrow) mfxU8[bitstream_.MaxLength]);
  if (!bitstream_buffer_) return FailAllocation(__FILE__, __LINE__);
  bitstream_.Data = bitstream_buffer_.get();

  requested_width_ = width;
  requested_height_ = height;
  initialised_ = true;
  return status;
}

mfxStatus CHardwareVideoEncoder::SubmitUntilAccepted(mfxFrameSurface1* surface) {
  for (;;) {
    sync_point_ = nullptr;
    const mfxStatus status = encode_->EncodeFrameAsync(nullptr, surface, &bitstream_, &sync_point_);
    if (status <= MFX_ERR_NONE || sync_point_ != nullptr) return status;
    if (status == MFX_WRN_DEVICE_BUSY) platform::SleepMilliseconds(1);
  }
}

void CHardwareVideoEncoder::TakeOutputCopy() {
  output_size_ = static_cast<std::int32_t>(bitstream_.DataLength);
  if (bitstream_.DataLength > 0) {
    output_copy_ = std::make_unique_for_overwrite<std::uint8_t[]>(bitstream_.DataLength);
    std::memcpy(output_copy_.get(), bitstream_.Data + bitstream_.DataOffset, bitstream_.DataLength);
  }
  bitstream_.DataLength = 0;
  output_flag_ = true;
}

std::int32_t CHardwareVideoEncoder::EncodeFrame(const std::uint8_t* picture, std::int32_t size) {
  mediacommon::ScopedLock guard(lock_);
  if (!initialised_) return 0;
  output_copy_.reset();
  output_size_ = 0;

  // A picture shorter than the created size would be read past its end: refuse it, keep the session.
  const bool flush_request = picture == nullptr || size == 0;
  if (!flush_request &&
      (size < 0 || static_cast<std::uint64_t>(size) < PackedPictureSize(video_parameters_.mfx.FrameInfo))) {
    return MFX_ERR_NOT_ENOUGH_BUFFER;
  }

  // The encoder is handed the pool surface itself, so the Locked count it keeps is the one
  // FindFreeSurface sees. A flush request submits nothing and needs no surface.
  mfxFrameSurface1* surface = nullptr;
  SurfacePlanes own_planes;
  mfxStatus status = MFX_ERR_MORE_DATA;
  if (!flush_request) {
    const int index = surfaces_->FindFreeSurface();
    if (index < 0) {
      MORAINE_REPORT_STATUS(MFX_ERR_MEMORY_ALLOC);
      return MFX_ERR_MEMORY_ALLOC;
    }
    surface = surfaces_->Surface(index);
    own_planes = PlanesOf(*surface);
    status = PrepareInputSurface(*surface, picture, size, *surface);
  }
  if (status == MFX_ERR_NONE) {
    status = SubmitUntilAccepted(surface);
    if (status >= MFX_ERR_NONE) {
      status = session_.SyncOperation(sync_point_, kSyncTimeoutMilliseconds);
      if (status < MFX_ERR_NONE) return FailCall(status, __FILE__, __LINE__);
      TakeOutputCopy();
    }
  }
  // MFX_ERR_MORE_DATA: a flush request, or the encoder took the picture and holds its output back;
  // the collection below gathers what it releases.
  if (status == MFX_ERR_MORE_DATA) status = MFX_ERR_NONE;
  if (status < MFX_ERR_NONE) return FailCall(status, __FILE__, __LINE__);

  mfxStatus collected = MFX_ERR_NONE;
  for (;;) {
    collected = SubmitUntilAccepted(nullptr);
    if (collected < MFX_ERR_NONE) break;
    const mfxStatus synchronised = session_.SyncOperation(sync_point_, kSyncTimeoutMilliseconds);
    if (synchronised < MFX_ERR_NONE) return FailCall(synchronised, __FILE__, __LINE__);
  }
  // The caller frees the picture once this returns. An encoder that still holds the surface (for
  // lookahead or reordering) reads it later, so it gets the picture's pixels in the surface's own
  // memory; the paths above that close the session need no such care.
  if (surface != nullptr) DetachFromPicture(*surface, own_planes, surface->Data.Locked > 0);
  if (collected == MFX_ERR_DEVICE_FAILED) return -2;
  return output_flag_ ? 1 : 0;
}

std::int32_t CHardwareVideoEncoder::GetEncodedFrame(const std::uint8_t** data, std::int32_t* size) {
  mediacommon::ScopedLock guard(lock_);
  if (!initialised_ || !output_flag_) return -1;
  *data = output_copy_.get();
  *size = output_size_;
  return 0;
}

void CHardwareVideoEncoder::Close() {
  mediacommon::ScopedLock guard(lock_);
  if (!encode_) return;
  initialised_ = false;
  for (;;) {
    if (SubmitUntilAccepted(nullptr) < MFX_ERR_NONE) break;
    session_.SyncOperation(sync_point_, kSyncTimeoutMilliseconds);
  }
  encode_->Close();
  surfaces_.reset();
  bitstream_buffer_.reset();
  bitstream_ = mfxBitstream{};
  encode_.reset();
  session_.Close();
  output_copy_.reset();
  output_size_ = 0;
}

}  // namespace moraine::fell
