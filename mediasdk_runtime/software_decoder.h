#pragma once

// The decoder of a software session: H.264 and HEVC access units taken from the caller's
// bitstream buffer are decoded with libavcodec and each picture is written as NV12 into the
// caller's system-memory work surface in the call that completes it.

#include <mfx/mfxvideo.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <vector>

#include "bitstream/nal_units.h"
#include "mediasdk_runtime/libav_handles.h"
#include "mediasdk_runtime/nv12_writer.h"

namespace moraine::mediasdk {

class SoftwareDecoder {
 public:
  // Opens a decoder for `par`, which CheckDecodeInitParameters accepted. Null when libavcodec
  // cannot open one.
  static std::unique_ptr<SoftwareDecoder> Open(const mfxVideoParam& par);

  // Drops all buffered input and pictures and takes the new parameters; a picture larger than the
  // one given at opening yields MFX_ERR_INCOMPATIBLE_VIDEO_PARAM.
  mfxStatus Reset(const mfxVideoParam& par);

  // The parameters in use; the caller's extension buffers are not kept.
  const mfxVideoParam& parameters() const { return parameters_; }
  mfxDecodeStat statistics() const;
  mfxStatus SetSkipMode(mfxSkipMode mode);

  // Takes input from `bitstream` (null: no new input) and writes the next picture into `work`.
  // With MFX_BITSTREAM_COMPLETE_FRAME one access unit is consumed per call, else all bytes are
  // taken into an internal buffer and cut at access unit boundaries (a null bitstream then decodes
  // what was collected). Returns MFX_ERR_NONE when `work` holds a picture, MFX_ERR_MORE_DATA when
  // the input ran out first, MFX_ERR_INCOMPATIBLE_VIDEO_PARAM when a sequence needs larger
  // surfaces (its data stays in the bitstream), or a surface error before consuming anything.
  // The caller has checked that `work` is not locked.
  mfxStatus DecodeFrame(mfxBitstream* bitstream, mfxFrameSurface1& work);

 private:
  SoftwareDecoder(VideoCodec codec, CodecContextPtr context, PacketPtr packet,
                  const mfxVideoParam& par);

  mfxStatus CheckWorkSurface(const mfxFrameSurface1& work) const;
  mfxStatus DecodeNextAccessUnit(mfxBitstream* bitstream);
  // Decodes one access unit; MFX_ERR_INCOMPATIBLE_VIDEO_PARAM (nothing decoded) when it starts a
  // sequence larger than the surfaces.
  mfxStatus DecodeAccessUnit(std::span<const uint8_t> access_unit, int64_t timestamp);
  bool ExceedsSurfaces(std::span<const uint8_t> access_unit) const;
  mfxStatus DeliverPicture(mfxFrameSurface1& work);

  VideoCodec codec_;
  CodecContextPtr context_;
  PacketPtr packet_;
  mfxVideoParam parameters_{};
  mfxU16 opened_width_ = 0;
  mfxU16 opened_height_ = 0;
  std::vector<uint8_t> collected_;  // input taken without MFX_BITSTREAM_COMPLETE_FRAME
  int64_t collected_timestamp_ = 0;
  std::vector<uint8_t> held_;  // parameter sets and other units without a slice, for the next picture
  std::deque<FramePtr> pictures_;  // decoded, not yet handed out
  Nv12Writer writer_;
  int skip_level_ = 0;
  mfxU32 frames_out_ = 0;
  mfxU32 errors_ = 0;
};

}  // namespace moraine::mediasdk
