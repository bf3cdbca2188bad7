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

}  // namespace

std::uint64_t PackedPictureSize(const mfxFrameInfo& info) {
  const PictureShape shape = ShapeOf(info);
  return static_cast<std::uint64_t>(shape.rows) * shape.row_bytes * 3 / 2;
}

mfxStatus CopyPictureIntoSurface(mfxFrameSurface1& surface, const std::uint8_t* picture, std::int32_t size) {
  if (picture == nullptr || size == 0) return MFX_ERR_MORE_DATA;
  if (size < 0 || static_cast<std::uint64_t>(size) < PackedPictureSize(surface.Info)) return MFX_ERR_NOT_ENOUGH_BUFFER;

  const PictureShape shape = ShapeOf(surface.Info);
  const std::size_t pitch = surface.Data.Pitch;
  const std::size_t crop_x = surface.Info.CropX;
  const std::size_t crop_y = surface.Info.CropY;
  std::uint8_t* luma = surface.Data.Y + crop_y * pitch + crop_x;
  for (std::size_t row = 0; row < shape.rows; ++row) {
    std::memcpy(luma + row * pitch, picture + row * shape.row_bytes, shape.row_bytes);
  }
  const std::uint8_t* chroma_source = picture + shape.rows * shape.row_bytes;
  std::uint8_t* chroma = surface.Data.UV + (crop_y / 2) * pitch + crop_x;
  for (std::size_t row = 0; row < shape.rows / 2; ++row) {
    std::memcpy(chroma + row * pitch, chroma_source + row * shape.row_bytes, shape.row_bytes);
  }
  return MFX_ERR_NONE;
}

}  // namespace moraine::fell
