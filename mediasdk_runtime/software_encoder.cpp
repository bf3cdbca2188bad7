#include "mediasdk_runtime/software_encoder.h"

extern "C" {
#include <x264.h>
}

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <span>
#include <thread>

#include "bitstream/nal_units.h"
#include "bitstream/sequence_parameter_set.h"
#include "mediasdk_runtime/decode_parameters.h"
#include "mediasdk_runtime/encode_parameters.h"

namespace moraine::mediasdk {
namespace {

const char* ProfileName(mfxU16 profile) {
  switch (profile & 0xFF) {
    case MFX_PROFILE_AVC_BASELINE: return "baseline";
    case MFX_PROFILE_AVC_MAIN: return "main";
    case MFX_PROFILE_AVC_HIGH: return "high";
    default: return nullptr;  // libx264 chooses
  }
}

bool ConfigureRateControl(const mfxVideoParam& par, x264_param_t& settings) {
  const RateControlValues rate = RateControlOf(par);
  switch (par.mfx.RateControlMethod) {
    case MFX_RATECONTROL_CQP:
      settings.rc.i_rc_method = X264_RC_CQP;
      settings.rc.i_qp_constant = std::clamp<int>(par.mfx.QPP != 0 ? par.mfx.QPP : par.mfx.QPI, 0, 51);
      return true;
    case MFX_RATECONTROL_AVBR:
      settings.rc.i_rc_method = X264_RC_ABR;
      settings.rc.i_bitrate = static_cast<int>(rate.target_kbps);
      return true;
    case MFX_RATECONTROL_CBR:
    case MFX_RATECONTROL_VBR:
      settings.rc.i_rc_method = X264_RC_ABR;
      settings.rc.i_bitrate = static_cast<int>(rate.target_kbps);
      settings.rc.i_vbv_max_bitrate = static_cast<int>(rate.max_kbps);
      settings.rc.i_vbv_buffer_size = static_cast<int>(rate.vbv_buffer_kb * 8);
      settings.rc.f_vbv_buffer_init =
          rate.vbv_buffer_kb != 0
              ? std::min(1.0f, static_cast<float>(rate.initial_delay_kb) / rate.vbv_buffer_kb)
              : 0.9f;
      return true;
    default:
      return false;
  }
}

// Fills the profile, level, reference count and slice count that the opened encoder uses.
void ReportEncoderChoices(x264_t* encoder, mfxVideoParam& par) {
  x264_param_t used{};
  x264_encoder_parameters(encoder, &used);
  par.mfx.NumRefFrame = static_cast<mfxU16>(used.i_frame_reference);
  par.mfx.NumSlice = static_cast<mfxU16>(
      std::max({used.i_slice_count, used.b_sliced_threads ? used.i_threads : 1, 1}));
  x264_nal_t* nals = nullptr;
  int nal_count = 0;
  if (x264_encoder_headers(encoder, &nals, &nal_count) < 0) return;
  for (int i = 0; i < nal_count; ++i) {
    if (nals[i].i_type != NAL_SPS) continue;
    const std::span<const uint8_t> bytes(nals[i].p_payload, static_cast<size_t>(nals[i].i_payload));
    const std::optional<NalUnit> unit = NextNalUnit(bytes, 0);
    if (!unit) continue;
    const std::optional<SequenceInfo> sequence =
        ParseSequenceParameterSet(VideoCodec::kH264, bytes.subspan(unit->payload_offset, unit->size));
    if (!sequence) continue;
    mfxVideoParam header{};
    ApplySequenceInfo(VideoCodec::kH264, *sequence, header);
    par.mfx.CodecProfile = header.mfx.CodecProfile;
    par.mfx.CodecLevel = header.mfx.CodecLevel;
  }
}

mfxU16 FrameTypeOf(int x264_type) {
  switch (x264_type) {
    case X264_TYPE_IDR: return MFX_FRAMETYPE_I | MFX_FRAMETYPE_REF | MFX_FRAMETYPE_IDR;
    case X264_TYPE_I: return MFX_FRAMETYPE_I | MFX_FRAMETYPE_REF;
    case X264_TYPE_P: return MFX_FRAMETYPE_P | MFX_FRAMETYPE_REF;
    case X264_TYPE_BREF: return MFX_FRAMETYPE_B | MFX_FRAMETYPE_REF;
    default: return MFX_FRAMETYPE_B;
  }
}

mfxU32 PitchOf(const mfxFrameData& data) {
  return (static_cast<mfxU32>(data.PitchHigh) << 16) | data.PitchLow;
}

int SliceThreadCount() {
  // Each picture is shared out to the slice threads and waited for as a whole, so a slice thread
  // that the decoder keeps off its core holds up the picture while the other cores idle. Twice as
  // many slices as cores keeps the cores busy while one of them decodes; measured on two cores, the
  // conversion ran about 5 % faster with four slices than with two, for 0.5 % more encoding work.
  constexpr unsigned kSlicesPerCore = 2;
  constexpr unsigned kMostSlices = 16;
  const unsigned cores = std::max(std::thread::hardware_concurrency(), 1u);
  return static_cast<int>(std::min(cores * kSlicesPerCore, kMostSlices));
}

}  // namespace

void SoftwareEncoder::EncoderCloser::operator()(x264_t* encoder) const {
  x264_encoder_close(encoder);
}

std::string SoftwareEncoder::PresetFor(mfxU16 target_usage) {
  static constexpr std::array<const char*, 8> kPresets = {
      "medium", "slow", "medium", "fast", "faster", "veryfast", "superfast", "ultrafast"};
  if (const char* chosen = std::getenv("MORAINE_X264_PRESET"); chosen != nullptr) {
    for (int i = 0; x264_preset_names[i] != nullptr; ++i) {
      if (std::strcmp(chosen, x264_preset_names[i]) == 0) return chosen;
    }
  }
  return kPresets[std::min<size_t>(target_usage, kPresets.size() - 1)];
}

std::unique_ptr<SoftwareEncoder> SoftwareEncoder::Open(const mfxVideoParam& par) {
  const mfxFrameInfo& info = par.mfx.FrameInfo;
  x264_param_t settings{};
  if (x264_param_default_preset(&settings, PresetFor(par.mfx.TargetUsage).c_str(), "zerolatency") <
      0) {
    return nullptr;
  }
  settings.i_log_level = X264_LOG_ERROR;
  settings.i_csp = X264_CSP_NV12;
  settings.i_width = info.CropW;
  settings.i_height = info.CropH;
  settings.i_fps_num = info.FrameRateExtN;
  settings.i_fps_den = info.FrameRateExtD;
  settings.b_vfr_input = 0;
  if (info.AspectRatioW != 0 && info.AspectRatioH != 0) {
    settings.vui.i_sar_width = info.AspectRatioW;
    settings.vui.i_sar_height = info.AspectRatioH;
  }
  // Picture types are chosen per picture from the GOP settings (NextPictureType).
  settings.i_keyint_max = X264_KEYINT_MAX_INFINITE;
  settings.i_scenecut_threshold = 0;
  settings.i_bframe = 0;
  settings.rc.i_lookahead = 0;
  settings.i_sync_lookahead = 0;
  settings.b_sliced_threads = 1;
  settings.i_threads = SliceThreadCount();
  settings.b_repeat_headers = 1;
  settings.b_annexb = 1;
  if (par.mfx.NumRefFrame != 0) settings.i_frame_reference = par.mfx.NumRefFrame;
  if (par.mfx.NumSlice != 0) settings.i_slice_count = par.mfx.NumSlice;
  if (par.mfx.CodecLevel != 0) settings.i_level_idc = par.mfx.CodecLevel;
  if (!ConfigureRateControl(par, settings)) return nullptr;
  if (const char* profile = ProfileName(par.mfx.CodecProfile);
      profile != nullptr && x264_param_apply_profile(&settings, profile) < 0) {
    return nullptr;
  }
  std::unique_ptr<x264_t, EncoderCloser> encoder(x264_encoder_open(&settings));
  if (!encoder) return nullptr;
  return std::unique_ptr<SoftwareEncoder>(new SoftwareEncoder(std::move(encoder), par));
}

SoftwareEncoder::SoftwareEncoder(std::unique_ptr<x264_t, EncoderCloser> encoder,
                                 const mfxVideoParam& par)
    : encoder_(std::move(encoder)), parameters_(par) {
  parameters_.NumExtParam = 0;
  parameters_.ExtParam = nullptr;
  ReportEncoderChoices(encoder_.get(), parameters_);
}

SoftwareEncoder::~SoftwareEncoder() = default;

mfxEncodeStat SoftwareEncoder::statistics() const {
  mfxEncodeStat statistics{};
  statistics.NumFrame = frames_out_;
  statistics.NumBit = bits_out_;
  return statistics;
}

int SoftwareEncoder::NextPictureType(const mfxEncodeCtrl* control) {
  const mfxU32 gop = parameters_.mfx.GopPicSize != 0 ? parameters_.mfx.GopPicSize : kDefaultGopPicSize;
  const mfxU32 idr_period = gop * (mfxU32{parameters_.mfx.IdrInterval} + 1);
  const bool forced_idr = control != nullptr && (control->FrameType & MFX_FRAMETYPE_IDR) != 0;
  const bool forced_intra = control != nullptr && (control->FrameType & MFX_FRAMETYPE_I) != 0;
  if (first_picture_ || forced_idr || pictures_since_idr_ >= idr_period) {
    first_picture_ = false;
    pictures_since_idr_ = 1;
    return X264_TYPE_IDR;
  }
  const mfxU32 position = pictures_since_idr_++;
  if (forced_intra || position % gop == 0) return X264_TYPE_I;
  return X264_TYPE_P;
}

mfxStatus SoftwareEncoder::EncodeFrame(const mfxEncodeCtrl* control,
                                       const mfxFrameSurface1& surface, mfxBitstream& bitstream) {
  const mfxFrameInfo& info = parameters_.mfx.FrameInfo;
  const mfxU32 pitch = PitchOf(surface.Data);
  if (surface.Data.Y == nullptr || surface.Data.UV == nullptr ||
      pitch < mfxU32{info.CropX} + info.CropW) {
    return MFX_ERR_UNDEFINED_BEHAVIOR;
  }
  if (surface.Info.Width < info.Width || surface.Info.Height < info.Height) {
    return MFX_ERR_INVALID_VIDEO_PARAM;
  }
  x264_picture_t input;
  x264_picture_init(&input);
  input.img.i_csp = X264_CSP_NV12;
  input.img.i_plane = 2;
  input.img.plane[0] = surface.Data.Y + size_t{info.CropY} * pitch + info.CropX;
  input.img.plane[1] = surface.Data.UV + size_t{info.CropY / 2u} * pitch + info.CropX;
  input.img.i_stride[0] = static_cast<int>(pitch);
  input.img.i_stride[1] = static_cast<int>(pitch);
  input.i_type = NextPictureType(control);
  input.i_pts = frames_out_;

  x264_picture_t output;
  x264_nal_t* nals = nullptr;
  int nal_count = 0;
  const int size = x264_encoder_encode(encoder_.get(), &nals, &nal_count, &input, &output);
  if (size < 0) return MFX_ERR_UNKNOWN;
  if (size == 0) return MFX_ERR_MORE_DATA;  // not expected with the settings above
  // libx264 stores the NAL units of one picture back to back, so they are one copy.
  const mfxU32 room = bitstream.MaxLength - bitstream.DataOffset - bitstream.DataLength;
  if (static_cast<mfxU32>(size) > room) return MFX_ERR_NOT_ENOUGH_BUFFER;
  std::memcpy(bitstream.Data + bitstream.DataOffset + bitstream.DataLength, nals[0].p_payload,
              static_cast<size_t>(size));
  bitstream.DataLength += static_cast<mfxU32>(size);
  bitstream.FrameType = FrameTypeOf(output.i_type);
  bitstream.PicStruct = MFX_PICSTRUCT_PROGRESSIVE;
  bitstream.TimeStamp = surface.Data.TimeStamp;
  bitstream.DecodeTimeStamp = static_cast<mfxI64>(surface.Data.TimeStamp);
  ++frames_out_;
  bits_out_ += static_cast<mfxU64>(size) * 8;
  return MFX_ERR_NONE;
}

}  // namespace moraine::mediasdk
