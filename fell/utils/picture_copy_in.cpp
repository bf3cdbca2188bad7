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

void CopyLuma(mfxFrameSurface1& surface, const std::uint8_t* picture) {
  const PictureShape shape = ShapeOf(surface.Info);
  const std::size_t pitch = surface.Data.Pitch;
  std::uint8_t* luma = surface.Data.Y + std::size_t{surface.Info.CropY} * pitch + surface.Info.CropX;
  for (std::size_t row = 0; row < shape.rows; ++row) {
    std::memcpy(luma + row * pitch, picture + row * shape.row_bytes, shape.row_bytes);
  }
}

void CopyChroma(mfxFrameSurface1& surface, const std::uint8_t* picture) {
  const PictureShape shape = ShapeOf(surface.Info);
  const std::size_t pitch = surface.Data.Pitch;
  const std::uint8_t* chroma_source = picture + shape.rows * shape.row_bytes;
  std::uint8_t* chroma = surface.Data.UV + std::size_t{surface.Info.CropY / 2u} * pitch + surface.Info.CropX;
  for (std::size_t row = 0; row < shape.rows / 2; ++row) {
    std::memcpy(chroma + row * pitch, chroma_source + row * shape.row_bytes, shape.row_bytes);
  }
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
  submitted = pool_surface;
  const PictureShape shape = ShapeOf(pool_surface.Info);
  // The encoder only reads its input; the SDK's plane pointers are not const all the same.
  std::uint8_t* planes = const_cast<std::uint8_t*>(picture);
  if (in_place.luma) {
    submitted.Data.Y = planes;
    submitted.Data.Pitch = static_cast<mfxU16>(shape.row_bytes);
  }
  if (in_place.chroma) submitted.Data.UV = planes + shape.rows * shape.row_bytes;
  return MFX_ERR_NONE;
}

}  // namespace moraine::fell
