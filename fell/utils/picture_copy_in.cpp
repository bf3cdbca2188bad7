#include "fell/utils/picture_copy_in.h"

#include <cstring>

namespace moraine::fell {
namespace {

struct PictureShape {
  std::size_t rows;
  std::size_t row_bytes;
};

PictureShape ShapeOf(const mfxFrameInfo& info) {
  const bool cropped = info.CropW != 0 && info.CropH != 0;
  return {cropped ? info.CropH : info.Height, cropped ? info.CropW : info.Width};
}

mfxU8* CropLuma(const SurfacePlanes& planes, const mfxFrameInfo& info) {
  return planes.y + std::size_t{info.CropY} * planes.pitch + info.CropX;
}

mfxU8* CropChroma(const SurfacePlanes& planes, const mfxFrameInfo& info) {
  return planes.uv + std::size_t{info.CropY / 2u} * planes.pitch + info.CropX;
}

void CopyRows(mfxU8* to, std::size_t to_pitch, const mfxU8* from, std::size_t from_pitch, std::size_t rows,
              std::size_t row_bytes) {
  for (std::size_t row = 0; row < rows; ++row) std::memcpy(to + row * to_pitch, from + row * from_pitch, row_bytes);
}

void CopyLuma(mfxFrameSurface1& surface, const std::uint8_t* picture) {
  const PictureShape shape = ShapeOf(surface.Info);
  const SurfacePlanes planes = PlanesOf(surface);
  CopyRows(CropLuma(planes, surface.Info), planes.pitch, picture, shape.row_bytes, shape.rows, shape.row_bytes);
}

void CopyChroma(mfxFrameSurface1& surface, const std::uint8_t* picture) {
  const PictureShape shape = ShapeOf(surface.Info);
  const SurfacePlanes planes = PlanesOf(surface);
  CopyRows(CropChroma(planes, surface.Info), planes.pitch, picture + shape.rows * shape.row_bytes, shape.row_bytes,
           shape.rows / 2, shape.row_bytes);
}

struct PlanesInPlace {
  bool luma = false;
  bool chroma = false;
};

PlanesInPlace PlanesReadInPlace(const mfxFrameSurface1& surface, std::int32_t size) {
  const mfxFrameInfo& info = surface.Info;
  const PictureShape shape = ShapeOf(info);
  const std::uint64_t pitch = shape.row_bytes;
  const std::uint64_t available = static_cast<std::uint64_t>(size);
  const std::uint64_t luma_rows_read = info.Height;
  const std::uint64_t chroma_rows_read = (info.Height + 1u) / 2;
  const bool at_origin = info.CropX == 0 && info.CropY == 0;
  const bool luma_fits = at_origin && pitch >= info.Width && pitch * luma_rows_read <= available;
  PlanesInPlace in_place;
  in_place.chroma = luma_fits && pitch * shape.rows + pitch * chroma_rows_read <= available;
  // A copied chroma plane shares the one pitch of the surface with the luma read in place.
  in_place.luma = luma_fits && (in_place.chroma || surface.Data.Pitch == pitch);
  return in_place;
}

}  // namespace

SurfacePlanes PlanesOf(const mfxFrameSurface1& surface) {
  return {surface.Data.Y, surface.Data.UV, surface.Data.Pitch};
}

void PointAt(mfxFrameSurface1& surface, const SurfacePlanes& planes) {
  surface.Data.Y = planes.y;
  surface.Data.UV = planes.uv;
  surface.Data.V = planes.uv == nullptr ? nullptr : planes.uv + 1;
  surface.Data.Pitch = planes.pitch;
}

std::uint64_t PackedPictureSize(const mfxFrameInfo& info) {
  const PictureShape shape = ShapeOf(info);
  return static_cast<std::uint64_t>(shape.rows) * shape.row_bytes * 3 / 2;
}

mfxStatus PrepareInputSurface(mfxFrameSurface1& pool_surface, const std::uint8_t* picture, std::int32_t size,
                              mfxFrameSurface1& submitted) {
  if (picture == nullptr || size == 0) return MFX_ERR_MORE_DATA;
  if (size < 0 || static_cast<std::uint64_t>(size) < PackedPictureSize(pool_surface.Info)) {
    return MFX_ERR_NOT_ENOUGH_BUFFER;
  }
  const PlanesInPlace in_place = PlanesReadInPlace(pool_surface, size);
  if (!in_place.luma) CopyLuma(pool_surface, picture);
  if (!in_place.chroma) CopyChroma(pool_surface, picture);
  if (&submitted != &pool_surface) submitted = pool_surface;
  const PictureShape shape = ShapeOf(pool_surface.Info);
  // The encoder only reads its input; the SDK's plane pointers are not const all the same.
  std::uint8_t* planes = const_cast<std::uint8_t*>(picture);
  SurfacePlanes read_from = PlanesOf(submitted);
  if (in_place.luma) {
    read_from.y = planes;
    read_from.pitch = static_cast<mfxU16>(shape.row_bytes);
  }
  if (in_place.chroma) read_from.uv = planes + shape.rows * shape.row_bytes;
  PointAt(submitted, read_from);
  return MFX_ERR_NONE;
}

void DetachFromPicture(mfxFrameSurface1& surface, const SurfacePlanes& own, bool keep_pixels) {
  const SurfacePlanes current = PlanesOf(surface);
  PointAt(surface, own);
  if (!keep_pixels) return;
  const mfxFrameInfo& info = surface.Info;
  const PictureShape shape = ShapeOf(info);
  if (current.y != own.y) {
    CopyRows(CropLuma(own, info), own.pitch, CropLuma(current, info), current.pitch, shape.rows, shape.row_bytes);
  }
  if (current.uv != own.uv) {
    CopyRows(CropChroma(own, info), own.pitch, CropChroma(current, info), current.pitch, shape.rows / 2,
             shape.row_bytes);
  }
}

}  // namespace moraine::fell
