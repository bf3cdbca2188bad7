#pragma once

// Brings a packed NV12 picture into an SDK input surface: in place where the picture's block covers
// what the surface declares, else by copying it into a surface of the pool.

#include <mfx/mfxstructures.h>

#include <cstdint>

namespace moraine::fell {

// Where a surface's planes are; kept for a pool surface while its planes point into a picture.
struct SurfacePlanes {
  mfxU8* y = nullptr;
  mfxU8* uv = nullptr;
  mfxU16 pitch = 0;
};

SurfacePlanes PlanesOf(const mfxFrameSurface1& surface);

// Points `surface` at `planes`, with U and V where NV12 keeps them in the interleaved chroma (U, an
// alias of UV, at its first byte, V at the next), so no reader of the surface finds stale planes.
void PointAt(mfxFrameSurface1& surface, const SurfacePlanes& planes);

// Bytes of a packed NV12 picture of the crop size of `info` (its full size when the crop is unset):
// width × height × 3 / 2.
std::uint64_t PackedPictureSize(const mfxFrameInfo& info);

// Fills `submitted` with the surface to encode `picture` from: the description of `pool_surface`,
// whose planes point into the picture itself where the SDK may read them there. The SDK may read
// every row the surface declares (Info.Height rows of luma, half as many of chroma) at a pitch of at
// least Info.Width, so a plane is read in place only when the picture starts at the crop origin,
// its width is such a pitch and its `size` bytes hold all those rows; a plane that is not is copied
// into the crop rectangle of `pool_surface`. `picture` holds rows of crop-width bytes without
// padding: the luma rows, then half as many rows of interleaved chroma; it must stay unchanged until
// the encoder is done with `submitted` (see DetachFromPicture). `submitted` may be `pool_surface`
// itself, whose planes must then be its own. Returns MFX_ERR_MORE_DATA, touching nothing, for a
// null picture or a size of 0 (a request to flush the encoder), MFX_ERR_NOT_ENOUGH_BUFFER, touching
// nothing, when `size` is below PackedPictureSize, else MFX_ERR_NONE.
mfxStatus PrepareInputSurface(mfxFrameSurface1& pool_surface, const std::uint8_t* picture, std::int32_t size,
                              mfxFrameSurface1& submitted);

// Points a surface prepared by PrepareInputSurface back at its `own` planes, for the caller may free
// the picture as soon as its encode call returns. With `keep_pixels`, for a surface the encoder still
// holds, the crop rectangle it would have read from the picture is first copied into those planes.
void DetachFromPicture(mfxFrameSurface1& surface, const SurfacePlanes& own, bool keep_pixels);

}  // namespace moraine::fell
