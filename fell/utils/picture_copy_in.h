#pragma once

// Copies a packed NV12 picture into an SDK input surface.

#include <mfx/mfxstructures.h>

#include <cstdint>

namespace moraine::fell {

// Bytes of a packed NV12 picture of the crop size of `info` (its full size when the crop is unset):
// width × height × 3 / 2.
std::uint64_t PackedPictureSize(const mfxFrameInfo& info);

// Copies `picture` (rows of crop-width bytes without padding: the luma rows, then half as many rows
// of interleaved chroma) into the crop rectangle of `surface`. Returns MFX_ERR_MORE_DATA, copying
// nothing, for a null picture or a size of 0 (a request to flush the encoder), MFX_ERR_NOT_ENOUGH_BUFFER,
// copying nothing, when `size` is below PackedPictureSize, else MFX_ERR_NONE.
mfxStatus CopyPictureIntoSurface(mfxFrameSurface1& surface, const std::uint8_t* picture, std::int32_t size);

}  // namespace moraine::fell
