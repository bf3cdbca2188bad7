#include "mediasdk_runtime/encode_parameters.h"

#include <algorithm>
#include <type_traits>

#include "mediasdk_runtime/query_marks.h"

namespace moraine::mediasdk {
namespace {

constexpr mfxU16 kMaxEncodeSide = 8192;

bool IsSupportedRateControl(mfxU16 method) {
  return method == MFX_RATECONTROL_CBR || method == MFX_RATECONTROL_VBR ||
         method == MFX_RATECONTROL_CQP || method == MFX_RATECONTROL_AVBR;
}

bool UsesBitRate(mfxU16 method) { return method != MFX_RATECONTROL_CQP; }

bool UsesBuffer(mfxU16 method) {
  return method == MFX_RATECONTROL_CBR || method == MFX_RATECONTROL_VBR;
}

bool IsSupportedProfile(mfxU16 profile) {
  switch (profile) {
    case 0:
    case MFX_PROFILE_AVC_BASELINE:
    case MFX_PROFILE_AVC_CONSTRAINED_BASELINE:
    case MFX_PROFILE_AVC_MAIN:
    case MFX_PROFILE_AVC_HIGH:
    case MFX_PROFILE_AVC_PROGRESSIVE_HIGH:
    case MFX_PROFILE_AVC_CONSTRAINED_HIGH:
      return true;
    default:
      return false;
  }
}

bool IsSupportedLevel(mfxU16 level) {
  switch (level) {
    case 0: case 9: case 10: case 11: case 12: case 13: case 20: case 21: case 22: case 30:
    case 31: case 32: case 40: case 41: case 42: case 50: case 51: case 52:
      return true;
    default:
      return false;
  }
}

mfxU16 Multiplier(const mfxVideoParam& par) {
  return par.mfx.BRCParamMultiplier != 0 ? par.mfx.BRCParamMultiplier : 1;
}

// One picture's raw NV12 bytes in kilobytes, rounded up.
mfxU32 UncompressedPictureKb(const mfxFrameInfo& info) {
  return (mfxU32{info.Width} * info.Height * 3 / 2 + 999) / 1000;
}

}  // namespace

mfxStatus QueryEncodeParameters(const mfxVideoParam* in, mfxVideoParam& out) {
  if (in == nullptr) {
    StartQueryMarks(out);
    mfxInfoMFX& mfx = out.mfx;
    mfx.CodecId = mfx.CodecProfile = mfx.CodecLevel = 1;
    mfx.TargetUsage = mfx.GopPicSize = mfx.GopRefDist = mfx.IdrInterval = 1;
    mfx.RateControlMethod = mfx.InitialDelayInKB = mfx.BufferSizeInKB = 1;
    mfx.TargetKbps = mfx.MaxKbps = mfx.NumSlice = mfx.NumRefFrame = mfx.BRCParamMultiplier = 1;
    mfxFrameInfo& info = mfx.FrameInfo;
    info.FourCC = info.ChromaFormat = info.Width = info.Height = 1;
    info.CropX = info.CropY = info.CropW = info.CropH = 1;
    info.FrameRateExtN = info.FrameRateExtD = info.AspectRatioW = info.AspectRatioH = 1;
    info.PicStruct = 1;
    return MFX_ERR_NONE;
  }
  mfxVideoParam corrected = *in;
  corrected.NumExtParam = out.NumExtParam;
  corrected.ExtParam = out.ExtParam;
  mfxStatus status = MFX_ERR_NONE;
  const auto reject = [&status](auto& field) {
    field = 0;
    status = MFX_ERR_UNSUPPORTED;
  };
  const auto correct = [&status](auto& field, auto value) {
    field = static_cast<std::remove_reference_t<decltype(field)>>(value);
    if (status == MFX_ERR_NONE) status = MFX_WRN_INCOMPATIBLE_VIDEO_PARAM;
  };
  mfxInfoMFX& mfx = corrected.mfx;
  mfxFrameInfo& info = mfx.FrameInfo;
  if (mfx.CodecId != MFX_CODEC_AVC) reject(mfx.CodecId);
  if (corrected.IOPattern != 0 && corrected.IOPattern != MFX_IOPATTERN_IN_SYSTEM_MEMORY) {
    reject(corrected.IOPattern);
  }
  if (corrected.Protected != 0) reject(corrected.Protected);
  if (info.FourCC != 0 && info.FourCC != MFX_FOURCC_NV12) reject(info.FourCC);
  if (info.ChromaFormat != 0 && info.ChromaFormat != MFX_CHROMAFORMAT_YUV420) {
    reject(info.ChromaFormat);
  }
  if (info.PicStruct != 0 && info.PicStruct != MFX_PICSTRUCT_PROGRESSIVE) reject(info.PicStruct);
  if (info.Width % 16 != 0 || info.Width > kMaxEncodeSide) reject(info.Width);
  if (info.Height % 16 != 0 || info.Height > kMaxEncodeSide) reject(info.Height);
  if (info.CropX % 2 != 0) correct(info.CropX, info.CropX & ~1);
  if (info.CropY % 2 != 0) correct(info.CropY, info.CropY & ~1);
  if (info.CropW % 2 != 0) correct(info.CropW, info.CropW & ~1);
  if (info.CropH % 2 != 0) correct(info.CropH, info.CropH & ~1);
  if (info.Width != 0 && mfxU32{info.CropX} + info.CropW > info.Width) reject(info.CropW);
  if (info.Height != 0 && mfxU32{info.CropY} + info.CropH > info.Height) reject(info.CropH);
  if (mfx.RateControlMethod != 0 && !IsSupportedRateControl(mfx.RateControlMethod)) {
    reject(mfx.RateControlMethod);
  }
  if (mfx.TargetUsage > MFX_TARGETUSAGE_BEST_SPEED) correct(mfx.TargetUsage, MFX_TARGETUSAGE_BALANCED);
  if (mfx.GopRefDist > 1) correct(mfx.GopRefDist, 1);  // pictures leave the encoder in input order
  if (mfx.NumRefFrame > 16) correct(mfx.NumRefFrame, 16);
  if (!IsSupportedProfile(mfx.CodecProfile)) reject(mfx.CodecProfile);
  if (!IsSupportedLevel(mfx.CodecLevel)) reject(mfx.CodecLevel);
  if (mfx.RateControlMethod == MFX_RATECONTROL_VBR && mfx.MaxKbps != 0 &&
      mfx.MaxKbps < mfx.TargetKbps) {
    correct(mfx.MaxKbps, mfx.TargetKbps);
  }
  out = corrected;
  return status;
}

mfxStatus QueryEncodeSurfaces(const mfxVideoParam& par, mfxFrameAllocRequest& request) {
  if (par.mfx.CodecId != MFX_CODEC_AVC) return MFX_ERR_UNSUPPORTED;
  if (par.IOPattern != MFX_IOPATTERN_IN_SYSTEM_MEMORY) return MFX_ERR_INVALID_VIDEO_PARAM;
  const mfxFrameInfo& info = par.mfx.FrameInfo;
  if (info.Width == 0 || info.Height == 0 || info.Width % 16 != 0 || info.Height % 16 != 0) {
    return MFX_ERR_INVALID_VIDEO_PARAM;
  }
  request = mfxFrameAllocRequest{};
  request.Info = info;
  request.Type = MFX_MEMTYPE_EXTERNAL_FRAME | MFX_MEMTYPE_FROM_ENCODE | MFX_MEMTYPE_SYSTEM_MEMORY;
  request.NumFrameMin = 1;
  request.NumFrameSuggested = par.AsyncDepth != 0 ? par.AsyncDepth : 4;
  return MFX_ERR_NONE;
}

mfxStatus CompleteEncodeParameters(mfxVideoParam& par) {
  if (par.mfx.CodecId != MFX_CODEC_AVC || par.Protected != 0) return MFX_ERR_UNSUPPORTED;
  if (par.IOPattern != MFX_IOPATTERN_IN_SYSTEM_MEMORY) return MFX_ERR_INVALID_VIDEO_PARAM;
  mfxInfoMFX& mfx = par.mfx;
  mfxFrameInfo& info = mfx.FrameInfo;
  if (info.FourCC != MFX_FOURCC_NV12 || info.Width == 0 || info.Height == 0 ||
      info.FrameRateExtN == 0 || info.FrameRateExtD == 0) {
    return MFX_ERR_INVALID_VIDEO_PARAM;
  }
  if (mfx.RateControlMethod == 0) mfx.RateControlMethod = MFX_RATECONTROL_CBR;
  if (!IsSupportedRateControl(mfx.RateControlMethod)) return MFX_ERR_INVALID_VIDEO_PARAM;
  if (UsesBitRate(mfx.RateControlMethod) && mfx.TargetKbps == 0) return MFX_ERR_INVALID_VIDEO_PARAM;

  mfxVideoParam checked = par;
  const mfxStatus query_status = QueryEncodeParameters(&par, checked);
  if (query_status < MFX_ERR_NONE) return MFX_ERR_INVALID_VIDEO_PARAM;
  par = checked;
  if (info.CropW == 0) info.CropW = info.Width;
  if (info.CropH == 0) info.CropH = info.Height;
  if (info.ChromaFormat == 0) info.ChromaFormat = MFX_CHROMAFORMAT_YUV420;
  if (info.PicStruct == 0) info.PicStruct = MFX_PICSTRUCT_PROGRESSIVE;
  if (mfx.TargetUsage == 0) mfx.TargetUsage = MFX_TARGETUSAGE_BALANCED;
  if (mfx.GopRefDist == 0) mfx.GopRefDist = 1;
  if (mfx.GopPicSize == 0) mfx.GopPicSize = kDefaultGopPicSize;
  if (par.AsyncDepth == 0) par.AsyncDepth = 4;

  if (UsesBitRate(mfx.RateControlMethod)) {
    // Work in plain units, then find the smallest multiplier that lets every value fit 16 bits.
    const mfxU32 multiplier = Multiplier(par);
    const mfxU32 target = mfx.TargetKbps * multiplier;
    mfxU32 max = mfx.MaxKbps * multiplier;
    if (mfx.RateControlMethod == MFX_RATECONTROL_CBR || mfx.RateControlMethod == MFX_RATECONTROL_AVBR) {
      max = target;
    } else if (max < target) {
      max = target + target / 2;
    }
    const mfxU32 given_buffer = mfx.BufferSizeInKB * multiplier;
    const mfxU32 vbv_buffer = given_buffer != 0 ? given_buffer : max * 2 / 8;  // 2 s of kbit as KB
    const mfxU32 buffer = std::max(vbv_buffer, UncompressedPictureKb(info));
    const mfxU32 given_delay = mfx.InitialDelayInKB * multiplier;
    const mfxU32 delay = (given_delay != 0 && given_delay <= vbv_buffer) ? given_delay : vbv_buffer / 2;
    const mfxU32 largest = std::max({target, max, buffer});
    const mfxU32 new_multiplier = largest / 65536 + 1;
    mfx.BRCParamMultiplier = static_cast<mfxU16>(new_multiplier);
    mfx.TargetKbps = static_cast<mfxU16>(target / new_multiplier);
    mfx.MaxKbps = static_cast<mfxU16>(max / new_multiplier);
    mfx.BufferSizeInKB = static_cast<mfxU16>((buffer + new_multiplier - 1) / new_multiplier);
    mfx.InitialDelayInKB = static_cast<mfxU16>(delay / new_multiplier);
  } else {
    mfx.BRCParamMultiplier = 1;
    mfx.BufferSizeInKB = static_cast<mfxU16>(std::min<mfxU32>(UncompressedPictureKb(info), 65535));
  }
  return query_status;
}

RateControlValues RateControlOf(const mfxVideoParam& completed) {
  const mfxInfoMFX& mfx = completed.mfx;
  const mfxU32 multiplier = Multiplier(completed);
  RateControlValues values;
  values.target_kbps = mfx.TargetKbps * multiplier;
  values.max_kbps = mfx.MaxKbps * multiplier;
  values.buffer_kb = mfx.BufferSizeInKB * multiplier;
  values.initial_delay_kb = mfx.InitialDelayInKB * multiplier;
  if (UsesBuffer(mfx.RateControlMethod)) {
    // The output buffer may have been raised to one uncompressed picture; the rate-control buffer
    // stays at two seconds of the peak rate.
    values.vbv_buffer_kb = std::min(values.buffer_kb, std::max<mfxU32>(values.max_kbps * 2 / 8, 1));
  }
  return values;
}

}  // namespace moraine::mediasdk
