#include "tarn/hardwarevideodecoder/hardware_video_decoder.h"

#include <mfx/mfxplugin.h>

#include <limits>
#include <new>

#include "mediacommon/failure_markers.h"
#include "mediacommon/status_report.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "tarn/hardwarevideodecoder/access_violation_guard.h"
#include "tarn/utils/bitstream_append.h"
#include "tarn/utils/picture_copy.h"

namespace moraine::tarn {
namespace {

constexpr mfxU32 kSyncTimeoutMilliseconds = 60000;

// The SDK's hardware HEVC decoder plug-in.
constexpr mfxPluginUID kHevcHardwareDecoderUid = {
    {0x33, 0xa6, 0x1c, 0x0b, 0x4c, 0x27, 0x45, 0x4c, 0xa8, 0xd8, 0x5d, 0xde, 0x75, 0x7c, 0x6f, 0x8e}};

}  // namespace

CHardwareVideoDecoder::CHardwareVideoDecoder() { log_.UseLogger("tarn"); }

CHardwareVideoDecoder::~CHardwareVideoDecoder() { Close(); }

mfxStatus CHardwareVideoDecoder::FailCall(mfxStatus status, const char* source_path, int line) {
  mediacommon::PrintStatusReport(status, source_path, line);
  Close();
  mediacommon::MarkFailedCall();
  return status;
}

mfxStatus CHardwareVideoDecoder::FailAllocation(const char* source_path, int line) {
  mediacommon::PrintStatusReport(MFX_ERR_MEMORY_ALLOC, source_path, line);
  Close();
  mediacommon::MarkFailedAllocation();
  return MFX_ERR_MEMORY_ALLOC;
}

mfxStatus CHardwareVideoDecoder::OpenSession() {
  mfxVersion version{};
  version.Major = 1;
  version.Minor = 7;
  const mfxStatus status = session_.Init(MFX_IMPL_AUTO_ANY, &version);
  if (status < MFX_ERR_NONE) MORAINE_REPORT_STATUS(status);
  return status;
}

mfxStatus CHardwareVideoDecoder::LoadHevcPlugin() {
  if (MFXVideoUSER_Load(session_, &kHevcHardwareDecoderUid, 1) < MFX_ERR_NONE) {
    log_.Error("Loading HEVC plugin failed");
    Close();
    return MFX_ERR_UNSUPPORTED;
  }
  return MFX_ERR_NONE;
}

mfxStatus CHardwareVideoDecoder::InitializeDecoder() {
  mfxStatus status = MFX_ERR_NONE;
  bool finished = false;
  {
    mediacommon::ScopedLock global_lock(mediacommon::CGlobalLock::Instance().Section());
    finished = CallWithAccessViolationGuard([&] { status = decode_->Init(&video_parameters_); });
  }
  if (!finished) {
    platform::OutputDebugText("Access violation\n");
    log_.Error("Hardware decoding exception %s", "HW decoder access violation");
    Close();
    return MFX_ERR_UNKNOWN;
  }
  if (status == MFX_WRN_PARTIAL_ACCELERATION) log_.Error("PARTIAL ACCELERATION");
  if (status < MFX_ERR_NONE) return FailCall(status, __FILE__, __LINE__);
  return status;
}

mfxStatus CHardwareVideoDecoder::Create(std::int32_t codec_number, std::int32_t width, std::int32_t height,
                                        const std::uint8_t* header, std::int32_t header_size) {
  // A picture of no area cannot be handed out; refuse it before touching the SDK.
  if (width <= 0 || height <= 0) return MFX_ERR_UNKNOWN;
  Close();
  mediacommon::ScopedLock guard(lock_.Section());

  codec_ = codec_number == kHevcCodecNumber ? VideoCodec::kHevc : VideoCodec::kH264;
  // A new stream starts from a clean slate, also when the handle was not closed before.
  last_status_ = MFX_ERR_NONE;
  frame_ready_ = false;
  output_surface_ = nullptr;

  mfxStatus status = OpenSession();
  if (status < MFX_ERR_NONE) return FailCall(status, __FILE__, __LINE__);

  decode_ = std::make_unique<MFXVideoDECODE>(session_);
  video_parameters_ = mfxVideoParam{};
  video_parameters_.IOPattern = MFX_IOPATTERN_OUT_SYSTEM_MEMORY;
  video_parameters_.mfx.CodecId = codec_ == VideoCodec::kHevc ? MFX_CODEC_HEVC : MFX_CODEC_AVC;

  if (codec_ == VideoCodec::kHevc) {
    status = LoadHevcPlugin();
    if (status < MFX_ERR_NONE) return status;
  }

  bitstream_ = mfxBitstream{};
  bitstream_.MaxLength = kBitstreamCapacity;
  bitstream_buffer_.reset(new (std::nothrow) mfxU8[kBitstreamCapacity]);
  if (!bitstream_buffer_) return FailAllocation(__FILE__, __LINE__);
  bitstream_.Data = bitstream_buffer_.get();

  status = AppendToBitstream(bitstream_, header, header_size);
  if (status < MFX_ERR_NONE) return FailCall(status, __FILE__, __LINE__);

  status = decode_->DecodeHeader(&bitstream_, &video_parameters_);
  if (status != MFX_ERR_NONE) log_.Error("Hw decoder - decode header failed");
  video_parameters_.mfx.FrameInfo.AspectRatioW = 1;
  video_parameters_.mfx.FrameInfo.AspectRatioH = 1;
  if (status < MFX_ERR_NONE) return FailCall(status, __FILE__, __LINE__);

  mfxFrameAllocRequest request{};
  status = decode_->QueryIOSurf(&video_parameters_, &request);
  if (status < MFX_ERR_NONE) return FailCall(status, __FILE__, __LINE__);

  video_parameters_.AsyncDepth = 1;
  video_parameters_.mfx.DecodedOrder = 1;  // pictures leave the decoder in decoding order

  const mfxFrameInfo& frame = video_parameters_.mfx.FrameInfo;
  surfaces_ = mediacommon::SurfacePool::Create(frame, frame.Width, frame.Height,
                                               DecoderSurfaceCount(request.NumFrameSuggested));
  if (!surfaces_) return FailAllocation(__FILE__, __LINE__);

  const mfxStatus init_status = InitializeDecoder();
  if (init_status < MFX_ERR_NONE) return init_status;

  requested_width_ = width;
  requested_height_ = height;
  initialised_ = true;
  waiting_for_key_data_ = true;
  log_.Debug("Hardware decoding available %s, w=%d h=%d", init_status == MFX_ERR_NONE ? "YES" : "NO", width,
             height);
  return init_status;
}

mfxStatus CHardwareVideoDecoder::DecodeAsync(mfxBitstream* bitstream) {
  sync_point_ = nullptr;
  return decode_->DecodeFrameAsync(bitstream, surfaces_->Surface(work_surface_index_), &output_surface_,
                                   &sync_point_);
}

bool CHardwareVideoDecoder::PickWorkSurface() {
  work_surface_index_ = surfaces_->FindFreeSurface();
  if (work_surface_index_ >= 0) return true;
  MORAINE_REPORT_STATUS(MFX_ERR_UNKNOWN);
  return false;
}

std::int32_t CHardwareVideoDecoder::DecodeFrame(const std::uint8_t* data, std::int32_t size) {
  mediacommon::ScopedLock guard(lock_.Section());
  if (!initialised_) return 0;

  bool found_key_data = false;
  if (waiting_for_key_data_) {
    if (!IsKeyData(codec_, data, size)) return 0;
    waiting_for_key_data_ = false;
    found_key_data = true;
  }
  if (AppendToBitstream(bitstream_, data, size) != MFX_ERR_NONE) return -1;

  for (;;) {
    // A decoder that met an error keeps answering from its last state until it is closed.
    if (last_status_ < MFX_ERR_NONE && last_status_ != MFX_ERR_MORE_SURFACE) {
      if (last_status_ == MFX_ERR_DEVICE_FAILED) return -2;
      return frame_ready_ ? 1 : 0;
    }
    if (last_status_ == MFX_WRN_DEVICE_BUSY) platform::SleepMilliseconds(1);
    if (last_status_ == MFX_ERR_NONE || last_status_ == MFX_ERR_MORE_SURFACE) {
      if (!PickWorkSurface()) return -1;
    }

    mfxStatus status = DecodeAsync(&bitstream_);
    if (status == MFX_ERR_MORE_SURFACE) {
      if (!PickWorkSurface()) return -1;
      status = DecodeAsync(nullptr);
    }
    // The first parameter sets alone leave the decoder asking for more; an empty call pushes the
    // first picture out at once.
    if (found_key_data && status == MFX_ERR_MORE_DATA) status = DecodeAsync(nullptr);
    last_status_ = status;

    if (last_status_ == MFX_ERR_INCOMPATIBLE_VIDEO_PARAM) return 1;
    if (last_status_ > MFX_ERR_NONE && sync_point_ != nullptr) last_status_ = MFX_ERR_NONE;
    if (last_status_ == MFX_ERR_NONE) last_status_ = session_.SyncOperation(sync_point_, kSyncTimeoutMilliseconds);
    if (last_status_ == MFX_WRN_VIDEO_PARAM_CHANGED) last_status_ = MFX_ERR_NONE;
    if (last_status_ == MFX_ERR_MORE_DATA) {
      last_status_ = MFX_ERR_NONE;
      break;
    }
    if (last_status_ == MFX_ERR_NONE) break;
  }
  if (output_surface_ != nullptr) frame_ready_ = true;
  return frame_ready_ ? 1 : 0;
}

std::int32_t CHardwareVideoDecoder::GetDecodedFrame(std::uint8_t** picture, std::int32_t* size, std::int32_t* width,
                                                    std::int32_t* height) {
  mediacommon::ScopedLock guard(lock_.Section());
  if (!initialised_ || output_surface_ == nullptr) return -1;
  if (requested_width_ > output_surface_->Info.Width || requested_height_ > output_surface_->Info.Height) return -1;

  *size = 0;
  *picture = nullptr;
  if (!frame_ready_) return 0;

  PackedPicture packed = CopyPackedPicture(output_surface_->Data, requested_width_, requested_height_);
  if (packed.size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return -1;
  *size = static_cast<std::int32_t>(packed.size);
  *picture = packed.bytes.release();
  *width = requested_width_;
  *height = requested_height_;
  frame_ready_ = false;
  return 0;
}

void CHardwareVideoDecoder::Close() {
  mediacommon::ScopedLock guard(lock_.Section());
  if (!decode_) return;
  initialised_ = false;

  // Collect what the decoder still holds so that it lets go of every surface.
  while (last_status_ >= MFX_ERR_NONE || last_status_ == MFX_ERR_MORE_SURFACE) {
    if (last_status_ == MFX_WRN_DEVICE_BUSY) platform::SleepMilliseconds(1);
    work_surface_index_ = surfaces_ ? surfaces_->FindFreeSurface() : mediacommon::kNoFreeSurface;
    if (work_surface_index_ < 0) break;
    last_status_ = DecodeAsync(nullptr);
    if (last_status_ > MFX_ERR_NONE && sync_point_ != nullptr) last_status_ = MFX_ERR_NONE;
    if (last_status_ == MFX_ERR_NONE) last_status_ = session_.SyncOperation(sync_point_, kSyncTimeoutMilliseconds);
  }
  decode_->Close();
  surfaces_.reset();
  bitstream_buffer_.reset();
  bitstream_ = mfxBitstream{};
  decode_.reset();
  session_.Close();
  // The surfaces are gone; a later Create must not hand out a picture from them.
  output_surface_ = nullptr;
}

}  // namespace moraine::tarn
