#include "tarn/utils/picture_copy.h"

#include <cstring>

namespace moraine::tarn {

PackedPicture CopyPackedPicture(const mfxFrameData& data, std::int32_t width, std::int32_t height) {
  const std::size_t w = static_cast<std::size_t>(width);
  const std::size_t h = static_cast<std::size_t>(height);
  const std::size_t pitch = data.Pitch;
  const std::size_t luma_size = w * h;
  const std::size_t chroma_size = luma_size / 2;

  PackedPicture picture;
  picture.size = luma_size + chroma_size;
  picture.bytes = std::make_unique_for_overwrite<std::uint8_t[]>(picture.size);
  std::uint8_t* luma = picture.bytes.get();
  std::uint8_t* chroma = luma + luma_size;

  if (w == pitch) {
    std::memcpy(luma, data.Y, luma_size);
    std::memcpy(chroma, data.UV, chroma_size);
    return picture;
  }
  for (std::size_t row = 0; row < h; ++row) std::memcpy(luma + row * w, data.Y + row * pitch, w);
  // With an odd height the block keeps room for half a chroma row more than the surface delivers.
  std::memset(chroma, 0, chroma_size);
  for (std::size_t row = 0; row < h / 2; ++row) std::memcpy(chroma + row * w, data.UV + row * pitch, w);
  return picture;
}

}  // namespace moraine::tarn
