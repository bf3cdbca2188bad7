#include "mediasdk_runtime/decode_parameters.h"

#include <algorithm>
#include <array>
#include <span>

#include "mediasdk_runtime/query_marks.h"

namespace moraine::mediasdk {
namespace {

constexpr mfxU16 kMaxDecodeSide = 16384;

mfxU16 AlignTo16(mfxU32 value) { return static_cast<mfxU16>((value + 15) & ~15u); }

mfxU16 AvcProfile(const SequenceInfo& sequence) {
  const bool constraint_set1 = (sequence.constraint_flags & 0x40) != 0;
  const bool constraint_set4 = (sequence.constraint_flags & 0x08) != 0;
  const bool constraint_set5 = (sequence.constraint_flags & 0x04) != 0;
  auto profile = static_cast<mfxU16>(sequence.profile);
  if (sequence.profile == MFX_PROFILE_AVC_BASELINE && constraint_set1) {
    profile |= MFX_PROFILE_AVC_CONSTRAINT_SET1;
  }
  if (sequence.profile == MFX_PROFILE_AVC_HIGH) {
    if (constraint_set4) profile |= MFX_PROFILE_AVC_CONSTRAINT_SET4;
    if (constraint_set5) profile |= MFX_PROFILE_AVC_CONSTRAINT_SET5;
  }
  return profile;
}

mfxU16 AvcLevel(const SequenceInfo& sequence) {
  // level_idc 11 with constraint_set3 in the Baseline, Main and Extended profiles means level 1b.
  const bool constraint_set3 = (sequence.constraint_flags & 0x10) != 0;
  const bool low_profile = sequence.profile == 66 || sequence.profile == 77 || sequence.profile == 88;
  if (sequence.level == 11 && constraint_set3 && low_profile) return MFX_LEVEL_AVC_1b;
  return static_cast<mfxU16>(sequence.level);
}

// Frames the decoded picture buffer of an H.264 level holds for pictures of `macroblocks`.
mfxU16 AvcBufferedFrames(mfxU16 level, mfxU32 macroblocks) {
  struct LevelLimit {
    mfxU16 level;
    mfxU32 max_dpb_macroblocks;
  };
  static constexpr std::array<LevelLimit, 19> kLimits = {{
      {9, 396}, {10, 396}, {11, 900}, {12, 2376}, {13, 2376}, {20, 2376}, {21, 4752},
      {22, 8100}, {30, 8100}, {31, 18000}, {32, 20480}, {40, 32768}, {41, 32768}, {42, 34816},
      {50, 110400}, {51, 184320}, {52, 184320}, {60, 696320}, {61, 696320},
  }};
  const auto limit = std::find_if(kLimits.begin(), kLimits.end(),
                                  [level](const LevelLimit& l) { return l.level == level; });
  if (limit == kLimits.end() || macroblocks == 0) return 16;
  return static_cast<mfxU16>(std::clamp<mfxU32>(limit->max_dpb_macroblocks / macroblocks, 1, 16));
}

// Pictures the decoded picture buffer of an HEVC level holds for pictures of `luma_samples`.
mfxU16 HevcBufferedPictures(mfxU16 level, mfxU32 luma_samples) {
  const mfxU16 level_without_tier = level & 0xFF;
  mfxU32 max_luma_picture_size = 0;
  if (level_without_tier <= 10) max_luma_picture_size = 36864;
  else if (level_without_tier <= 20) max_luma_picture_size = 122880;
  else if (level_without_tier <= 21) max_luma_picture_size = 245760;
  else if (level_without_tier <= 30) max_luma_picture_size = 552960;
  else if (level_without_tier <= 31) max_luma_picture_size = 983040;
  else if (level_without_tier <= 41) max_luma_picture_size = 2228224;
  else if (level_without_tier <= 52) max_luma_picture_size = 8912896;
  else max_luma_picture_size = 35651584;
  if (level_without_tier == 0) return 16;
  constexpr mfxU16 kMaxDpbPictureBuffer = 6;
  if (luma_samples <= (max_luma_picture_size >> 2)) return std::min<mfxU16>(4 * kMaxDpbPictureBuffer, 16);
  if (luma_samples <= (max_luma_picture_size >> 1)) return std::min<mfxU16>(2 * kMaxDpbPictureBuffer, 16);
  if (luma_samples <= ((3 * max_luma_picture_size) >> 2)) return (4 * kMaxDpbPictureBuffer) / 3;
  return kMaxDpbPictureBuffer;
}

bool IsSupportedSize(mfxU16 width, mfxU16 height) {
  return width != 0 && height != 0 && width % 16 == 0 && height % 16 == 0 &&
         width <= kMaxDecodeSide && height <= kMaxDecodeSide;
}

}  // namespace

std::optional<VideoCodec> CodecFromId(mfxU32 codec_id) {
  if (codec_id == MFX_CODEC_AVC) return VideoCodec::kH264;
  if (codec_id == MFX_CODEC_HEVC) return VideoCodec::kHevc;
  return std::nullopt;
}

void ApplySequenceInfo(VideoCodec codec, const SequenceInfo& sequence, mfxVideoParam& par) {
  mfxFrameInfo& info = par.mfx.FrameInfo;
  info.FourCC = MFX_FOURCC_NV12;
  info.ChromaFormat = MFX_CHROMAFORMAT_YUV420;
  info.BitDepthLuma = 8;
  info.BitDepthChroma = 8;
  info.Shift = 0;
  info.Width = AlignTo16(sequence.coded_width);
  info.Height = AlignTo16(sequence.coded_height);
  info.CropX = static_cast<mfxU16>(sequence.crop_left);
  info.CropY = static_cast<mfxU16>(sequence.crop_top);
  info.CropW = static_cast<mfxU16>(sequence.coded_width - sequence.crop_left - sequence.crop_right);
  info.CropH = static_cast<mfxU16>(sequence.coded_height - sequence.crop_top - sequence.crop_bottom);
  info.PicStruct = sequence.frames_only ? MFX_PICSTRUCT_PROGRESSIVE : MFX_PICSTRUCT_UNKNOWN;
  if (sequence.frame_rate_numerator != 0) {
    info.FrameRateExtN = sequence.frame_rate_numerator;
    info.FrameRateExtD = sequence.frame_rate_denominator;
  } else {
    info.FrameRateExtN = 30;  // no timing in the stream
    info.FrameRateExtD = 1;
  }
  info.AspectRatioW = static_cast<mfxU16>(sequence.sar_width != 0 ? sequence.sar_width : 1);
  info.AspectRatioH = static_cast<mfxU16>(sequence.sar_height != 0 ? sequence.sar_height : 1);
  if (codec == VideoCodec::kH264) {
    par.mfx.CodecProfile = AvcProfile(sequence);
    par.mfx.CodecLevel = AvcLevel(sequence);
  } else {
    par.mfx.CodecProfile = static_cast<mfxU16>(sequence.profile);
    par.mfx.CodecLevel = static_cast<mfxU16>(sequence.level / 3) |
                         (sequence.high_tier ? MFX_TIER_HEVC_HIGH : MFX_TIER_HEVC_MAIN);
  }
}

mfxStatus ReadStreamHeader(mfxBitstream& bs, mfxVideoParam& par) {
  const std::optional<VideoCodec> codec = CodecFromId(par.mfx.CodecId);
  if (!codec) return MFX_ERR_UNSUPPORTED;
  const std::span<const mfxU8> data(bs.Data + bs.DataOffset, bs.DataLength);
  std::optional<size_t> first_parameter_set;
  std::optional<SequenceInfo> sequence;
  bool picture_parameter_set_seen = false;
  size_t from = 0;
  while (const std::optional<NalUnit> unit = NextNalUnit(data, from)) {
    from = unit->payload_offset + unit->size;
    const auto nal = data.subspan(unit->payload_offset, unit->size);
    const int type = NalUnitType(*codec, nal);
    const bool video_parameter_set = *codec == VideoCodec::kHevc && type == 32;
    if (!sequence && (video_parameter_set || IsSequenceParameterSet(*codec, type))) {
      if (!first_parameter_set) first_parameter_set = unit->start_code_offset;
      sequence = ParseSequenceParameterSet(*codec, nal);
    } else if (sequence && IsPictureParameterSet(*codec, type)) {
      picture_parameter_set_seen = true;
      break;
    }
  }
  if (!first_parameter_set) {
    // Keep a possible start code that the end of the data cut in two.
    const mfxU32 consumed = bs.DataLength > kHeaderSearchTail ? bs.DataLength - kHeaderSearchTail : 0;
    bs.DataOffset += consumed;
    bs.DataLength -= consumed;
    return MFX_ERR_MORE_DATA;
  }
  bs.DataOffset += static_cast<mfxU32>(*first_parameter_set);
  bs.DataLength -= static_cast<mfxU32>(*first_parameter_set);
  if (!sequence || !picture_parameter_set_seen) return MFX_ERR_MORE_DATA;
  ApplySequenceInfo(*codec, *sequence, par);
  return MFX_ERR_NONE;
}

mfxStatus QueryDecodeParameters(const mfxVideoParam* in, mfxVideoParam& out) {
  if (in == nullptr) {
    StartQueryMarks(out);
    out.mfx.CodecId = 1;
    out.mfx.CodecProfile = 1;
    out.mfx.CodecLevel = 1;
    out.mfx.FrameInfo.FourCC = 1;
    out.mfx.FrameInfo.ChromaFormat = 1;
    out.mfx.FrameInfo.Width = 1;
    out.mfx.FrameInfo.Height = 1;
    out.mfx.FrameInfo.CropX = 1;
    out.mfx.FrameInfo.CropY = 1;
    out.mfx.FrameInfo.CropW = 1;
    out.mfx.FrameInfo.CropH = 1;
    out.mfx.FrameInfo.FrameRateExtN = 1;
    out.mfx.FrameInfo.FrameRateExtD = 1;
    out.mfx.FrameInfo.AspectRatioW = 1;
    out.mfx.FrameInfo.AspectRatioH = 1;
    out.mfx.FrameInfo.PicStruct = 1;
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
  if (!CodecFromId(corrected.mfx.CodecId)) reject(corrected.mfx.CodecId);
  if (corrected.IOPattern != 0 && corrected.IOPattern != MFX_IOPATTERN_OUT_SYSTEM_MEMORY) {
    reject(corrected.IOPattern);
  }
  if (corrected.Protected != 0) reject(corrected.Protected);
  mfxFrameInfo& info = corrected.mfx.FrameInfo;
  if (info.FourCC != 0 && info.FourCC != MFX_FOURCC_NV12) reject(info.FourCC);
  if (info.ChromaFormat != 0 && info.ChromaFormat != MFX_CHROMAFORMAT_YUV420) {
    reject(info.ChromaFormat);
  }
  if (info.Width != 0 && (info.Width % 16 != 0 || info.Width > kMaxDecodeSide)) reject(info.Width);
  if (info.Height != 0 && (info.Height % 16 != 0 || info.Height > kMaxDecodeSide)) {
    reject(info.Height);
  }
  out = corrected;
  return status;
}

mfxStatus QueryDecodeSurfaces(const mfxVideoParam& par, mfxFrameAllocRequest& request) {
  const std::optional<VideoCodec> codec = CodecFromId(par.mfx.CodecId);
  if (!codec) return MFX_ERR_UNSUPPORTED;
  if (par.IOPattern != MFX_IOPATTERN_OUT_SYSTEM_MEMORY) return MFX_ERR_INVALID_VIDEO_PARAM;
  const mfxFrameInfo& info = par.mfx.FrameInfo;
  if (!IsSupportedSize(info.Width, info.Height)) return MFX_ERR_INVALID_VIDEO_PARAM;
  const mfxU16 buffered =
      *codec == VideoCodec::kH264
          ? AvcBufferedFrames(par.mfx.CodecLevel, (info.Width / 16u) * (info.Height / 16u))
          : HevcBufferedPictures(par.mfx.CodecLevel, mfxU32{info.Width} * info.Height);
  const mfxU16 async_depth = par.AsyncDepth != 0 ? par.AsyncDepth : 4;
  request = mfxFrameAllocRequest{};
  request.Info = info;
  request.Type = MFX_MEMTYPE_EXTERNAL_FRAME | MFX_MEMTYPE_FROM_DECODE | MFX_MEMTYPE_SYSTEM_MEMORY;
  request.NumFrameMin = static_cast<mfxU16>(buffered + 1);
  request.NumFrameSuggested = static_cast<mfxU16>(request.NumFrameMin + async_depth - 1);
  return MFX_ERR_NONE;
}

mfxStatus CheckDecodeInitParameters(const mfxVideoParam& par) {
  if (!CodecFromId(par.mfx.CodecId) || par.Protected != 0) return MFX_ERR_UNSUPPORTED;
  if (par.IOPattern != MFX_IOPATTERN_OUT_SYSTEM_MEMORY) return MFX_ERR_INVALID_VIDEO_PARAM;
  const mfxFrameInfo& info = par.mfx.FrameInfo;
  if (info.FourCC != MFX_FOURCC_NV12) return MFX_ERR_INVALID_VIDEO_PARAM;
  if (info.ChromaFormat != 0 && info.ChromaFormat != MFX_CHROMAFORMAT_YUV420) {
    return MFX_ERR_INVALID_VIDEO_PARAM;
  }
  if (!IsSupportedSize(info.Width, info.Height)) return MFX_ERR_INVALID_VIDEO_PARAM;
  if (mfxU32{info.CropX} + info.CropW > info.Width || mfxU32{info.CropY} + info.CropH > info.Height) {
    return MFX_ERR_INVALID_VIDEO_PARAM;
  }
  return MFX_ERR_NONE;
}

}  // namespace moraine::mediasdk
