#pragma once

// Decoder parameters: reading them from a stream's header, checking and correcting a caller's
// parameters, and the surface counts a decoder needs.

#include <mfx/mfxvideo.h>

#include <optional>

#include "bitstream/nal_units.h"
#include "bitstream/sequence_parameter_set.h"

namespace moraine::mediasdk {

// The codec of a Media SDK codec identifier we decode (AVC, HEVC); empty for any other.
std::optional<VideoCodec> CodecFromId(mfxU32 codec_id);

// Fills `par.mfx` (codec kept) from the first sequence and picture parameter sets in `bs`: sizes
// aligned to 16 with the crop rectangle, NV12 4:2:0 8-bit output, frame rate, aspect ratio,
// profile and level. Moves DataOffset to the first parameter set. MFX_ERR_MORE_DATA when `bs` does
// not yet hold both (bytes that cannot start one are consumed); MFX_ERR_UNSUPPORTED for another
// codec.
mfxStatus ReadStreamHeader(mfxBitstream& bs, mfxVideoParam& par);

// Copies `sequence` into the frame description and codec fields of `par.mfx`.
void ApplySequenceInfo(VideoCodec codec, const SequenceInfo& sequence, mfxVideoParam& par);

// The decoder's Query: with `in` null, marks the configurable fields of `out` with 1; otherwise
// copies `in` to `out` (they may be the same record), zeroing what we cannot decode, and returns
// MFX_ERR_UNSUPPORTED when something was zeroed.
mfxStatus QueryDecodeParameters(const mfxVideoParam* in, mfxVideoParam& out);

// Surfaces for decoding the stream `par` describes: NumFrameMin is the level's picture buffer
// plus the picture being decoded, NumFrameSuggested adds AsyncDepth - 1 (AsyncDepth 0 counts as 4).
mfxStatus QueryDecodeSurfaces(const mfxVideoParam& par, mfxFrameAllocRequest& request);

// Checks the parameters given to Init or Reset: MFX_ERR_UNSUPPORTED for another codec or
// protected content, MFX_ERR_INVALID_VIDEO_PARAM for an output other than NV12 in system memory or
// an impossible size; MFX_ERR_NONE otherwise.
mfxStatus CheckDecodeInitParameters(const mfxVideoParam& par);

// The number of bytes DecodeHeader leaves unconsumed at the end of a buffer without parameter
// sets, so that a start code cut in two by the end of the data is not lost.
inline constexpr mfxU32 kHeaderSearchTail = 3;

}  // namespace moraine::mediasdk
