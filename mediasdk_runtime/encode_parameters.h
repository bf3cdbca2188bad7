#pragma once

// Encoder parameters: checking and correcting a caller's H.264 encoding parameters, filling the
// defaults the encoder works with, and the surfaces it needs.

#include <mfx/mfxvideo.h>

namespace moraine::mediasdk {

// The GOP length used when GopPicSize is 0.
inline constexpr mfxU16 kDefaultGopPicSize = 256;

// The encoder's Query: with `in` null, marks the configurable fields of `out` with 1; otherwise
// copies `in` to `out` (they may be the same record). Values we cannot encode are zeroed
// (MFX_ERR_UNSUPPORTED); values we can correct are corrected (MFX_WRN_INCOMPATIBLE_VIDEO_PARAM).
mfxStatus QueryEncodeParameters(const mfxVideoParam* in, mfxVideoParam& out);

// Input surfaces for encoding with `par`: the encoder copies each picture at once, so one
// surface is the minimum and AsyncDepth (0 counts as 4) the suggestion.
mfxStatus QueryEncodeSurfaces(const mfxVideoParam& par, mfxFrameAllocRequest& request);

// Checks `par` for Init or Reset and fills every default into it: GOP (GopRefDist 1, GopPicSize
// 256), TargetUsage 4, and for bit-rate control MaxKbps (1.5 x TargetKbps for VBR), the buffer
// (2 seconds at MaxKbps, never less than one uncompressed picture) and the initial delay (half the
// buffer), with BRCParamMultiplier chosen so that the values fit. Returns an error for parameters
// we cannot encode, MFX_WRN_INCOMPATIBLE_VIDEO_PARAM when something was corrected, else
// MFX_ERR_NONE.
mfxStatus CompleteEncodeParameters(mfxVideoParam& par);

// Rate-control values in kbit/s and kilobytes (1000 bytes), the multiplier applied.
struct RateControlValues {
  mfxU32 target_kbps = 0;
  mfxU32 max_kbps = 0;
  mfxU32 buffer_kb = 0;         // the output buffer every picture fits in
  mfxU32 vbv_buffer_kb = 0;     // the rate-control buffer (2 seconds at max_kbps)
  mfxU32 initial_delay_kb = 0;
};
RateControlValues RateControlOf(const mfxVideoParam& completed);

}  // namespace moraine::mediasdk
