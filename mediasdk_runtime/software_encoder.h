#pragma once

// The encoder of a software session: NV12 pictures from the caller's system-memory surfaces are
// encoded to H.264 with libx264, tuned so that every picture's bytes come back in the call that
// submits it (no B pictures, no look-ahead, slice threads), with SPS and PPS before every IDR
// picture in Annex B form.

#include <mfx/mfxvideo.h>

#include <cstdint>
#include <memory>
#include <string>

struct x264_t;

namespace moraine::mediasdk {

class SoftwareEncoder {
 public:
  // Opens an encoder for `par`, which CompleteEncodeParameters filled in. Null when libx264
  // refuses the settings.
  static std::unique_ptr<SoftwareEncoder> Open(const mfxVideoParam& par);
  ~SoftwareEncoder();
  SoftwareEncoder(const SoftwareEncoder&) = delete;
  SoftwareEncoder& operator=(const SoftwareEncoder&) = delete;

  // The parameters in use, with the profile, level, references and slices libx264 chose.
  const mfxVideoParam& parameters() const { return parameters_; }
  mfxEncodeStat statistics() const;

  // Encodes `surface` and appends its access unit to `bitstream`, which the caller checked has
  // room for BufferSizeInKB. A forced picture type comes from `control` (may be null).
  // MFX_ERR_NONE with the picture's bytes, FrameType and time stamps; MFX_ERR_UNDEFINED_BEHAVIOR
  // or MFX_ERR_INVALID_VIDEO_PARAM for an unusable surface; MFX_ERR_NOT_ENOUGH_BUFFER when the
  // picture came out larger than the room left (the picture is then lost).
  mfxStatus EncodeFrame(const mfxEncodeCtrl* control, const mfxFrameSurface1& surface,
                        mfxBitstream& bitstream);

  // The libx264 preset for a TargetUsage (1 slow ... 7 ultrafast); MORAINE_X264_PRESET, when set
  // to a preset name, overrides it.
  static std::string PresetFor(mfxU16 target_usage);

 private:
  struct EncoderCloser {
    void operator()(x264_t* encoder) const;
  };

  SoftwareEncoder(std::unique_ptr<x264_t, EncoderCloser> encoder, const mfxVideoParam& par);
  int NextPictureType(const mfxEncodeCtrl* control);

  std::unique_ptr<x264_t, EncoderCloser> encoder_;
  mfxVideoParam parameters_{};
  mfxU32 pictures_since_idr_ = 0;
  bool first_picture_ = true;
  mfxU32 frames_out_ = 0;
  mfxU64 bits_out_ = 0;
};

}  // namespace moraine::mediasdk
