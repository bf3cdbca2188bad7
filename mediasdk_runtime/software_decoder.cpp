#include "mediasdk_runtime/software_decoder.h"

#include <algorithm>
#include <array>

#include "bitstream/sequence_parameter_set.h"

namespace moraine::mediasdk {
namespace {

// Input collected without frame boundaries is decoded as it stands once it grows past this.
constexpr size_t kMaxCollectedBytes = 64u << 20;

// Discard levels from no skipping to key frames only, stepped through by SetSkipMode.
constexpr std::array<AVDiscard, 5> kSkipLevels = {AVDISCARD_DEFAULT, AVDISCARD_NONREF,
                                                  AVDISCARD_BIDIR, AVDISCARD_NONINTRA,
                                                  AVDISCARD_NONKEY};

int64_t ToLibavTimestamp(mfxU64 timestamp) {
  return timestamp == static_cast<mfxU64>(MFX_TIMESTAMP_UNKNOWN) ? AV_NOPTS_VALUE
                                                                  : static_cast<int64_t>(timestamp);
}

mfxU32 PitchOf(const mfxFrameData& data) {
  return (static_cast<mfxU32>(data.PitchHigh) << 16) | data.PitchLow;
}

}  // namespace

std::unique_ptr<SoftwareDecoder> SoftwareDecoder::Open(const mfxVideoParam& par) {
  const VideoCodec codec =
      par.mfx.CodecId == MFX_CODEC_HEVC ? VideoCodec::kHevc : VideoCodec::kH264;
  const AVCodec* decoder =
      avcodec_find_decoder(codec == VideoCodec::kHevc ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264);
  if (decoder == nullptr) return nullptr;
  CodecContextPtr context(avcodec_alloc_context3(decoder));
  PacketPtr packet(av_packet_alloc());
  if (!context || !packet) return nullptr;
  // Slice threads only: frame threads would hold every picture back by one call per thread.
  context->thread_type = FF_THREAD_SLICE;
  context->thread_count = 0;
  // Pictures are written whole; the surface's crop rectangle tells the visible part.
  context->apply_cropping = 0;
  if (avcodec_open2(context.get(), decoder, nullptr) < 0) return nullptr;
  return std::unique_ptr<SoftwareDecoder>(
      new SoftwareDecoder(codec, std::move(context), std::move(packet), par));
}

SoftwareDecoder::SoftwareDecoder(VideoCodec codec, CodecContextPtr context, PacketPtr packet,
                                 const mfxVideoParam& par)
    : codec_(codec),
      context_(std::move(context)),
      packet_(std::move(packet)),
      parameters_(par),
      opened_width_(par.mfx.FrameInfo.Width),
      opened_height_(par.mfx.FrameInfo.Height) {
  parameters_.NumExtParam = 0;
  parameters_.ExtParam = nullptr;
}

mfxStatus SoftwareDecoder::Reset(const mfxVideoParam& par) {
  if (par.mfx.CodecId != parameters_.mfx.CodecId || par.mfx.FrameInfo.Width > opened_width_ ||
      par.mfx.FrameInfo.Height > opened_height_) {
    return MFX_ERR_INCOMPATIBLE_VIDEO_PARAM;
  }
  avcodec_flush_buffers(context_.get());
  pictures_.clear();
  collected_.clear();
  held_.clear();
  parameters_ = par;
  parameters_.NumExtParam = 0;
  parameters_.ExtParam = nullptr;
  return MFX_ERR_NONE;
}

mfxDecodeStat SoftwareDecoder::statistics() const {
  mfxDecodeStat statistics{};
  statistics.NumFrame = frames_out_;
  statistics.NumError = errors_;
  statistics.NumCachedFrame = static_cast<mfxU32>(pictures_.size());
  return statistics;
}

mfxStatus SoftwareDecoder::SetSkipMode(mfxSkipMode mode) {
  int level = skip_level_;
  switch (mode) {
    case MFX_SKIPMODE_NOSKIP: level = 0; break;
    case MFX_SKIPMODE_MORE: level = std::min<int>(level + 1, kSkipLevels.size() - 1); break;
    case MFX_SKIPMODE_LESS: level = std::max(level - 1, 0); break;
    default: return MFX_ERR_UNSUPPORTED;
  }
  if (level == skip_level_) return MFX_WRN_VALUE_NOT_CHANGED;
  skip_level_ = level;
  context_->skip_frame = kSkipLevels[static_cast<size_t>(level)];
  return MFX_ERR_NONE;
}

mfxStatus SoftwareDecoder::DecodeFrame(mfxBitstream* bitstream, mfxFrameSurface1& work) {
  if (const mfxStatus status = CheckWorkSurface(work); status != MFX_ERR_NONE) return status;
  while (pictures_.empty()) {
    const mfxStatus status = DecodeNextAccessUnit(bitstream);
    if (status == MFX_ERR_MORE_DATA) break;
    if (status != MFX_ERR_NONE) return status;
  }
  if (pictures_.empty()) return MFX_ERR_MORE_DATA;
  return DeliverPicture(work);
}

mfxStatus SoftwareDecoder::CheckWorkSurface(const mfxFrameSurface1& work) const {
  const mfxFrameInfo& expected = parameters_.mfx.FrameInfo;
  if (work.Info.Width < expected.Width || work.Info.Height < expected.Height) {
    return MFX_ERR_INVALID_VIDEO_PARAM;
  }
  if (work.Data.Y == nullptr || work.Data.UV == nullptr || PitchOf(work.Data) < expected.Width) {
    return MFX_ERR_UNDEFINED_BEHAVIOR;
  }
  return MFX_ERR_NONE;
}

mfxStatus SoftwareDecoder::DecodeNextAccessUnit(mfxBitstream* bitstream) {
  const bool complete_frames =
      bitstream != nullptr && (bitstream->DataFlag & MFX_BITSTREAM_COMPLETE_FRAME) != 0;
  if (bitstream != nullptr && !complete_frames && bitstream->DataLength != 0) {
    const mfxU8* data = bitstream->Data + bitstream->DataOffset;
    collected_.insert(collected_.end(), data, data + bitstream->DataLength);
    collected_timestamp_ = ToLibavTimestamp(bitstream->TimeStamp);
    bitstream->DataOffset += bitstream->DataLength;
    bitstream->DataLength = 0;
  }
  if (!collected_.empty()) {
    const AccessUnitBounds bounds = FindFirstAccessUnit(codec_, collected_);
    size_t end = collected_.size();
    if (bounds.end) {
      end = *bounds.end;
    } else if (bitstream != nullptr && !complete_frames && collected_.size() <= kMaxCollectedBytes) {
      // The last access unit may still grow: keep it, without the bytes before its start code.
      collected_.erase(collected_.begin(), collected_.begin() + static_cast<ptrdiff_t>(bounds.begin));
      return MFX_ERR_MORE_DATA;
    }
    if (bounds.begin >= end) {
      collected_.clear();
      return MFX_ERR_MORE_DATA;
    }
    const mfxStatus status = DecodeAccessUnit(
        std::span(collected_).subspan(bounds.begin, end - bounds.begin), collected_timestamp_);
    if (status == MFX_ERR_INCOMPATIBLE_VIDEO_PARAM) return status;
    collected_.erase(collected_.begin(), collected_.begin() + static_cast<ptrdiff_t>(end));
    return status;
  }
  if (!complete_frames) return MFX_ERR_MORE_DATA;

  const std::span<const uint8_t> data(bitstream->Data + bitstream->DataOffset,
                                      bitstream->DataLength);
  const AccessUnitBounds bounds = FindFirstAccessUnit(codec_, data);
  if (bounds.begin == data.size()) {  // no start code: nothing decodable
    bitstream->DataOffset += bitstream->DataLength;
    bitstream->DataLength = 0;
    return MFX_ERR_MORE_DATA;
  }
  const size_t end = bounds.end.value_or(data.size());
  const mfxStatus status = DecodeAccessUnit(data.subspan(bounds.begin, end - bounds.begin),
                                            ToLibavTimestamp(bitstream->TimeStamp));
  const size_t consumed = status == MFX_ERR_INCOMPATIBLE_VIDEO_PARAM ? bounds.begin : end;
  bitstream->DataOffset += static_cast<mfxU32>(consumed);
  bitstream->DataLength -= static_cast<mfxU32>(consumed);
  return status;
}

bool SoftwareDecoder::ExceedsSurfaces(std::span<const uint8_t> access_unit) const {
  size_t from = 0;
  while (const std::optional<NalUnit> unit = NextNalUnit(access_unit, from)) {
    from = unit->payload_offset + unit->size;
    const auto nal = access_unit.subspan(unit->payload_offset, unit->size);
    if (!IsSequenceParameterSet(codec_, NalUnitType(codec_, nal))) continue;
    const std::optional<SequenceInfo> sequence = ParseSequenceParameterSet(codec_, nal);
    if (sequence && (sequence->coded_width > parameters_.mfx.FrameInfo.Width ||
                     sequence->coded_height > parameters_.mfx.FrameInfo.Height)) {
      return true;
    }
  }
  return false;
}

mfxStatus SoftwareDecoder::DecodeAccessUnit(std::span<const uint8_t> access_unit,
                                            int64_t timestamp) {
  if (ExceedsSurfaces(access_unit)) return MFX_ERR_INCOMPATIBLE_VIDEO_PARAM;
  // Units without a slice go in with the next picture: on their own they give libavcodec nothing
  // to decode, and it would say so on the program's standard error.
  if (!HoldsSlice(codec_, access_unit)) {
    held_.insert(held_.end(), access_unit.begin(), access_unit.end());
    return MFX_ERR_NONE;
  }
  std::span<const uint8_t> packet_bytes = access_unit;
  if (!held_.empty()) {
    held_.insert(held_.end(), access_unit.begin(), access_unit.end());
    packet_bytes = held_;
  }
  // The packet does not own the bytes; libavcodec copies them into a padded buffer of its own.
  packet_->data = const_cast<uint8_t*>(packet_bytes.data());
  packet_->size = static_cast<int>(packet_bytes.size());
  packet_->pts = timestamp;
  const int sent = avcodec_send_packet(context_.get(), packet_.get());
  av_packet_unref(packet_.get());
  held_.clear();
  if (sent == AVERROR(ENOMEM)) return MFX_ERR_MEMORY_ALLOC;
  if (sent < 0) ++errors_;  // a damaged access unit is dropped; decoding goes on
  while (true) {
    FramePtr frame(av_frame_alloc());
    if (!frame) return MFX_ERR_MEMORY_ALLOC;
    const int received = avcodec_receive_frame(context_.get(), frame.get());
    if (received == AVERROR(EAGAIN)) break;
    if (received == AVERROR(ENOMEM)) return MFX_ERR_MEMORY_ALLOC;
    if (received < 0) {
      ++errors_;
      break;
    }
    pictures_.push_back(std::move(frame));
  }
  return MFX_ERR_NONE;
}

mfxStatus SoftwareDecoder::DeliverPicture(mfxFrameSurface1& work) {
  const FramePtr picture = std::move(pictures_.front());
  pictures_.pop_front();
  const mfxFrameInfo& expected = parameters_.mfx.FrameInfo;
  if (picture->width > expected.Width || picture->height > expected.Height) {
    return MFX_ERR_INCOMPATIBLE_VIDEO_PARAM;
  }
  if (!writer_.Write(*picture, Nv12Planes{work.Data.Y, work.Data.UV, PitchOf(work.Data)})) {
    ++errors_;
    return MFX_ERR_UNSUPPORTED;
  }
  mfxFrameInfo& info = work.Info;
  info.CropX = static_cast<mfxU16>(picture->crop_left);
  info.CropY = static_cast<mfxU16>(picture->crop_top);
  info.CropW = static_cast<mfxU16>(picture->width - picture->crop_left - picture->crop_right);
  info.CropH = static_cast<mfxU16>(picture->height - picture->crop_top - picture->crop_bottom);
  info.PicStruct = !picture->interlaced_frame  ? MFX_PICSTRUCT_PROGRESSIVE
                   : picture->top_field_first ? MFX_PICSTRUCT_FIELD_TFF
                                              : MFX_PICSTRUCT_FIELD_BFF;
  info.FrameRateExtN = expected.FrameRateExtN;
  info.FrameRateExtD = expected.FrameRateExtD;
  if (picture->sample_aspect_ratio.num > 0 && picture->sample_aspect_ratio.den > 0) {
    info.AspectRatioW = static_cast<mfxU16>(picture->sample_aspect_ratio.num);
    info.AspectRatioH = static_cast<mfxU16>(picture->sample_aspect_ratio.den);
  }
  work.Data.TimeStamp = picture->pts == AV_NOPTS_VALUE
                            ? static_cast<mfxU64>(MFX_TIMESTAMP_UNKNOWN)
                            : static_cast<mfxU64>(picture->pts);
  work.Data.FrameOrder = frames_out_++;
  work.Data.Corrupted =
      (picture->decode_error_flags != 0 || (picture->flags & AV_FRAME_FLAG_CORRUPT) != 0)
          ? MFX_CORRUPTION_MAJOR
          : 0;
  return MFX_ERR_NONE;
}

}  // namespace moraine::mediasdk
